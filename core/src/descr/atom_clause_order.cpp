// The clause order and clause equality. Class sets are compared by class id
// alone; attribute values by handle, then by content.
// Tested by core/tests/descr.
#include <algorithm>
#include <compare>
#include <utility>

#include "descr/atom_clause.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/lexicographic.hpp"

namespace tessolin::descr {
namespace {

using AttributeEntry = std::pair<const std::string, AttributeAtom>;

// Name (unsigned bytes, a proper prefix first), value (absent first), flag.
std::strong_ordering attribute_order(const AttributeEntry& a, const AttributeEntry& b) {
  if (auto c = a.first <=> b.first; c != 0) return c;
  if (auto c = optional_descriptor_order(a.second.value, b.second.value); c != 0) return c;
  return a.second.absent_allowed <=> b.second.absent_allowed;
}

bool attribute_eq(const AttributeEntry& a, const AttributeEntry& b) {
  return a.first == b.first && a.second.absent_allowed == b.second.absent_allowed &&
         optional_descriptor_eq(a.second.value, b.second.value);
}

std::strong_ordering class_id_order(const ClassAnswer& a, const ClassAnswer& b) { return a.class_id <=> b.class_id; }

bool same_class_ids(const std::vector<ClassAnswer>& a, const std::vector<ClassAnswer>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const ClassAnswer& x, const ClassAnswer& y) { return x.class_id == y.class_id; });
}

}  // namespace

std::strong_ordering clause_order(const AtomClause& a, const AtomClause& b) {
  if (auto c = lexicographic(a.attributes, b.attributes, attribute_order); c != 0) return c;
  if (auto c = lexicographic(a.classes, b.classes, class_id_order); c != 0) return c;
  return lexicographic(a.excluded_classes, b.excluded_classes, class_id_order);
}

bool clause_eq(const AtomClause& a, const AtomClause& b) {
  return same_class_ids(a.classes, b.classes) && same_class_ids(a.excluded_classes, b.excluded_classes) &&
         std::equal(a.attributes.begin(), a.attributes.end(), b.attributes.begin(), b.attributes.end(), attribute_eq);
}

}  // namespace tessolin::descr

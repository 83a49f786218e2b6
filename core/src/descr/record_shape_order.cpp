// Canonical order and equality of record shapes and domains: keys in key
// order (key, value, flag), then the nine kind entries, then the selectors;
// a proper prefix first. Values: null first, then the descriptor order.
// Tested by core/tests/descr_record.
#include <algorithm>

#include "descr/descriptor_order.hpp"
#include "descr/record_shape.hpp"

namespace tessolin::descr {

namespace {

// Lexicographic order of two ranges by `order`, a proper prefix first.
template <class It, class Order>
std::strong_ordering range_order(It a, It a_end, It b, It b_end, Order order) {
  for (; a != a_end && b != b_end; ++a, ++b) {
    if (auto c = order(*a, *b); c != 0) return c;
  }
  if (a != a_end) return std::strong_ordering::greater;
  if (b != b_end) return std::strong_ordering::less;
  return std::strong_ordering::equal;
}

using KeyItem = std::pair<const LiteralKey, KeyEntry>;

std::strong_ordering key_item_order(const KeyItem& a, const KeyItem& b) {
  if (auto c = a.first <=> b.first; c != 0) return c;
  return key_entry_order(a.second, b.second);
}

bool key_item_eq(const KeyItem& a, const KeyItem& b) { return a.first == b.first && key_entry_eq(a.second, b.second); }

}  // namespace

std::strong_ordering key_entry_order(const KeyEntry& a, const KeyEntry& b) {
  if (auto c = optional_descriptor_order(a.value, b.value); c != 0) return c;
  if (auto c = optional_descriptor_order(a.subclass_value, b.subclass_value); c != 0) return c;
  return a.absent_allowed <=> b.absent_allowed;
}

std::strong_ordering key_selector_order(const KeySelector& a, const KeySelector& b) {
  if (auto c = a.kind_index <=> b.kind_index; c != 0) return c;
  if (auto c = optional_descriptor_order(a.descriptor, b.descriptor); c != 0) return c;
  return range_order(a.excluded.begin(), a.excluded.end(), b.excluded.begin(), b.excluded.end(),
                     [](const LiteralKey& x, const LiteralKey& y) { return x <=> y; });
}

std::strong_ordering record_shape_order(const RecordShape& a, const RecordShape& b) {
  if (auto c = range_order(a.keys.begin(), a.keys.end(), b.keys.begin(), b.keys.end(), key_item_order); c != 0) {
    return c;
  }
  for (uint64_t i = 0; i < key_kind::kCount; ++i) {
    if (auto c = key_entry_order(a.kind_entries[i], b.kind_entries[i]); c != 0) return c;
  }
  return range_order(a.selectors.begin(), a.selectors.end(), b.selectors.begin(), b.selectors.end(),
                     key_selector_order);
}

std::strong_ordering record_domain_order(const RecordDomain& a, const RecordDomain& b) {
  if (auto c = range_order(a.shapes.begin(), a.shapes.end(), b.shapes.begin(), b.shapes.end(), record_shape_order);
      c != 0) {
    return c;
  }
  return a.negated <=> b.negated;
}

bool key_entry_eq(const KeyEntry& a, const KeyEntry& b) {
  return a.absent_allowed == b.absent_allowed && optional_descriptor_eq(a.value, b.value) &&
         optional_descriptor_eq(a.subclass_value, b.subclass_value);
}

bool key_selector_eq(const KeySelector& a, const KeySelector& b) {
  return a.kind_index == b.kind_index && a.excluded == b.excluded && optional_descriptor_eq(a.descriptor, b.descriptor);
}

bool record_shape_eq(const RecordShape& a, const RecordShape& b) {
  if (!std::equal(a.keys.begin(), a.keys.end(), b.keys.begin(), b.keys.end(), key_item_eq)) return false;
  for (uint64_t i = 0; i < key_kind::kCount; ++i) {
    if (!key_entry_eq(a.kind_entries[i], b.kind_entries[i])) return false;
  }
  return std::equal(a.selectors.begin(), a.selectors.end(), b.selectors.begin(), b.selectors.end(), key_selector_eq);
}

bool record_domain_eq(const RecordDomain& a, const RecordDomain& b) {
  return a.negated == b.negated &&
         std::equal(a.shapes.begin(), a.shapes.end(), b.shapes.begin(), b.shapes.end(), record_shape_eq);
}

}  // namespace tessolin::descr

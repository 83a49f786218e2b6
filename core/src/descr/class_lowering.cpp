// Class and attribute restrictions. Tested by core/tests/descr_lowering.
#include "descr/class_lowering.hpp"

#include <string>
#include <utility>

#include "descr/emptiness.hpp"

namespace tessolin::descr {

namespace {

constexpr uint8_t kFirstKindCode = static_cast<uint8_t>(SlotKind::None);
constexpr uint8_t kLastKindCode = static_cast<uint8_t>(SlotKind::Dict);

}  // namespace

std::vector<ir::ClassAnswer> class_atoms_from_answer(const ir::ClassAnswer& answer) {
  if (answer.declined()) return {};
  return {answer};
}

ClauseList class_answer_clauses(const ir::ClassAnswer& answer) {
  AtomClause clause;
  clause.classes = class_atoms_from_answer(answer);
  return {std::move(clause)};
}

KindSlot restrict_domain(Domain domain, const ClauseList& clauses, uint8_t clauses_negated) {
  Line line{std::move(domain), clauses, clauses_negated};
  KindSlot slot;
  if (!line_is_empty(line)) slot.lines.push_back(std::move(line));
  return slot;
}

Descriptor descriptor_from_clauses(const ClauseList& clauses, uint8_t clauses_negated) {
  Descriptor d;
  for (uint8_t code = kFirstKindCode; code <= kLastKindCode; ++code) {
    d.slots[slot_index(code)] = restrict_domain(top_domain(code), clauses, clauses_negated);
  }
  d.slots[kOtherSlot] = restrict_domain(FlagDomain{1}, clauses, clauses_negated);
  return d;
}

Outcome<Descriptor> class_instances_descriptor(const ir::ClassAnswer& answer) {
  if (answer.declined()) return kGaveUp;
  const ClauseList clauses = class_answer_clauses(answer);
  if (answer.tag == ir::answer_tag::kNoBuiltinBase) return descriptor_from_clauses(clauses, 0);
  if (answer.tag > kLastKindCode) return kGaveUp;
  // Instances of a class with a builtin base are values of that kind only.
  Descriptor d;
  d.slots[slot_index(answer.tag)] = restrict_domain(top_domain(answer.tag), clauses, 0);
  return d;
}

Descriptor attribute_descriptor(std::string_view name, Descriptor value, bool absent_allowed) {
  AtomClause clause;
  const uint8_t absent = absent_allowed ? 1 : 0;
  clause.attributes.emplace(std::string(name), AttributeAtom{make_shared_descriptor(std::move(value)), absent});
  return descriptor_from_clauses({std::move(clause)}, 0);
}

}  // namespace tessolin::descr

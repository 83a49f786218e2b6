// The exact-type atom. Tested by core/tests/descr and core/tests/descr_lowering.
#include "descr/exact_type_atom.hpp"

#include "descr/descriptor.hpp"

namespace tessolin::descr {

ClassAnswer exact_type_atom() {
  ClassAnswer atom;
  atom.class_id = ir::kExactTypeClassId;
  atom.ids = {ir::kExactTypeClassId};
  atom.base_position = 0;  // no builtin base of its own: never incompatible by bases
  atom.tag = ir::answer_tag::kNoBuiltinBase;
  return atom;
}

bool is_exact_type_atom(const ClassAnswer& c) noexcept { return c.class_id == ir::kExactTypeClassId; }

bool within_exact_type_atom(const ClassAnswer& c) noexcept {
  const bool kind_base = c.tag >= static_cast<uint8_t>(SlotKind::Int) && c.tag <= static_cast<uint8_t>(SlotKind::Dict);
  return kind_base && !is_exact_type_atom(c) && c.ids.size() > 2;
}

bool exact_type_atom_inhabits(uint8_t code) noexcept {
  return code >= static_cast<uint8_t>(SlotKind::Int) && code <= static_cast<uint8_t>(SlotKind::Dict);
}

AtomClause exact_type_clause() {
  AtomClause clause;
  clause.excluded_classes.push_back(exact_type_atom());
  return clause;
}

bool holds_for_plain_values(const AtomClause& clause) noexcept {
  if (!clause.attributes.empty() || !clause.classes.empty()) return false;
  const auto& excluded = clause.excluded_classes;
  return excluded.empty() || (excluded.size() == 1 && is_exact_type_atom(excluded[0]));
}

}  // namespace tessolin::descr

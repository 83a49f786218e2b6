// The emptiness of clauses and clause lists. Class facts come only from the
// oracle's class answers: the class id, its class set (the ids of its MRO),
// its builtin base (base_position, 0 for none) and the SlotKind code of that
// base (tag). The algebra never asks whether a class has an attribute or
// whether two classes share an instance. Tested by core/tests/descr.
#include "descr/emptiness.hpp"
#include "descr/exact_type_atom.hpp"

namespace tessolin::descr {
namespace {

// A required class that is an excluded class or derives from one; a
// builtin's proper subclass lies within the excluded exact-type atom.
bool required_but_excluded(const AtomClause& clause) {
  for (const ClassAnswer& required : clause.classes) {
    for (const ClassAnswer& excluded : clause.excluded_classes) {
      if (excluded.class_id == required.class_id || required.has_id(excluded.class_id)) return true;
      if (is_exact_type_atom(excluded) && within_exact_type_atom(required)) return true;
    }
  }
  return false;
}

bool excludes_exact_type_atom(const AtomClause& clause) {
  for (const ClassAnswer& excluded : clause.excluded_classes) {
    if (is_exact_type_atom(excluded)) return true;
  }
  return false;
}

// Two required classes with different builtin bases, neither derived from
// the other: no instance of both exists.
bool incompatible_builtin_bases(const AtomClause& clause) {
  const auto& classes = clause.classes;
  for (size_t i = 0; i < classes.size(); ++i) {
    for (size_t j = i + 1; j < classes.size(); ++j) {
      const ClassAnswer& a = classes[i];
      const ClassAnswer& b = classes[j];
      if (a.base_position == 0 || b.base_position == 0 || a.base_position == b.base_position) continue;
      if (!a.has_id(b.class_id) && !b.has_id(a.class_id)) return true;
    }
  }
  return false;
}

// An attribute atom other than the one that holds for every value.
bool restricts_attributes(const AtomClause& clause) {
  for (const auto& [name, atom] : clause.attributes) {
    if (atom.value || !atom.absent_allowed) return true;
  }
  return false;
}

// Whether a value of slot `code` satisfying the clause's atoms can be built:
// an instance of its one required class, which must be of the slot's kind
// (the exact-type atom: of a fresh subclass of the slot's builtin). None and
// the bools are fixed objects that no class derives from and whose
// attributes cannot be set, so an attribute atom there proves nothing; nor
// does it on a value of exactly its builtin type. In slot Other only classes
// without a builtin base have instances.
bool kind_admits(const AtomClause& clause, uint8_t code) {
  if (code == kAnyKind) return true;
  for (const ClassAnswer& required : clause.classes) {
    if (is_exact_type_atom(required) ? !exact_type_atom_inhabits(code) : required.tag != code) return false;
  }
  const bool fixed_values = code == static_cast<uint8_t>(SlotKind::None) ||
                            code == static_cast<uint8_t>(SlotKind::Bool) || excludes_exact_type_atom(clause);
  return !(fixed_values && restricts_attributes(clause));
}

}  // namespace

Emptiness clause_emptiness(const AtomClause& clause, uint8_t code) {
  if (required_but_excluded(clause) || incompatible_builtin_bases(clause)) return Emptiness::Empty;
  bool undecided = false;
  for (const auto& [name, atom] : clause.attributes) {
    if (atom.absent_allowed || !atom.value) continue;
    Emptiness value = descriptor_emptiness(*atom.value);
    if (value == Emptiness::Empty) return Emptiness::Empty;
    if (value == Emptiness::Undecided) undecided = true;
  }
  if (undecided || clause.classes.size() > 1 || !kind_admits(clause, code)) return Emptiness::Undecided;
  return Emptiness::Inhabited;
}

Emptiness clause_list_emptiness(const ClauseList& clauses, uint8_t negated, uint8_t code) {
  Outcome<ClauseList> positive;
  const ClauseList* list = &clauses;
  if (negated) {
    positive = materialize_clauses(clauses, negated);
    if (!positive) return Emptiness::Undecided;
    list = &*positive;
  }
  return list_emptiness(*list, [code](const AtomClause& clause) { return clause_emptiness(clause, code); });
}

}  // namespace tessolin::descr

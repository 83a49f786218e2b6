// compact_clauses: the normal form of a positive clause list. Per clause:
// atoms that hold for every value dropped, implied class atoms dropped, the
// clause dropped when proved empty or equal to one kept; then at most
// kMaxNormalizedItems clauses, sorted by clause_order. Spends no fuel of its
// own (deciding attribute values may). Tested by core/tests/descr.
#include <algorithm>
#include <utility>

#include "descr/atom_clause.hpp"
#include "descr/emptiness.hpp"
#include "descr/exact_type_atom.hpp"

namespace tessolin::descr {
namespace {

// Whether `by`'s presence makes `entry` redundant because `entry`'s id lies
// in `by`'s class set, or `entry` is the exact-type atom that `by` lies
// within (checked against the set before removal). Two entries each in the
// other's class set name equivalent classes: the smaller id stays, so that
// they do not remove each other.
bool implied_by(const ClassAnswer& entry, const ClassAnswer& by) {
  if (is_exact_type_atom(entry)) return within_exact_type_atom(by);
  if (by.class_id == entry.class_id || !by.has_id(entry.class_id)) return false;
  return !entry.has_id(by.class_id) || by.class_id < entry.class_id;
}

// Keeps the entries that no other entry of the same set makes redundant,
// tested against the set before any removal.
template <class Redundant>
void drop_redundant(std::vector<ClassAnswer>& entries, Redundant redundant) {
  std::vector<ClassAnswer> kept;
  for (const ClassAnswer& a : entries) {
    if (std::none_of(entries.begin(), entries.end(), [&](const ClassAnswer& b) { return redundant(a, b); })) {
      kept.push_back(a);
    }
  }
  entries = std::move(kept);
}

void drop_trivial_atoms(AtomClause& clause) {
  std::erase_if(clause.attributes,
                [](const auto& entry) { return !entry.second.value && entry.second.absent_allowed; });
  // Requiring B, derived from A, implies requiring A.
  drop_redundant(clause.classes, [](const ClassAnswer& a, const ClassAnswer& b) { return implied_by(a, b); });
  // Excluding B excludes A, derived from B.
  drop_redundant(clause.excluded_classes, [](const ClassAnswer& a, const ClassAnswer& b) { return implied_by(b, a); });
}

}  // namespace

Outcome<ClauseList> compact_clauses(ClauseList clauses) {
  ClauseList kept;
  for (AtomClause& clause : clauses) {
    drop_trivial_atoms(clause);
    if (clause_emptiness(clause, kAnyKind) == Emptiness::Empty) continue;
    if (std::any_of(kept.begin(), kept.end(), [&](const AtomClause& k) { return clause_eq(k, clause); })) continue;
    kept.push_back(std::move(clause));
  }
  if (kept.size() > kMaxNormalizedItems) return kGaveUp;
  std::stable_sort(kept.begin(), kept.end(),
                   [](const AtomClause& a, const AtomClause& b) { return clause_order(a, b) < 0; });
  return kept;
}

}  // namespace tessolin::descr

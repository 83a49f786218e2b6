// compact_clauses: the normal form of a positive clause list. Per clause:
// atoms that hold for every value dropped, implied class atoms dropped, the
// clause dropped when proved empty or equal to one kept; then at most
// kMaxNormalizedItems clauses, sorted by clause_order. Spends no fuel of its
// own (deciding attribute values may). Tested by core/tests/descr.
#include <algorithm>
#include <utility>

#include "descr/atom_clause.hpp"
#include "descr/emptiness.hpp"

namespace tessolin::descr {
namespace {

// Whether `by`'s presence makes `entry` redundant because `entry`'s id lies
// in `by`'s class set (checked against the set before removal). Two entries
// each in the other's class set name equivalent classes: the smaller id
// stays, so that they do not remove each other.
bool implied_by(const ClassAnswer& entry, const ClassAnswer& by) {
  if (by.class_id == entry.class_id || !by.has_id(entry.class_id)) return false;
  return !entry.has_id(by.class_id) || by.class_id < entry.class_id;
}

// Required classes: B derives from A, so requiring B implies A.
void drop_implied_classes(std::vector<ClassAnswer>& classes) {
  std::vector<ClassAnswer> kept;
  for (const ClassAnswer& a : classes) {
    bool implied = std::any_of(classes.begin(), classes.end(), [&](const ClassAnswer& b) { return implied_by(a, b); });
    if (!implied) kept.push_back(a);
  }
  classes = std::move(kept);
}

// Excluded classes: A derives from B, so excluding B excludes A.
void drop_implied_exclusions(std::vector<ClassAnswer>& excluded) {
  std::vector<ClassAnswer> kept;
  for (const ClassAnswer& a : excluded) {
    bool implied = std::any_of(excluded.begin(), excluded.end(), [&](const ClassAnswer& b) { return implied_by(b, a); });
    if (!implied) kept.push_back(a);
  }
  excluded = std::move(kept);
}

void drop_trivial_atoms(AtomClause& clause) {
  std::erase_if(clause.attributes, [](const auto& entry) { return !entry.second.value && entry.second.absent_allowed; });
  drop_implied_classes(clause.classes);
  drop_implied_exclusions(clause.excluded_classes);
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
  std::stable_sort(kept.begin(), kept.end(), [](const AtomClause& a, const AtomClause& b) { return clause_order(a, b) < 0; });
  return kept;
}

}  // namespace tessolin::descr

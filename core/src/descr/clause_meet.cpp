// The meet of clauses: meet_clause_pair (one pair, no emptiness test),
// meet_clause_lists (the full product, one fuel unit per pair, compacted past
// the threshold and at the end) and materialize_clauses (De Morgan for a
// negated list, one meet per clause). Tested by core/tests/descr.
#include <utility>

#include "descr/atom_clause.hpp"
#include "descr/pairwise_product.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {
namespace {

// Both sorted by class id; on a shared id the entry of `a` is kept.
std::vector<ClassAnswer> union_by_class_id(const std::vector<ClassAnswer>& a, const std::vector<ClassAnswer>& b) {
  std::vector<ClassAnswer> out;
  out.reserve(a.size() + b.size());
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i].class_id <= b[j].class_id)) {
      if (j < b.size() && a[i].class_id == b[j].class_id) ++j;
      out.push_back(a[i++]);
    } else {
      out.push_back(b[j++]);
    }
  }
  return out;
}

}  // namespace

Outcome<AtomClause> meet_clause_pair(const AtomClause& a, const AtomClause& b) {
  AtomClause out;
  out.attributes = a.attributes;
  for (const auto& [name, atom] : b.attributes) {
    auto [it, inserted] = out.attributes.emplace(name, atom);
    if (inserted) continue;
    Outcome<OptionalDescriptor> value = meet_labels(it->second.value, atom.value);
    if (!value) return kGaveUp;
    it->second.value = std::move(*value);
    it->second.absent_allowed = (it->second.absent_allowed && atom.absent_allowed) ? 1 : 0;
  }
  out.classes = union_by_class_id(a.classes, b.classes);
  out.excluded_classes = union_by_class_id(a.excluded_classes, b.excluded_classes);
  return out;
}

Outcome<ClauseList> meet_clause_lists(const ClauseList& a, const ClauseList& b) {
  return pairwise_product<AtomClause>(a, b, meet_clause_pair, compact_clauses);
}

Outcome<ClauseList> materialize_clauses(const ClauseList& clauses, uint8_t negated) {
  if (!negated) return clauses;
  // not (C1 or C2 or ...) = (not C1) and (not C2) and ...
  ClauseList accumulated(1);  // the unrestricted clause
  for (const AtomClause& clause : clauses) {
    ClauseList complement = complement_clause(clause);
    Outcome<ClauseList> met = meet_clause_lists(accumulated, complement);
    if (!met) return kGaveUp;
    accumulated = std::move(*met);
  }
  return accumulated;
}

}  // namespace tessolin::descr

// Atom clauses: attribute and class restrictions of a line.
//
// A clause is a conjunction of atoms: attribute atoms (the value has the
// attribute with a value in `value`, or lacks it when absent_allowed), class
// atoms (an instance of each class) and excluded class atoms (an instance of
// none). The clause with three empty collections holds for every value.
// Class sets are keyed, ordered and compared by class id alone; class facts
// come only from the oracle's class answers.
// Orders: atom_clause_order.cpp; operations: clause_complement.cpp,
// clause_meet.cpp, clause_compact.cpp; emptiness: clause_emptiness.cpp.
// Tested by core/tests/descr.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "descr/outcome.hpp"
#include "descr/shared_descriptor_handle.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

using ir::ClassAnswer;

struct AttributeAtom {
  OptionalDescriptor value;  // null: any value
  uint8_t absent_allowed = 0;
};

struct AtomClause {
  std::map<std::string, AttributeAtom> attributes;  // by name, bytewise
  std::vector<ClassAnswer> classes;                 // sorted by class_id, unique
  std::vector<ClassAnswer> excluded_classes;        // sorted by class_id, unique

  bool unrestricted() const noexcept { return attributes.empty() && classes.empty() && excluded_classes.empty(); }
};

using ClauseList = std::vector<AtomClause>;

bool clause_eq(const AtomClause& a, const AtomClause& b);
std::strong_ordering clause_order(const AtomClause& a, const AtomClause& b);

}  // namespace tessolin::descr

namespace tessolin::descr {

// The union of single-atom clauses, each atom negated: attributes (value
// complemented, one fuel unit each while any is left; an absent value gives
// shared_nothing), then required classes as excluded, then excluded classes
// as required. Never gives up.
ClauseList complement_clause(const AtomClause& clause);
// Positive lists; the compacted list of pairwise meets (a outer, b inner).
// One fuel unit per pair (0 gives up); past kLineCompactionThreshold clauses
// the product is compacted before the next pair.
Outcome<ClauseList> meet_clause_lists(const ClauseList& a, const ClauseList& b);
// A positive list denoting the same values as (clauses, negated); negated:
// one meet_clause_lists per clause, starting from the unrestricted clause.
Outcome<ClauseList> materialize_clauses(const ClauseList& clauses, uint8_t negated);
// Normal form: trivial and implied atoms dropped, clauses proved empty or
// already kept dropped, sorted; more than kMaxNormalizedItems gives up. No
// fuel of its own.
Outcome<ClauseList> compact_clauses(ClauseList clauses);
// Attributes merged (shared names: meet_labels, flags ANDed), class sets
// united by class id. No emptiness test.
Outcome<AtomClause> meet_clause_pair(const AtomClause& a, const AtomClause& b);

}  // namespace tessolin::descr

// Smart constructors: build lattice nodes in normal form.
//
// Only syntactic rules apply: flattening, identities and absorbing elements,
// canonical sort, deduplication (first of each run of equal members stays),
// and the fold of a member together with its complement when the member is
// closed. They make no decision about the values a member admits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ir/definitions.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::ir {

// Join. Nothing is dropped, a nested Union spliced, the first Anything
// (either flag) is the answer with its flag; none left gives Nothing; a
// closed X with its complement gives plain Anything; one member left is the
// answer itself. `definitions` resolve References in the closedness test.
SchemaNode make_union(std::vector<SchemaNode> members, DefinitionsView definitions = {});

// Meet. Anything is dropped, Nothing absorbs, a nested Intersection spliced;
// a complementary pair gives Nothing; none left gives plain Anything (an
// intersection of Any alone loses the flag).
SchemaNode make_intersection(std::vector<SchemaNode> members, DefinitionsView definitions = {});

// Anything -> Nothing, Nothing -> plain Anything, Complement(X) -> X,
// otherwise Complement of the interned node.
SchemaNode make_complement(SchemaNode node);

// Sorts and deduplicates the constraints; none gives `base` itself.
// Otherwise a Refinement over the interned base and a fresh constraint list.
SchemaNode make_refinement(SchemaNode base, std::vector<Constraint> constraints);

// Clauses sorted by (key, value) and deduplicated, fields sorted by name
// (stable, none dropped), both lists interned.
SchemaNode make_record(std::vector<RecordField> fields, std::vector<CatchAll> clauses);

// The payload of a Sequence without prefix: the empty list and the interned
// tail. The caller writes the node with its SequenceKind.
struct RepeatingSequence {
  NodeList prefix;
  NodeRef tail;
};
RepeatingSequence repeating_sequence(SchemaNode item);

// For an Intersection holding exactly one Instance and exactly one Sequence
// or Object member (other kinds do not matter), the Instance's class index.
std::optional<uint64_t> match_class_with_shape(const SchemaNode& node);

// Whether some member is a Complement whose inner X is closed and some member
// is structurally equal to X. Closed: no Placeholder, no Refinement with a
// Predicate, no Reference at or past the definition count, and every
// Instance answered Yes by `class_hooks.class_hooks_standard` (the default
// oracle answers Undecided, so an Instance is never closed). References are
// entered through `definitions`, each definition once. Members in any order;
// O(n log n) node comparisons, plus one closedness walk per X present.
bool has_complementary_pair(std::span<const SchemaNode> members, Oracle& class_hooks, DefinitionsView definitions);

// The closedness walk alone, for callers that hold one node.
bool node_is_closed(const SchemaNode& node, Oracle& class_hooks, DefinitionsView definitions);

}  // namespace tessolin::ir

// Opening and closing the records of a schema as written.
//
// Open: every record gains, once, a catch-all clause admitting with any value
// each key that its fields and clauses do not already admit. Close: every
// record loses the clauses that opening adds and keeps its typed ones. The
// rewrite follows the schema's structure (items, tails, elements, field
// schemas, members, complements, attributes, refinement bases) but neither
// enters catch-all keys or values nor follows a Reference: each definition
// is rewritten by its own call. Copy-on-write: untouched subtrees stay shared.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "ir/node.hpp"

namespace tessolin::ir {

// The rewritten node, or a copy of `node` when nothing changes.
SchemaNode set_records_open(const SchemaNode& node, bool open);

// The recursive rewrite; nullopt when nothing below `node` changed.
std::optional<SchemaNode> rewrite_record_openness(const SchemaNode& node, bool open);

// The join and meet the rewrite builds keys and members with: flattening,
// canonical sort, deduplication and the fold of a closed node with its
// complement (decided without any knowledge of pooled classes). No
// definitions are consulted.
SchemaNode rewrite_join(std::span<const SchemaNode> nodes);
SchemaNode rewrite_meet(std::span<const SchemaNode> nodes);

// Whether the clause at `index` is the clause opening adds: its value is
// Anything and its key is the complement of the join of every other key.
bool is_rest_clause(std::span<const CatchAll> clauses, size_t index);

// Rewrites the clauses so that no two share an equal value schema: each value
// keeps its first position and the join of every key that carried it.
void merge_clauses_by_value(std::vector<CatchAll>& clauses);

// An optional field that adds nothing to a record with this clause list:
// Nothing under no clause, or Anything under the single clause (Anything,
// Anything).
bool field_is_redundant(const RecordField& field, std::span<const CatchAll> clauses);

}  // namespace tessolin::ir

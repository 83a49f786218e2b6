// Canonical total order and structural equality of nodes, fields, clauses and
// constraints, and the canonical sorts built on them.
//
// The order is visible to users (annotation text prints members in stored
// order), so it is exact: kind tag first, then per kind flag and payload,
// children lexicographically (a shorter list first when it is a prefix of the
// longer). Pool indices, definition numbers and placeholder ids compare as
// numbers. The Anything flag is ignored: Any and plain Anything are equal.
// Both comparisons use explicit stacks, never native recursion per level,
// and answer at once for identical handles.
#pragma once

#include <compare>
#include <span>
#include <string_view>
#include <vector>

#include "ir/node.hpp"

namespace tessolin::ir {

std::strong_ordering node_cmp(const SchemaNode& a, const SchemaNode& b);
bool node_eq(const SchemaNode& a, const SchemaNode& b);

// Names as byte strings: unsigned bytes over the common length, then shorter
// first.
std::strong_ordering name_cmp(std::string_view a, std::string_view b) noexcept;
// Name, then schema, then required (optional first).
std::strong_ordering field_cmp(const RecordField& a, const RecordField& b);
// Key, then value.
std::strong_ordering clause_cmp(const CatchAll& a, const CatchAll& b);
bool clause_eq(const CatchAll& a, const CatchAll& b);

std::strong_ordering constraint_cmp(const Constraint& a, const Constraint& b) noexcept;
bool constraint_eq(const Constraint& a, const Constraint& b) noexcept;

// ---- canonical sorts: stable (insertion sort up to 20 items, stable merge
// sort above; the result is the one every stable sort gives).

// Sorts by node_cmp.
void sort_nodes(std::vector<SchemaNode>& nodes);
// Drops every node equal to the one kept before it (first of a run stays).
void dedupe_sorted_nodes(std::vector<SchemaNode>& nodes);
// Both, as union and intersection member lists need.
void sort_and_dedupe_members(std::vector<SchemaNode>& nodes);

void sort_clauses(std::vector<CatchAll>& clauses);
void dedupe_sorted_clauses(std::vector<CatchAll>& clauses);

void sort_constraints(std::vector<Constraint>& constraints);
void dedupe_sorted_constraints(std::vector<Constraint>& constraints);

// Stable sort by name only; equal names keep their order; nothing dropped.
void sort_fields_by_name(std::span<RecordField> fields);

}  // namespace tessolin::ir

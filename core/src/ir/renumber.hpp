// Moving trees to new numbers: definition numbers after finalisation drops
// unreachable definitions, and pool indices plus a definition offset when a
// tree is embedded into another pool and definition list.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "ir/node.hpp"

namespace tessolin::ir {

// One entry per old definition number.
struct ReferenceRenumbering {
  bool kept = false;
  uint64_t new_number = 0;
};

// Reference(m) with m inside the table and kept becomes Reference(new
// number); any other Reference is kept. Always answers a rebuilt node: lists
// re-interned, union and intersection members re-sorted and deduplicated.
SchemaNode renumber_references(const SchemaNode& node, std::span<const ReferenceRenumbering> table);

struct IndexRenumbering {
  // Entry i is the new pool index of old index i; indices past the table stay.
  std::span<const uint64_t> index_table;
  // Added to every definition number (no bound check).
  uint64_t reference_offset = 0;
};

// Literal, Instance and the pool-index constraints (Ge, Gt, Le, Lt,
// MultipleOf, Predicate) through the table; References by the offset.
// Copy-on-write: absent when no number changed (keep the input). Rebuilt
// constraint lists keep their order (not re-sorted); rebuilt member lists
// are re-sorted.
std::optional<SchemaNode> renumber_indices(const SchemaNode& node, const IndexRenumbering& params);

}  // namespace tessolin::ir

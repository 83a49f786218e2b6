// Per-thread hash-consing of nodes and lists.
//
// Each thread has four direct-mapped caches of 1024 weak slots (nodes, node
// lists, clause lists, field lists). A hit needs shallow equality: same kind
// and flag, same payload numbers, and the very same child and list handles.
// Interning is an optimisation only: structurally equal nodes may live in
// several allocations, and everything that compares uses node_eq. A miss
// always overwrites its slot, so the caches never grow.
//
// On a thread whose per-thread state is already torn down (only while the
// thread exits) every function here throws InternalError.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ir/fx_hash.hpp"
#include "ir/node.hpp"

namespace tessolin::ir {

inline constexpr uint64_t kInternSlots = 1024;

// Answers a shared handle to a node equal to `node` (whose own children must
// already be interned): the cached one on a hit, a new one otherwise.
NodeRef intern_node(SchemaNode node);

// The empty list for no item; otherwise the cached list whose items are
// pairwise shallow-equal, or a new list holding copies of the items.
NodeList intern_node_list(std::span<const SchemaNode> items);

// The shared empty list for no clause; the shared (Anything, Anything) list
// for a single clause structurally equal to it (the vector is then left as
// it was). Otherwise on a miss the clauses are moved out (vector left empty),
// on a hit the vector is left for the caller to clear.
ClauseList intern_catch_all_list(std::vector<CatchAll>& clauses);

// Same contract for fields (no special single-field case).
FieldList intern_field_list(std::vector<RecordField>& fields);

// Hash words of one node, without the list counts; see interning.
void node_shallow_hash(const SchemaNode& node, FxHasher& state) noexcept;
bool node_shallow_eq(const SchemaNode& a, const SchemaNode& b) noexcept;
// The slot a finished hash selects.
inline uint64_t intern_slot(uint64_t finished_hash) noexcept { return finished_hash & (kInternSlots - 1); }

// Shared process-wide constants, created once on first use, never freed.
NodeList empty_node_list();
FieldList empty_field_list();
ClauseList empty_catch_all_list();
// The one-clause list (Anything, Anything), both with flag 0.
ClauseList top_catch_all_list();
// A static Anything node (flag 0) for the rewrites.
const SchemaNode& static_anything() noexcept;

}  // namespace tessolin::ir

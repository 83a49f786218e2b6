// Services that treat every node kind alike: kind texts, the child walk and
// the size measures behind the schema size limits.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ir/limits.hpp"
#include "ir/node.hpp"

namespace tessolin::ir {

// Error code of the node's kind; Sequence/Collection by flag, a Refinement by
// its base (through nested refinements).
std::string_view kind_error_code(const SchemaNode& node) noexcept;
// Display name with the same rules ("list", "tuple", "frozenset", ...).
std::string_view kind_display_name(const SchemaNode& node) noexcept;

// Appends borrowed pointers to the node's children, in this order:
// Sequence: prefix items, then the tail; Collection: element; Complement:
// inner; Refinement: base; Record: field schemas, then per clause its key and
// value; Union/Intersection: members; Object: attribute schemas. Leaves
// (References included) push nothing. The pointers live as long as `node`.
void push_children(const SchemaNode& node, std::vector<const SchemaNode*>& stack);

// Size of the tree under node: every node weighs 1, a Refinement 1 plus its
// constraint count; a Reference is a leaf. Shared subtrees count each time
// they occur. The walk stops as soon as the total passes `limit` and answers
// that partial total, so a shared graph of astronomic tree size costs only
// limit steps; any answer not above `limit` is exact.
uint64_t count_nodes(const SchemaNode& node, uint64_t limit = kMaxSchemaNodes);

// Nesting depth of the tree under node: a leaf is 1, every other node 1 plus
// its deepest child. Exact; each shared subtree is measured once (memoised by
// handle identity) and the walk uses an explicit stack.
uint64_t node_depth(const SchemaNode& node);

}  // namespace tessolin::ir

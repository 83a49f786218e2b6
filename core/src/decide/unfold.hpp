// Recursion before lowering: whether a schema holds back edges, and a copy
// with each back edge replaced by its definition a bounded number of times.
#pragma once

#include <cstdint>

#include "ir/definitions.hpp"
#include "ir/node.hpp"

namespace tessolin::decide {

// Whether the tree under node holds a Reference or a Placeholder
// (references are not followed).
bool has_recursion(const ir::SchemaNode& node);

// Which way what is left after unfolding is approximated.
enum class UnfoldPolarity : int32_t {
  Superset = 0,  // back edges become Anything: the result admits more
  Subset = 1,    // back edges become Nothing: the result admits less
};

// Replaces each Reference by its definition while `count` (per path) allows,
// then approximates every remaining Reference and every Placeholder by the
// polarity; a Complement flips the polarity beneath it. Nodes are rebuilt
// without folding. Throws InternalError only for a tree nested past what the
// rewrites support.
ir::SchemaNode unfold_recursion(const ir::SchemaNode& node, ir::DefinitionsView definitions, int32_t count,
                                UnfoldPolarity polarity);

}  // namespace tessolin::decide

// Lowering: schema nodes to descriptors, within a node allowance and a
// depth.
//
// Exports lower_node and the three folds it runs over lists (union members,
// intersection members, object attributes). A lowered Descriptor holds
// exactly the values the node admits, or the lowering gives up: nothing is
// approximated. Recursion must be unfolded before (the decision entry points
// do it): a Reference or Placeholder met here gives up.
//
// Rewritten trees are not refolded, so a union or intersection may have one
// member or none, and a refinement may carry no constraint; all lower.
//
// Literals, classes and attributes: literal_lowering.hpp,
// class_lowering.hpp; refinements: refinement_lowering.hpp. Sequences,
// collections and records lower through sequence_lowering.hpp and
// record_lowering.hpp once the node's allowance unit is spent and its depth
// checked here; sequences and collections receive the node's own depth,
// records the depth of their children, as those headers say.
// Tested by core/tests/descr_lowering.
#pragma once

#include <cstdint>

#include "descr/descriptor.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// `allowance` is shared by every call of one lowering: each node met takes
// one unit, and a node met with it at 0 gives up. `depth` is passed down
// minus one; a node met at depth 0 gives up (its unit stays spent).
// Children are lowered in their stored order, so where the allowance runs
// out is the same on every run. Cost: at most `allowance` nodes, each a
// combination of two descriptors under the thread's fuel.
Outcome<Descriptor> lower_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance, uint32_t depth);

// The folds, from the given start value, lowering each entry at `depth`
// (already the children's depth); any give-up ends the fold.
Outcome<Descriptor> lower_union_members(const ir::NodeList& members, Descriptor start, ir::Oracle& oracle,
                                        uint32_t& allowance, uint32_t depth);
Outcome<Descriptor> lower_intersection_members(const ir::NodeList& members, Descriptor start, ir::Oracle& oracle,
                                               uint32_t& allowance, uint32_t depth);
Outcome<Descriptor> lower_object_attributes(const ir::FieldList& attributes, Descriptor start, ir::Oracle& oracle,
                                            uint32_t& allowance, uint32_t depth);

}  // namespace tessolin::descr

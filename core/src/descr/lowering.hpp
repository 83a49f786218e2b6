// Lowering: schema nodes to descriptors, within a node allowance and a
// depth. Recursion must be unfolded before (the decision entry points do
// it): a Reference or Placeholder met here gives up.
// Tested by core/tests/descr_lowering.
#pragma once

#include <cstdint>

#include "descr/descriptor.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// `allowance` is shared by every call of one lowering (a node met with it
// at 0 gives up); `depth` is passed down minus one (0 gives up).
Outcome<Descriptor> lower_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance, uint32_t depth);

}  // namespace tessolin::descr

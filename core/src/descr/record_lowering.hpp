// Lowering of Record nodes (dicts, records, TypedDicts) into record shapes.
// Tested by core/tests/descr_record.
#pragma once

#include <cstdint>

#include "descr/descriptor.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// A Record node into slot Dict.
Outcome<Descriptor> lower_record_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                      uint32_t depth);

}  // namespace tessolin::descr

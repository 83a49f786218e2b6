// Lowering of list, tuple, set and frozenset nodes, and the list and tuple
// length bounds. Tested by core/tests/descr_sequence.
#pragma once

#include <cstdint>

#include "descr/descriptor.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// A Sequence node (prefix and optional tail) into slot List or Tuple.
Outcome<Descriptor> lower_sequence_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                        uint32_t depth);
// A Collection node into slot Set or FrozenSet.
Outcome<Descriptor> lower_collection_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                          uint32_t depth);
// Lists (code 6) or tuples (code 7) of at least / at most n items.
Outcome<Descriptor> min_length_sequences(uint64_t n, uint8_t code);
Outcome<Descriptor> max_length_sequences(uint64_t n, uint8_t code);

}  // namespace tessolin::descr

// Lowering of list, tuple, set and frozenset nodes, and the list and tuple
// length bounds. Exports the node lowerings and the builders they share
// with the length bounds; private: the dead-position layout.
// Tested by core/tests/descr_sequence.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "descr/descriptor.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// A Sequence node (prefix and optional tail) into slot List or Tuple, and a
// Collection node into slot Set or FrozenSet. Called by lower_node after it
// spent the node's allowance unit and checked `depth`, the node's own depth
// (above 0); the children are lowered at depth - 1, in stored order, and
// the first that gives up ends the lowering.
Outcome<Descriptor> lower_sequence_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                        uint32_t depth);
Outcome<Descriptor> lower_collection_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                          uint32_t depth);

// Slot List (code 6) or Tuple (7) holding the normalised automaton of
// exactly the prefix items, then any number of tail items when there is a
// tail. n prefix items make n + 2 positions: i < n takes prefix[i] to i + 1,
// n (the one accepting position) takes the tail to itself, n + 1 is dead.
// Any other code gives up. One fuel unit per position while fuel lasts.
Outcome<Descriptor> sequence_descriptor(const std::vector<SharedDescriptor>& prefix,
                                        const std::optional<SharedDescriptor>& tail, uint8_t code);
// The transitions of one position: the label to `next` and every other
// element to `dead`, or only the null label to `next` when the complement
// of the label is proved empty. Spends one fuel unit while fuel lasts.
std::vector<SequenceTransition> position_transitions(const SharedDescriptor& label, uint32_t next, uint32_t dead);
// Slot Set (code 8) or FrozenSet (9) holding the sets whose elements all lie
// in `element`. Any other code gives up.
Outcome<Descriptor> collection_descriptor(Descriptor element, uint8_t code);

// Lists (code 6) or tuples (code 7) of at least / at most n items. More than
// kMaxLengthBound items (at least), or n + 1 above it (at most), gives up.
Outcome<Descriptor> min_length_sequences(uint64_t n, uint8_t code);
Outcome<Descriptor> max_length_sequences(uint64_t n, uint8_t code);

}  // namespace tessolin::descr

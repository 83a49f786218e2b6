// Sequence automata: the list and tuple domains.
//
// A list or tuple is a member when, reading its elements in order from
// position 0, each element is taken by a transition of the current position
// whose label holds it, and the position reached after the last element
// accepts. A null label is the else-label: every element that none of the
// position's present labels holds. A position without transitions takes no
// element.
// Tested by core/tests/descr_sequence.
#pragma once

#include <cstdint>
#include <vector>

#include "descr/outcome.hpp"
#include "descr/shared_descriptor_handle.hpp"

namespace tessolin::descr {

struct SequenceTransition {
  OptionalDescriptor label;  // null: the position's else-label
  uint32_t target = 0;
};

struct SequenceAutomaton {
  std::vector<std::vector<SequenceTransition>> positions;
  std::vector<uint8_t> accepting;  // one byte per position
};

}  // namespace tessolin::descr

namespace tessolin::descr {

// Invariant of every automaton the algebra builds: each position has exactly
// one transition with a null label, and the present labels of a position are
// pairwise disjoint. So every element is taken at every position by exactly
// one transition, and flipping `accepting` complements the automaton.

// Product of two automata (labels met in both modes; a pair accepts when
// both accept for Meet, either for Join), in normal form. Spends one fuel
// unit per new position pair; gives up at the pair and transition limits.
Outcome<SequenceAutomaton> sequence_product(const SequenceAutomaton& a, const SequenceAutomaton& b,
                                            CombineMode mode);
SequenceAutomaton merge_transitions_by_target(SequenceAutomaton a);
SequenceAutomaton normalize_sequence_automaton(SequenceAutomaton a);
// Search for an accepting position; strict first, then loose (see .cpp).
bool sequence_is_inhabited(const SequenceAutomaton& a, bool strict);
// Emptiness of a sequence domain: strict success Inhabited, loose success
// Undecided, loose failure Empty.
Emptiness sequence_domain_emptiness(const SequenceAutomaton& a);

}  // namespace tessolin::descr

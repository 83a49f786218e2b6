// Sequence automata: the list and tuple domains.
//
// A list or tuple is a member when, reading its elements in order from
// position 0, each element is taken by a transition of the current position
// whose label holds it, and the position reached after the last element
// accepts. A null label is the else-label: every element that none of the
// position's present labels holds. A position without transitions takes no
// element.
// Exports the automaton types and their operations; each operation lives
// in its own sequence_*.cpp. Tested by core/tests/descr_sequence.
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

// Invariant of every automaton the algebra builds (lowering, product,
// normalisation): each position has exactly one transition with a null
// label, and the present labels of a position are pairwise disjoint. Every
// element is then taken at every position by exactly one transition, so
// flipping `accepting` complements the automaton, and merging a present
// label into the null one (same target) changes nothing. Lowering keeps it
// with at most one present label per position; the product keeps it because
// its labels are meets of one label of each side (labels of one side being
// disjoint) and the pair of null labels, or with an empty else part the last
// label, takes the rest; merging and pruning keep it.

// Product of two automata (labels met in both modes; a pair accepts when
// both accept for Meet, either for Join), in normal form. Spends one fuel
// unit per new position pair besides what its label operations spend; gives
// up when more than kMaxProductStates pairs would be numbered, a position
// would hold more than kMaxPositionTransitions transitions, or all positions
// together more than kMaxSequenceTransitions. Positions beyond either list
// count as positions without transitions that do not accept.
Outcome<SequenceAutomaton> sequence_product(const SequenceAutomaton& a, const SequenceAutomaton& b, CombineMode mode);
// Per position, transitions with one target become one, labelled by the
// join of their labels (null when either is null); a join that gives up
// keeps the two apart. Never gives up.
SequenceAutomaton merge_transitions_by_target(SequenceAutomaton a);
// The normal form: merged, labels proved empty dropped, transitions ordered
// (present labels by descriptor_order, the null label last), equivalent
// positions merged, unreachable positions dropped, positions numbered
// breadth-first from 0. Never gives up. Cost: two emptiness tests per
// label; the refinement recomputes only the signatures of predecessors of
// positions that changed class (O(transitions) per change, O(n) in all for
// the chains length bounds build).
SequenceAutomaton normalize_sequence_automaton(SequenceAutomaton a);
// Whether an accepting position is reachable from 0 through transitions
// whose labels are Inhabited (strict) or not proved Empty (loose).
bool sequence_is_inhabited(const SequenceAutomaton& a, bool strict);
// Emptiness of a sequence domain: strict success Inhabited, loose success
// Undecided, loose failure Empty.
Emptiness sequence_domain_emptiness(const SequenceAutomaton& a);

// The transition order of one position: present labels first, by
// descriptor_order, the null label last; ties by target. Stable.
void sort_transitions(std::vector<SequenceTransition>& transitions);

// Debug check of the part of the invariant that is cheap to see: as many
// `accepting` bytes (each 0 or 1) as positions, at least one position,
// every target a position, exactly one null label per position. The
// disjointness of present labels would need meets and emptiness tests and
// is not checked here.
bool sequence_invariant_holds(const SequenceAutomaton& a);

}  // namespace tessolin::descr

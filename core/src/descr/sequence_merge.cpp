// merge_transitions_by_target (sequence_automaton.hpp).
// Tested by core/tests/descr_sequence.
#include "descr/sequence_automaton.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

SequenceAutomaton merge_transitions_by_target(SequenceAutomaton a) {
  std::vector<SequenceTransition> merged;
  for (std::vector<SequenceTransition>& list : a.positions) {
    merged.clear();
    merged.reserve(list.size());
    for (SequenceTransition& t : list) {
      SequenceTransition* same = nullptr;
      for (SequenceTransition& m : merged) {
        if (m.target == t.target) {
          same = &m;
          break;
        }
      }
      if (!same) {
        merged.push_back(std::move(t));
      } else if (!same->label || !t.label) {
        // Labels of a position are disjoint, so the null label already
        // holds what a present one to the same target would add.
        same->label = nullptr;
      } else if (Outcome<SharedDescriptor> joined = join_shared(same->label, t.label)) {
        same->label = std::move(*joined);
      } else {
        merged.push_back(std::move(t));  // the join gave up: kept apart
      }
    }
    list.swap(merged);
  }
  return a;
}

}  // namespace tessolin::descr

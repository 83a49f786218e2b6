// The transition order of a position and the debug check of the automaton
// invariant (sequence_automaton.hpp). Private: nothing.
// Tested by core/tests/descr_sequence.
#include <algorithm>

#include "descr/descriptor_order.hpp"
#include "descr/sequence_automaton.hpp"

namespace tessolin::descr {

void sort_transitions(std::vector<SequenceTransition>& transitions) {
  std::stable_sort(transitions.begin(), transitions.end(),
                   [](const SequenceTransition& x, const SequenceTransition& y) {
                     if (!x.label != !y.label) return x.label != nullptr;  // present before null
                     if (x.label != y.label)
                       if (std::strong_ordering o = descriptor_order(*x.label, *y.label); o != 0) return o < 0;
                     return x.target < y.target;
                   });
}

bool sequence_invariant_holds(const SequenceAutomaton& a) {
  const size_t n = a.positions.size();
  if (n == 0 || a.accepting.size() != n) return false;
  for (size_t p = 0; p < n; ++p) {
    if (a.accepting[p] > 1) return false;
    size_t null_labels = 0;
    for (const SequenceTransition& t : a.positions[p]) {
      if (t.target >= n) return false;
      if (!t.label) ++null_labels;
    }
    if (null_labels != 1) return false;
  }
  return true;
}

}  // namespace tessolin::descr

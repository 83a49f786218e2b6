// sequence_is_inhabited and sequence_domain_emptiness
// (sequence_automaton.hpp): breadth-first searches for an accepting
// position. Tested by core/tests/descr_sequence.
#include <unordered_set>

#include "descr/emptiness.hpp"
#include "descr/sequence_automaton.hpp"
#include "descr/shared_descriptor.hpp"
#include "ir/fx_hash.hpp"

namespace tessolin::descr {

namespace {

struct PositionHash {
  size_t operator()(uint32_t p) const noexcept {
    ir::FxHasher h;
    h.add(p);
    return h.finish();
  }
};

bool passes(Emptiness answer, bool strict) {
  return strict ? answer == Emptiness::Inhabited : answer != Emptiness::Empty;
}

}  // namespace

bool sequence_is_inhabited(const SequenceAutomaton& a, bool strict) {
  static const std::vector<SequenceTransition> kNone;
  std::unordered_set<uint32_t, PositionHash> visited;
  std::vector<uint32_t> queue{0};
  for (size_t next = 0; next < queue.size(); ++next) {
    const uint32_t p = queue[next];
    if (!visited.insert(p).second) continue;
    if (p < a.accepting.size() && a.accepting[p] != 0) return true;
    const std::vector<SequenceTransition>& list = p < a.positions.size() ? a.positions[p] : kNone;
    // Decided for every position taken, whether a null label needs it or not.
    Outcome<SharedDescriptor> else_label = complement_of_labels(list);
    const Emptiness else_answer = else_label ? descriptor_emptiness(**else_label) : Emptiness::Undecided;
    for (const SequenceTransition& t : list) {
      const Emptiness answer = t.label ? descriptor_emptiness(*t.label) : else_answer;
      if (passes(answer, strict)) queue.push_back(t.target);
    }
  }
  return false;
}

Emptiness sequence_domain_emptiness(const SequenceAutomaton& a) {
  if (sequence_is_inhabited(a, true)) return Emptiness::Inhabited;
  return sequence_is_inhabited(a, false) ? Emptiness::Undecided : Emptiness::Empty;
}

}  // namespace tessolin::descr

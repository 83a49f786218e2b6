// sequence_product (sequence_automaton.hpp): the pairs of positions reached
// from (0, 0), breadth-first, each labelled by the meets of the two sides'
// labels, then normalised. Private: the pair numbering and one pair's
// transitions. Tested by core/tests/descr_sequence.
#include <algorithm>
#include <cassert>
#include <unordered_map>

#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/sequence_automaton.hpp"
#include "descr/shared_descriptor.hpp"
#include "ir/fx_hash.hpp"

namespace tessolin::descr {

namespace {

const std::vector<SequenceTransition>& transitions_at(const SequenceAutomaton& a, uint32_t p) {
  static const std::vector<SequenceTransition> kNone;
  return p < a.positions.size() ? a.positions[p] : kNone;
}

uint8_t accepting_at(const SequenceAutomaton& a, uint32_t p) { return p < a.accepting.size() && a.accepting[p] != 0; }

struct PairHash {
  size_t operator()(uint64_t key) const noexcept {
    ir::FxHasher h;
    h.add(key >> 32);
    h.add(key & 0xffffffffu);
    return h.finish();
  }
};

class Product {
 public:
  Product(const SequenceAutomaton& a, const SequenceAutomaton& b, CombineMode mode) : a_(a), b_(b), mode_(mode) {}

  Outcome<SequenceAutomaton> run() {
    number_of(0, 0);  // (0, 0) is pair 0 and spends nothing
    uint64_t total = 0;
    for (size_t k = 0; k < pairs_.size(); ++k) {
      const auto [i, j] = pairs_[k];
      std::vector<SequenceTransition> list;
      if (!build_position(i, j, list)) return kGaveUp;
      total += list.size();
      if (total > kMaxSequenceTransitions) return kGaveUp;
      const bool accepts = mode_ == CombineMode::Meet ? accepting_at(a_, i) && accepting_at(b_, j)
                                                      : accepting_at(a_, i) || accepting_at(b_, j);
      out_.positions.push_back(std::move(list));
      out_.accepting.push_back(accepts ? 1 : 0);
    }
    return normalize_sequence_automaton(merge_transitions_by_target(std::move(out_)));
  }

 private:
  // The pair's number, a new one (spending a unit) when it has none; none
  // when the pair limit or the fuel stops it.
  Outcome<uint32_t> number_of(uint32_t i, uint32_t j) {
    const uint64_t key = (static_cast<uint64_t>(i) << 32) | j;
    auto it = numbers_.find(key);
    if (it != numbers_.end()) return it->second;
    if (!pairs_.empty()) {
      if (pairs_.size() > kMaxProductStates) return kGaveUp;
      if (!spend_fuel()) return kGaveUp;
    }
    const auto n = static_cast<uint32_t>(pairs_.size());
    numbers_.emplace(key, n);
    pairs_.push_back({i, j});
    return n;
  }

  bool build_position(uint32_t i, uint32_t j, std::vector<SequenceTransition>& list) {
    const std::vector<SequenceTransition>& ta_list = transitions_at(a_, i);
    const std::vector<SequenceTransition>& tb_list = transitions_at(b_, j);
    Outcome<SharedDescriptor> else_a = complement_of_labels(ta_list);
    if (!else_a) return false;
    Outcome<SharedDescriptor> else_b = complement_of_labels(tb_list);
    if (!else_b) return false;
    // The product's else-label is the meet of the two.
    const bool else_empty =
        descriptor_emptiness(**else_a) == Emptiness::Empty || descriptor_emptiness(**else_b) == Emptiness::Empty;
    if (ta_list.empty() || tb_list.empty()) return true;
    for (const SequenceTransition& ta : ta_list) {
      for (const SequenceTransition& tb : tb_list) {
        OptionalDescriptor label;
        if (ta.label || tb.label) {
          Outcome<SharedDescriptor> met =
              meet_shared_descriptors(ta.label ? ta.label : *else_a, tb.label ? tb.label : *else_b);
          if (!met) return false;
          if (descriptor_emptiness(**met) == Emptiness::Empty) continue;
          label = std::move(*met);
        } else if (else_empty) {
          continue;
        }
        Outcome<uint32_t> target = number_of(ta.target, tb.target);
        if (!target) return false;
        if (list.size() >= kMaxPositionTransitions) return false;
        list.push_back({std::move(label), *target});
      }
    }
    if (else_empty && !list.empty()) {
      // The labels cover every element: the last one becomes the null label.
      sort_transitions(list);
      list.back().label = nullptr;
    }
    return true;
  }

  const SequenceAutomaton& a_;
  const SequenceAutomaton& b_;
  CombineMode mode_;
  std::unordered_map<uint64_t, uint32_t, PairHash> numbers_;
  std::vector<std::pair<uint32_t, uint32_t>> pairs_;  // by number; also the queue
  SequenceAutomaton out_;
};

}  // namespace

Outcome<SequenceAutomaton> sequence_product(const SequenceAutomaton& a, const SequenceAutomaton& b, CombineMode mode) {
  Outcome<SequenceAutomaton> out = Product(a, b, mode).run();
  assert(!out || !sequence_invariant_holds(a) || !sequence_invariant_holds(b) || sequence_invariant_holds(*out));
  return out;
}

}  // namespace tessolin::descr

// Products of byte automata: product_byte_classes, meet_byte_automata and
// automaton_union. The pair numbering is private. Tested by core/tests/descr
// (byte_automaton_test, automaton_exhaustive_test).
#include <cassert>
#include <unordered_map>
#include <utility>

#include "descr/byte_automaton.hpp"

namespace tessolin::descr {
namespace {

enum class PairAcceptance { Both, Either };

// Pairs of states numbered in order of discovery; the list doubles as the
// breadth-first queue.
class PairNumbering {
 public:
  // The number of (p, q), or nothing when a new pair is needed while more
  // than kMaxProductStates are numbered.
  Outcome<uint32_t> number(uint32_t p, uint32_t q) {
    uint64_t key = (uint64_t(p) << 32) | q;
    auto it = ids_.find(key);
    if (it != ids_.end()) return it->second;
    if (pairs_.size() > kMaxProductStates) return kGaveUp;
    auto id = uint32_t(pairs_.size());
    ids_.emplace(key, id);
    pairs_.push_back({p, q});
    return id;
  }
  size_t size() const { return pairs_.size(); }
  std::pair<uint32_t, uint32_t> operator[](size_t i) const { return pairs_[i]; }

 private:
  std::unordered_map<uint64_t, uint32_t> ids_;
  std::vector<std::pair<uint32_t, uint32_t>> pairs_;
};

Outcome<AutomatonHandle> product(const ByteAutomaton& a, const ByteAutomaton& b, PairAcceptance acceptance) {
  assert(a.transitions.size() == a.state_count() * a.class_count);
  assert(b.transitions.size() == b.state_count() * b.class_count);
  const RefinedByteClasses refined = product_byte_classes(a.classes, b.classes);
  ByteAutomaton out;
  out.classes = refined.classes;
  out.class_count = refined.class_count;
  PairNumbering pairs;
  pairs.number(0, 0);
  for (size_t head = 0; head < pairs.size(); ++head) {
    auto [p, q] = pairs[head];
    bool accepts =
        acceptance == PairAcceptance::Both ? a.accepting[p] && b.accepting[q] : a.accepting[p] || b.accepting[q];
    out.accepting.push_back(accepts ? 1 : 0);
    for (const auto& [ca, cb] : refined.pairs) {
      Outcome<uint32_t> target =
          pairs.number(a.transitions[p * a.class_count + ca], b.transitions[q * b.class_count + cb]);
      if (!target) return kGaveUp;
      out.transitions.push_back(*target);
    }
  }
  return canonicalize_automaton(out);
}

}  // namespace

RefinedByteClasses product_byte_classes(const std::array<uint16_t, 256>& a, const std::array<uint16_t, 256>& b) {
  RefinedByteClasses r;
  std::unordered_map<uint32_t, uint16_t> seen;
  for (unsigned byte = 0; byte < 256; ++byte) {
    uint32_t key = (uint32_t(a[byte]) << 16) | b[byte];
    auto [it, inserted] = seen.emplace(key, uint16_t(r.pairs.size()));
    if (inserted) r.pairs.push_back({a[byte], b[byte]});
    r.classes[byte] = it->second;
  }
  r.class_count = r.pairs.size();
  return r;
}

Outcome<AutomatonHandle> meet_byte_automata(const ByteAutomaton& a, const ByteAutomaton& b) {
  return product(a, b, PairAcceptance::Both);
}

Outcome<AutomatonHandle> automaton_union(const ByteAutomaton& a, const ByteAutomaton& b) {
  return product(a, b, PairAcceptance::Either);
}

}  // namespace tessolin::descr

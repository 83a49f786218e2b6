// The canonical form of a byte automaton: canonicalize_automaton.
//
// Four stages: keep the states reachable through bytes; merge equivalent
// states by Hopcroft's partition refinement; merge classes whose columns
// agree over the merged states, numbered by first byte; number states
// breadth-first from the start. Minimal automata are unique up to the naming
// of states and classes, and the last two stages fix the naming from the
// language alone, so equal languages give identical automata. The partition
// and the stages are private. Tested by core/tests/descr
// (byte_automaton_test, automaton_exhaustive_test).
#include <cassert>
#include <unordered_map>
#include <utility>

#include "descr/byte_automaton.hpp"

namespace tessolin::descr {
namespace {

// A complete automaton over the classes some byte maps to, with only the
// states reachable from state 0 (which stays 0).
struct DenseAutomaton {
  uint32_t state_count = 0;
  uint32_t symbol_count = 0;
  std::vector<uint32_t> delta;  // state * symbol_count + symbol
  std::vector<uint8_t> accepting;
  // symbol -> class of the input; the input's classes in order of first byte
  std::vector<uint16_t> symbol_class;
};

DenseAutomaton reachable_part(const ByteAutomaton& a) {
  DenseAutomaton d;
  std::vector<int32_t> symbol_of(a.class_count, -1);
  for (uint16_t c : a.classes) {
    if (symbol_of[c] >= 0) continue;
    symbol_of[c] = int32_t(d.symbol_class.size());
    d.symbol_class.push_back(c);
  }
  d.symbol_count = uint32_t(d.symbol_class.size());
  const uint32_t m = d.symbol_count;
  constexpr uint32_t kUnseen = UINT32_MAX;
  std::vector<uint32_t> number(a.state_count(), kUnseen);
  std::vector<uint32_t> order{0};
  number[0] = 0;
  for (size_t head = 0; head < order.size(); ++head) {
    uint64_t s = order[head];
    for (uint32_t j = 0; j < m; ++j) {
      uint32_t t = a.transitions[s * a.class_count + d.symbol_class[j]];
      if (number[t] == kUnseen) {
        number[t] = uint32_t(order.size());
        order.push_back(t);
      }
    }
  }
  d.state_count = uint32_t(order.size());
  d.delta.resize(size_t(d.state_count) * m);
  d.accepting.resize(d.state_count);
  for (uint32_t i = 0; i < d.state_count; ++i) {
    uint64_t s = order[i];
    d.accepting[i] = a.accepting[s];
    for (uint32_t j = 0; j < m; ++j)
      d.delta[size_t(i) * m + j] = number[a.transitions[s * a.class_count + d.symbol_class[j]]];
  }
  return d;
}

// A partition of 0..n-1 into blocks, each a contiguous range of `elems`;
// marked members of a block sit at the front of its range.
class Partition {
 public:
  explicit Partition(uint32_t n) : elems_(n), loc_(n), block_(n, 0) {
    for (uint32_t i = 0; i < n; ++i) elems_[i] = loc_[i] = i;
    begin_.push_back(0);
    end_.push_back(n);
    marked_.push_back(0);
  }

  uint32_t block_count() const { return uint32_t(begin_.size()); }
  uint32_t block_of(uint32_t e) const { return block_[e]; }
  uint32_t size(uint32_t b) const { return end_[b] - begin_[b]; }
  uint32_t first_member(uint32_t b) const { return elems_[begin_[b]]; }
  const uint32_t* members_begin(uint32_t b) const { return elems_.data() + begin_[b]; }
  const uint32_t* members_end(uint32_t b) const { return elems_.data() + end_[b]; }

  void mark(uint32_t e) {
    uint32_t b = block_[e];
    uint32_t front = begin_[b] + marked_[b];
    if (loc_[e] < front) return;  // already marked
    swap_positions(loc_[e], front);
    if (marked_[b]++ == 0) touched_.push_back(b);
  }

  // Splits every block with some but not all members marked: the marked
  // members form a new block. Calls on_split(old, new) for each; clears marks.
  template <class OnSplit>
  void split_marked(OnSplit&& on_split) {
    for (uint32_t b : touched_) {
      uint32_t count = marked_[b];
      marked_[b] = 0;
      if (count == size(b)) continue;
      auto fresh = uint32_t(begin_.size());
      begin_.push_back(begin_[b]);
      end_.push_back(begin_[b] + count);
      marked_.push_back(0);
      begin_[b] += count;
      for (uint32_t i = begin_[fresh]; i < end_[fresh]; ++i) block_[elems_[i]] = fresh;
      on_split(b, fresh);
    }
    touched_.clear();
  }

 private:
  void swap_positions(uint32_t i, uint32_t j) {
    std::swap(elems_[i], elems_[j]);
    loc_[elems_[i]] = i;
    loc_[elems_[j]] = j;
  }

  std::vector<uint32_t> elems_, loc_, block_;
  std::vector<uint32_t> begin_, end_, marked_;
  std::vector<uint32_t> touched_;
};

// Sources of each (symbol, target) edge, grouped by symbol then target.
struct InverseEdges {
  std::vector<uint32_t> offset;  // (symbol * n + target) -> start in sources
  std::vector<uint32_t> sources;
};

InverseEdges invert(const DenseAutomaton& d) {
  const uint32_t n = d.state_count, m = d.symbol_count;
  InverseEdges inv;
  inv.offset.assign(size_t(n) * m + 1, 0);
  for (uint32_t s = 0; s < n; ++s)
    for (uint32_t j = 0; j < m; ++j) ++inv.offset[size_t(j) * n + d.delta[size_t(s) * m + j] + 1];
  for (size_t i = 1; i < inv.offset.size(); ++i) inv.offset[i] += inv.offset[i - 1];
  inv.sources.resize(size_t(n) * m);
  std::vector<uint32_t> fill(inv.offset.begin(), inv.offset.end() - 1);
  for (uint32_t s = 0; s < n; ++s)
    for (uint32_t j = 0; j < m; ++j) inv.sources[fill[size_t(j) * n + d.delta[size_t(s) * m + j]]++] = s;
  return inv;
}

// Hopcroft: refine {accepting, rejecting} until every block is closed under
// every symbol. O(m n log n).
Partition coarsest_stable_partition(const DenseAutomaton& d) {
  const uint32_t n = d.state_count, m = d.symbol_count;
  Partition part(n);
  for (uint32_t s = 0; s < n; ++s)
    if (d.accepting[s]) part.mark(s);
  struct Splitter {
    uint32_t block;
    uint32_t symbol;
  };
  std::vector<Splitter> work;
  std::vector<uint8_t> waiting;  // block * m + symbol
  auto push = [&](uint32_t block, uint32_t symbol) {
    size_t key = size_t(block) * m + symbol;
    if (waiting.size() <= key) waiting.resize(size_t(part.block_count()) * m, 0);
    if (!waiting[key]) {
      waiting[key] = 1;
      work.push_back({block, symbol});
    }
  };
  // Either half of a split block may serve as splitter; the smaller keeps
  // the total work at n log n per symbol.
  auto on_split = [&](uint32_t old_block, uint32_t fresh) {
    waiting.resize(size_t(part.block_count()) * m, 0);
    for (uint32_t j = 0; j < m; ++j) {
      if (waiting[size_t(old_block) * m + j])
        push(fresh, j);
      else
        push(part.size(fresh) <= part.size(old_block) ? fresh : old_block, j);
    }
  };
  part.split_marked(on_split);  // one block when all states agree on acceptance: stable already
  const InverseEdges inv = invert(d);
  std::vector<uint32_t> members;
  while (!work.empty()) {
    Splitter sp = work.back();
    work.pop_back();
    waiting[size_t(sp.block) * m + sp.symbol] = 0;
    // Marking reorders blocks, the splitter's own included: copy it first.
    members.assign(part.members_begin(sp.block), part.members_end(sp.block));
    for (uint32_t t : members) {
      size_t key = size_t(sp.symbol) * n + t;
      for (uint32_t i = inv.offset[key]; i < inv.offset[key + 1]; ++i) part.mark(inv.sources[i]);
    }
    part.split_marked(on_split);
  }
  return part;
}

struct ColumnHash {
  size_t operator()(const std::vector<uint32_t>& v) const noexcept {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint32_t x : v) {
      h ^= x;
      h *= 0x100000001b3ull;
    }
    return size_t(h ^ (h >> 29));
  }
};

}  // namespace

AutomatonHandle canonicalize_automaton(const ByteAutomaton& a) {
  assert(a.state_count() > 0 && a.class_count > 0);
  assert(a.transitions.size() == a.state_count() * a.class_count);
  const DenseAutomaton d = reachable_part(a);
  const Partition part = coarsest_stable_partition(d);
  const uint32_t blocks = part.block_count(), m = d.symbol_count;
  auto block_target = [&](uint32_t block, uint32_t symbol) {
    return part.block_of(d.delta[size_t(part.first_member(block)) * m + symbol]);
  };

  // Symbols whose columns agree over the blocks become one class; symbols
  // are in order of first byte, so first appearance numbers by first byte.
  std::unordered_map<std::vector<uint32_t>, uint16_t, ColumnHash> columns;
  std::vector<uint16_t> class_of_symbol(m);
  std::vector<uint32_t> symbol_of_class;
  for (uint32_t j = 0; j < m; ++j) {
    std::vector<uint32_t> column(blocks);
    for (uint32_t b = 0; b < blocks; ++b) column[b] = block_target(b, j);
    auto [it, inserted] = columns.emplace(std::move(column), uint16_t(symbol_of_class.size()));
    if (inserted) symbol_of_class.push_back(j);
    class_of_symbol[j] = it->second;
  }
  std::vector<uint16_t> symbol_of_input_class(a.class_count, 0);
  for (uint32_t j = 0; j < m; ++j) symbol_of_input_class[d.symbol_class[j]] = uint16_t(j);

  auto out = std::make_shared<ByteAutomaton>();
  for (unsigned b = 0; b < 256; ++b) out->classes[b] = class_of_symbol[symbol_of_input_class[a.classes[b]]];
  const uint64_t k = symbol_of_class.size();
  out->class_count = k;

  constexpr uint32_t kUnseen = UINT32_MAX;
  std::vector<uint32_t> number(blocks, kUnseen);
  std::vector<uint32_t> order{part.block_of(0)};
  number[order[0]] = 0;
  out->transitions.reserve(size_t(blocks) * k);
  out->accepting.reserve(blocks);
  for (size_t head = 0; head < order.size(); ++head) {
    uint32_t block = order[head];
    out->accepting.push_back(d.accepting[part.first_member(block)]);
    for (uint64_t c = 0; c < k; ++c) {
      uint32_t t = block_target(block, symbol_of_class[c]);
      if (number[t] == kUnseen) {
        number[t] = uint32_t(order.size());
        order.push_back(t);
      }
      out->transitions.push_back(number[t]);
    }
  }
  assert(order.size() == blocks);  // every state was reachable
  return out;
}

}  // namespace tessolin::descr

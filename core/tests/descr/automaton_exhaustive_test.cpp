// Random small automata checked against plain membership over every short
// string, and the canonical form checked against a naive reference
// (signature refinement, as slow as it is obvious) and against scrambled
// copies of the same automaton.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>

#include "automaton_test_support.hpp"
#include "descr/byte_automaton.hpp"

namespace tessolin::descr {
namespace {

using testing::all_strings;

// Bytes the random automata tell apart; every other byte is in class 0.
const std::vector<std::string> kPieces = {"a", "b", "c", "\xFF", std::string(1, '\0')};

class RandomAutomata {
 public:
  explicit RandomAutomata(uint32_t seed) : rng_(seed) {}

  // When `all_classes_used`, every class has a byte.
  ByteAutomaton next(bool all_classes_used, uint32_t max_states = 6) {
    ByteAutomaton a;
    uint32_t k = pick(4) + 1;
    for (char b : {'a', 'b', 'c', '\xFF'}) a.classes[uint8_t(b)] = uint16_t(pick(k));
    if (all_classes_used) {
      std::vector<uint16_t> used(a.classes.begin(), a.classes.end());
      std::sort(used.begin(), used.end());
      used.erase(std::unique(used.begin(), used.end()), used.end());
      for (auto& c : a.classes) c = uint16_t(std::lower_bound(used.begin(), used.end(), c) - used.begin());
      k = uint32_t(used.size());
    }
    a.class_count = k;
    uint32_t n = pick(max_states) + 1;
    for (uint64_t i = 0; i < n * k; ++i) a.transitions.push_back(pick(n));
    for (uint32_t s = 0; s < n; ++s) a.accepting.push_back(uint8_t(pick(3) == 0));
    return a;
  }

  // The same language: states permuted (0 stays the start), one state
  // duplicated, one class split in two, an unreachable state added.
  ByteAutomaton scramble(const ByteAutomaton& a) {
    const uint64_t n = a.state_count(), k = a.class_count;
    std::vector<uint32_t> perm(n);
    std::iota(perm.begin(), perm.end(), 0);
    std::shuffle(perm.begin() + 1, perm.end(), rng_);
    const uint32_t twin = pick(uint32_t(n));  // copied to state n
    const uint16_t split = a.classes[uint8_t("abc\xFF"[pick(4)])];
    ByteAutomaton b;
    b.classes = a.classes;
    for (char byte : {'a', 'b', 'c', '\xFF'})
      if (a.classes[uint8_t(byte)] == split && pick(2)) b.classes[uint8_t(byte)] = uint16_t(k);
    b.class_count = k + 1;
    const uint64_t n2 = n + 2;  // the twin, then an unreachable state
    auto renamed = [&](uint32_t t) { return t == twin && pick(2) ? uint32_t(n) : perm[t]; };
    b.transitions.assign(n2 * (k + 1), 0);
    b.accepting.assign(n2, 0);
    for (uint64_t s = 0; s < n; ++s) {
      for (uint32_t copy : {perm[s], s == twin ? uint32_t(n) : UINT32_MAX}) {
        if (copy == UINT32_MAX) continue;
        b.accepting[copy] = a.accepting[s];
        for (uint64_t c = 0; c <= k; ++c)
          b.transitions[copy * (k + 1) + c] = renamed(a.transitions[s * k + (c == k ? split : c)]);
      }
    }
    b.accepting[n + 1] = 1;
    for (uint64_t c = 0; c <= k; ++c) b.transitions[(n + 1) * (k + 1) + c] = uint32_t(n + 1);
    return b;
  }

 private:
  uint32_t pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  std::mt19937 rng_;
};

// The states reachable from state 0, in their old order.
ByteAutomaton reachable_states(const ByteAutomaton& in) {
  const uint64_t k = in.class_count;
  std::vector<uint8_t> seen(in.state_count(), 0);
  std::vector<uint32_t> stack{0};
  seen[0] = 1;
  while (!stack.empty()) {
    uint64_t s = stack.back();
    stack.pop_back();
    for (uint64_t c = 0; c < k; ++c) {
      uint32_t t = in.transitions[s * k + c];
      if (!seen[t]) {
        seen[t] = 1;
        stack.push_back(t);
      }
    }
  }
  std::vector<uint32_t> number(in.state_count());
  uint32_t next = 0;
  for (uint64_t s = 0; s < in.state_count(); ++s)
    if (seen[s]) number[s] = next++;
  ByteAutomaton out;
  out.classes = in.classes;
  out.class_count = k;
  for (uint64_t s = 0; s < in.state_count(); ++s) {
    if (!seen[s]) continue;
    out.accepting.push_back(in.accepting[s]);
    for (uint64_t c = 0; c < k; ++c) out.transitions.push_back(number[in.transitions[s * k + c]]);
  }
  return out;
}

// The canonical form as plainly as it can be written: drop unreachable
// states, refine blocks by signatures until stable, quotient, merge classes
// by column, number breadth-first. Assumes every class has a byte.
ByteAutomaton naive_canonical(const ByteAutomaton& in) {
  const ByteAutomaton a = reachable_states(in);
  const uint64_t n = a.state_count(), k = a.class_count;
  std::vector<uint32_t> block(a.accepting.begin(), a.accepting.end());
  for (uint64_t pass = 0; pass <= n; ++pass) {
    std::map<std::vector<uint32_t>, uint32_t> ids;
    std::vector<uint32_t> next(n);
    for (uint64_t s = 0; s < n; ++s) {
      std::vector<uint32_t> sig{block[s]};
      for (uint64_t c = 0; c < k; ++c) sig.push_back(block[a.transitions[s * k + c]]);
      next[s] = ids.emplace(sig, uint32_t(ids.size())).first->second;
    }
    bool stable = next == block;
    block = next;
    if (stable) break;
  }
  uint32_t blocks = *std::max_element(block.begin(), block.end()) + 1;
  std::vector<uint64_t> member(blocks);
  for (uint64_t s = n; s-- > 0;) member[block[s]] = s;
  std::map<std::vector<uint32_t>, uint16_t> columns;
  std::vector<uint64_t> first_old_class;
  ByteAutomaton out;
  for (int byte = 0; byte < 256; ++byte) {
    uint64_t c = a.classes[byte];
    std::vector<uint32_t> column;
    for (uint32_t q = 0; q < blocks; ++q) column.push_back(block[a.transitions[member[q] * k + c]]);
    auto [it, inserted] = columns.emplace(column, uint16_t(columns.size()));
    if (inserted) first_old_class.push_back(c);
    out.classes[byte] = it->second;
  }
  out.class_count = first_old_class.size();
  std::vector<int64_t> number(blocks, -1);
  std::vector<uint32_t> order{block[0]};
  number[block[0]] = 0;
  for (size_t head = 0; head < order.size(); ++head) {
    uint64_t s = member[order[head]];
    out.accepting.push_back(a.accepting[s]);
    for (uint64_t c : first_old_class) {
      uint32_t t = block[a.transitions[s * k + c]];
      if (number[t] < 0) {
        number[t] = int64_t(order.size());
        order.push_back(t);
      }
      out.transitions.push_back(uint32_t(number[t]));
    }
  }
  return out;
}

// Whether some byte string is accepted by both: a search over pairs of
// states, byte by byte, without classes.
bool shares_a_string(const ByteAutomaton& a, const ByteAutomaton& b) {
  std::set<std::pair<uint64_t, uint64_t>> seen{{0, 0}};
  std::vector<std::pair<uint64_t, uint64_t>> stack{{0, 0}};
  while (!stack.empty()) {
    auto [p, q] = stack.back();
    stack.pop_back();
    if (a.accepting[p] && b.accepting[q]) return true;
    for (int byte = 0; byte < 256; ++byte) {
      std::pair<uint64_t, uint64_t> next{a.transitions[p * a.class_count + a.classes[byte]],
                                         b.transitions[q * b.class_count + b.classes[byte]]};
      if (seen.insert(next).second) stack.push_back(next);
    }
  }
  return false;
}

TEST(AutomatonExhaustiveTest, SetOperationsAgreeWithMembership) {
  RandomAutomata gen(11);
  const std::vector<std::string> strings = all_strings(kPieces, 5);
  for (int round = 0; round < 400; ++round) {
    ByteAutomaton a = gen.next(round % 2 == 0);
    ByteAutomaton b = gen.next(round % 3 == 0);
    Outcome<AutomatonHandle> meet = meet_byte_automata(a, b);
    Outcome<AutomatonHandle> join = automaton_union(a, b);
    ASSERT_TRUE(meet && join);
    const AutomatonHandle canon = canonicalize_automaton(a);
    const AutomatonHandle not_a = complement_automaton(*canon);
    bool a_nonempty = false, meet_nonempty = false;
    for (const std::string& s : strings) {
      bool in_a = automaton_accepts(a, s), in_b = automaton_accepts(b, s);
      ASSERT_EQ(automaton_accepts(**meet, s), in_a && in_b) << round << ' ' << s;
      ASSERT_EQ(automaton_accepts(**join, s), in_a || in_b) << round << ' ' << s;
      ASSERT_EQ(automaton_accepts(*canon, s), in_a) << round << ' ' << s;
      ASSERT_EQ(automaton_accepts(*not_a, s), !in_a) << round << ' ' << s;
      a_nonempty |= in_a;
      meet_nonempty |= in_a && in_b;
    }
    // Up to six states, a shortest accepted string has at most five bytes.
    EXPECT_EQ(automaton_is_empty(a), !a_nonempty) << round;
    bool both = shares_a_string(a, b);
    EXPECT_EQ(automaton_is_empty(**meet), !both) << round;
    EXPECT_TRUE(both || !meet_nonempty) << round;
  }
}

TEST(AutomatonExhaustiveTest, CanonicalFormMatchesNaiveReference) {
  RandomAutomata gen(12);
  for (int round = 0; round < 2000; ++round) {
    // Larger automata now and then, where refinement takes many rounds.
    ByteAutomaton a = gen.next(true, round % 10 == 0 ? 80 : 6);
    const AutomatonHandle fast = canonicalize_automaton(a);
    const ByteAutomaton slow = naive_canonical(a);
    ASSERT_TRUE(automaton_eq(*fast, slow)) << round;
  }
}

TEST(AutomatonExhaustiveTest, CanonicalFormIsAFunctionOfTheLanguage) {
  RandomAutomata gen(13);
  for (int round = 0; round < 2000; ++round) {
    ByteAutomaton a = gen.next(round % 2 == 0, round % 10 == 0 ? 80 : 6);
    const AutomatonHandle canon = canonicalize_automaton(a);
    ByteAutomaton scrambled = gen.scramble(a);
    for (int again = round % 8; again > 0; --again) scrambled = gen.scramble(scrambled);
    ASSERT_TRUE(automaton_eq(*canonicalize_automaton(scrambled), *canon)) << round;
    ASSERT_TRUE(automaton_eq(*canonicalize_automaton(*canon), *canon)) << round;
    ASSERT_TRUE(automaton_eq(*complement_automaton(*complement_automaton(*canon)), *canon)) << round;
  }
}

TEST(AutomatonExhaustiveTest, LiteralsAgreeWithEquality) {
  const std::vector<std::string> strings = all_strings(kPieces, 3);
  for (const std::string& w : strings) {
    const AutomatonHandle lit = literal_automaton(w);
    EXPECT_EQ(lit->state_count(), w.size() + 2);
    for (const std::string& s : strings) ASSERT_EQ(automaton_accepts(*lit, s), s == w) << w << ' ' << s;
  }
}

}  // namespace
}  // namespace tessolin::descr

// The two shared top automata, literal automata, complement, emptiness,
// membership, equality and order of byte automata. Products live in
// automaton_product.cpp, the canonical form in automaton_canonical.cpp.
// Nothing here is private beyond the table of the str top.
// Tested by core/tests/descr (byte_automaton_test, automaton_exhaustive_test)
// and core/tests/descr_threads.
#include <algorithm>
#include <cassert>
#include <utility>

#include "descr/byte_automaton.hpp"

namespace tessolin::descr {
namespace {

// Byte groups of UTF-8 lead and continuation bytes.
enum Utf8ByteGroup : uint16_t {
  kNeverValid = 0,     // C0, C1, F5..FF
  kAscii = 1,          // 00..7F
  kContinuation8 = 2,  // 80..8F
  kContinuation9 = 3,  // 90..9F
  kContinuationA = 4,  // A0..BF
  kLead2 = 5,          // C2..DF
  kLeadE0 = 6,
  kLead3 = 7,  // E1..EC
  kLeadED = 8,
  kLead3High = 9,  // EE, EF
  kLeadF0 = 10,
  kLead4 = 11,  // F1..F3
  kLeadF4 = 12,
  kUtf8GroupCount = 13,
};

enum Utf8State : uint32_t {
  kBoundary = 0,  // between code points: the only accepting state
  kAwaitOne = 1,
  kAwaitTwo = 2,
  kAfterE0 = 3,
  kAfterED = 4,
  kAfterF0 = 5,
  kAfterF4 = 6,
  kAwaitThree = 7,  // after F1..F3
  kInvalid = 8,
  kUtf8StateCount = 9,
};

uint16_t utf8_group(unsigned b) {
  if (b <= 0x7F) return kAscii;
  if (b <= 0x8F) return kContinuation8;
  if (b <= 0x9F) return kContinuation9;
  if (b <= 0xBF) return kContinuationA;
  if (b <= 0xC1) return kNeverValid;
  if (b <= 0xDF) return kLead2;
  if (b == 0xE0) return kLeadE0;
  if (b <= 0xEC) return kLead3;
  if (b == 0xED) return kLeadED;
  if (b <= 0xEF) return kLead3High;
  if (b == 0xF0) return kLeadF0;
  if (b <= 0xF3) return kLead4;
  if (b == 0xF4) return kLeadF4;
  return kNeverValid;
}

// Every code point 0..10FFFF in its shortest form; after ED every
// continuation byte is taken, so the forms of surrogates are accepted.
ByteAutomaton utf8_table() {
  ByteAutomaton a;
  for (unsigned b = 0; b < 256; ++b) a.classes[b] = utf8_group(b);
  a.class_count = kUtf8GroupCount;
  a.transitions.assign(size_t(kUtf8StateCount) * kUtf8GroupCount, kInvalid);
  a.accepting.assign(kUtf8StateCount, 0);
  a.accepting[kBoundary] = 1;
  auto go = [&](Utf8State from, std::initializer_list<Utf8ByteGroup> groups, Utf8State to) {
    for (Utf8ByteGroup g : groups) a.transitions[size_t(from) * kUtf8GroupCount + g] = to;
  };
  go(kBoundary, {kAscii}, kBoundary);
  go(kBoundary, {kLead2}, kAwaitOne);
  go(kBoundary, {kLeadE0}, kAfterE0);
  go(kBoundary, {kLead3, kLead3High}, kAwaitTwo);
  go(kBoundary, {kLeadED}, kAfterED);
  go(kBoundary, {kLeadF0}, kAfterF0);
  go(kBoundary, {kLead4}, kAwaitThree);
  go(kBoundary, {kLeadF4}, kAfterF4);
  go(kAwaitOne, {kContinuation8, kContinuation9, kContinuationA}, kBoundary);
  go(kAwaitTwo, {kContinuation8, kContinuation9, kContinuationA}, kAwaitOne);
  go(kAfterE0, {kContinuationA}, kAwaitOne);
  go(kAfterED, {kContinuation8, kContinuation9, kContinuationA}, kAwaitOne);
  go(kAfterF0, {kContinuation9, kContinuationA}, kAwaitTwo);
  go(kAfterF4, {kContinuation8}, kAwaitTwo);
  go(kAwaitThree, {kContinuation8, kContinuation9, kContinuationA}, kAwaitTwo);
  return a;
}

}  // namespace

AutomatonHandle any_bytes_automaton() {
  // A function-local static is initialised once; racing first callers wait.
  static const AutomatonHandle top = [] {
    auto a = std::make_shared<ByteAutomaton>();
    a->class_count = 1;
    a->transitions = {0};
    a->accepting = {1};
    return AutomatonHandle(std::move(a));
  }();
  return top;
}

AutomatonHandle build_utf8_automaton() {
  static const AutomatonHandle top = canonicalize_automaton(utf8_table());
  return top;
}

AutomatonHandle literal_automaton(std::string_view bytes) {
  ByteAutomaton a;
  uint16_t next_class = 1;  // class 0: every byte absent from the string
  for (unsigned char b : bytes)
    if (a.classes[b] == 0) a.classes[b] = next_class++;
  a.class_count = next_class;
  const uint64_t n = bytes.size();
  assert(n < UINT32_MAX - 1);  // state numbers are 32-bit
  const auto dead = uint32_t(n + 1);
  a.transitions.assign((n + 2) * a.class_count, dead);
  for (uint64_t i = 0; i < n; ++i) a.transitions[i * a.class_count + a.classes[uint8_t(bytes[i])]] = uint32_t(i + 1);
  a.accepting.assign(n + 2, 0);
  a.accepting[n] = 1;
  return canonicalize_automaton(a);
}

AutomatonHandle complement_automaton(const ByteAutomaton& a) {
  auto c = std::make_shared<ByteAutomaton>(a);
  for (uint8_t& acc : c->accepting) acc ^= 1;
  return c;
}

bool automaton_is_empty(const ByteAutomaton& a) {
  assert(a.state_count() > 0 && a.transitions.size() == a.state_count() * a.class_count);
  std::vector<uint8_t> used(a.class_count, 0);
  for (uint16_t c : a.classes) used[c] = 1;
  std::vector<uint8_t> seen(a.state_count(), 0);
  std::vector<uint32_t> queue{0};
  seen[0] = 1;
  for (size_t head = 0; head < queue.size(); ++head) {
    uint32_t s = queue[head];
    if (a.accepting[s]) return false;
    for (uint64_t c = 0; c < a.class_count; ++c) {
      if (!used[c]) continue;
      uint32_t t = a.transitions[s * a.class_count + c];
      if (!seen[t]) {
        seen[t] = 1;
        queue.push_back(t);
      }
    }
  }
  return true;
}

bool automaton_accepts(const ByteAutomaton& a, std::string_view bytes) {
  uint64_t s = 0;
  for (unsigned char b : bytes) s = a.transitions[s * a.class_count + a.classes[b]];
  return a.accepting[s] != 0;
}

bool automaton_eq(const ByteAutomaton& a, const ByteAutomaton& b) {
  return a.classes == b.classes && a.class_count == b.class_count && a.transitions == b.transitions &&
         a.accepting == b.accepting;
}

std::strong_ordering automaton_order(const ByteAutomaton& a, const ByteAutomaton& b) {
  auto entries = [](const auto& x, const auto& y) {
    return std::lexicographical_compare_three_way(x.begin(), x.end(), y.begin(), y.end());
  };
  if (auto o = entries(a.classes, b.classes); o != 0) return o;
  if (auto o = a.class_count <=> b.class_count; o != 0) return o;
  if (auto o = entries(a.transitions, b.transitions); o != 0) return o;
  return entries(a.accepting, b.accepting);
}

}  // namespace tessolin::descr

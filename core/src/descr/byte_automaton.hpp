// Byte automata: complete DFAs over bytes, the str and bytes domains.
//
// Byte b moves state s to transitions[s * class_count + classes[b]]; state 0
// starts; a string is accepted when the state after its last byte accepts.
// Automata are immutable once built and shared through atomically counted
// handles. Every automaton leaving this file is canonical: minimal, every
// state reachable, bytes that behave alike share a class, classes numbered
// by their first byte, states numbered breadth-first from state 0. Two
// canonical automata are equal exactly when their languages are.
// Tested by core/tests/descr.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "descr/outcome.hpp"

namespace tessolin::descr {

struct ByteAutomaton {
  std::array<uint16_t, 256> classes{};
  uint64_t class_count = 1;
  std::vector<uint32_t> transitions;  // state * class_count + class
  std::vector<uint8_t> accepting;     // one byte per state

  uint64_t state_count() const noexcept { return accepting.size(); }
};

using AutomatonHandle = std::shared_ptr<const ByteAutomaton>;

// The shared automaton of every byte string (one class, one accepting,
// self-looping state), built once per process.
AutomatonHandle any_bytes_automaton();
// The shared automaton of the UTF-8 form of every str value, the three-byte
// forms of surrogate code points included; built once per process.
AutomatonHandle build_utf8_automaton();
AutomatonHandle literal_automaton(std::string_view bytes);

// Any complete automaton in, its canonical form out. Classes no byte maps to
// are ignored. O(k n log n) for n states and k classes.
AutomatonHandle canonicalize_automaton(const ByteAutomaton& a);

// The coarsest class table finer than both inputs: refined class r stands
// for the pair pairs[r] (class in the first table, class in the second);
// refined classes are numbered by their first byte.
struct RefinedByteClasses {
  std::array<uint16_t, 256> classes{};
  uint64_t class_count = 0;
  std::vector<std::array<uint16_t, 2>> pairs;
};
RefinedByteClasses product_byte_classes(const std::array<uint16_t, 256>& a, const std::array<uint16_t, 256>& b);

// Products over refined classes. They give up when a new pair is needed while
// more than kMaxProductStates pairs are numbered (so at most 4096 pairs).
// Spend no fuel.
Outcome<AutomatonHandle> meet_byte_automata(const ByteAutomaton& a, const ByteAutomaton& b);
Outcome<AutomatonHandle> automaton_union(const ByteAutomaton& a, const ByteAutomaton& b);
// Every byte string `a` rejects, also those outside its kind (ill-formed
// UTF-8 for a str automaton). Canonical in, canonical out.
AutomatonHandle complement_automaton(const ByteAutomaton& a);
// Reachability through bytes only: a state reached through a class no byte
// maps to does not count.
bool automaton_is_empty(const ByteAutomaton& a);
bool automaton_accepts(const ByteAutomaton& a, std::string_view bytes);

bool automaton_eq(const ByteAutomaton& a, const ByteAutomaton& b);
// Content order: classes, class_count, transitions, accepting.
std::strong_ordering automaton_order(const ByteAutomaton& a, const ByteAutomaton& b);

// Text automata (canonical). Patterns go through the pattern engine's
// export; a refused pattern or more than kMaxDfaStates + 1 DFA states gives
// up. `regex` is compiled as written (no wrapper); with `utf8` a construct
// that could match bytes outside UTF-8 is refused.
Outcome<AutomatonHandle> automaton_from_pattern(std::string_view regex, bool utf8);
// The full-match language of a pattern constraint, over str values' UTF-8
// unless `is_bytes`.
Outcome<AutomatonHandle> compile_pattern(std::string_view pattern, bool is_bytes);
// Length bounds count code points (surrogates included) for str, bytes for
// bytes. Bounds of 4096 and more always give up (the automaton would need
// more than 4096 states).
Outcome<AutomatonHandle> max_length_automaton(uint64_t n, bool is_bytes);
Outcome<AutomatonHandle> min_length_automaton(uint64_t n, bool is_bytes);

}  // namespace tessolin::descr

// The deterministic byte automaton of a pattern's full-match language, for
// the descriptor algebra.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/pattern.hpp"

namespace tessolin::pattern {

// Complete and deterministic: byte b moves state s to
// transitions[s * class_count + classes[b]]; state 0 is the start; a text is
// accepted when the state after its last byte has accepting[s] == 1. Classes
// are numbered by their first byte; states breadth-first from the start, each
// state's new targets met class by class. Not minimised.
struct ByteAutomaton {
  std::array<uint8_t, 256> classes{};
  uint32_t class_count = 1;
  std::vector<uint32_t> transitions;
  std::vector<uint8_t> accepting;
  uint32_t state_count() const { return uint32_t(accepting.size()); }
};

struct AutomatonResult {
  std::optional<ByteAutomaton> automaton;
  std::string error;  // why there is none
  explicit operator bool() const { return automaton.has_value(); }
};

inline constexpr uint32_t kDefaultAutomatonStates = 4096;

// Refuses patterns with Unicode word assertions and automata of more than
// `max_states` states (the dead state counts).
AutomatonResult export_automaton(const Pattern& pattern, uint32_t max_states = kDefaultAutomatonStates);

// Compiles `source` as a bare non-capturing group would be (one nesting
// level), over the UTF-8 of str values when `utf8` (refusing what could match
// other bytes) or over any bytes otherwise, and exports it.
AutomatonResult automaton_from_pattern(std::string_view source, bool utf8,
                                       uint32_t max_states = kDefaultAutomatonStates);

}  // namespace tessolin::pattern

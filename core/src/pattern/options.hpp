// How a pattern is read and what it may cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "limits/limits.hpp"

namespace tessolin::pattern {

struct Options {
  // The text matched is the UTF-8 of a str: refuse every item that could match
  // bytes that are not UTF-8. Off for patterns over arbitrary bytes.
  bool utf8 = true;
  // Nesting levels taken by the wrapper the pattern is matched in: 2 for the
  // anchored full match of validation, 1 for a bare non-capturing group.
  uint32_t wrapper_depth = 2;
  uint32_t nest_limit = limits::kPatternNesting;
  // Estimated heap size of the compiled automaton (states and transitions).
  size_t size_limit = limits::kPatternSizeBytes;
  // The matcher's deterministic automaton is built at compile time when it
  // stays within these; otherwise matching simulates the automaton instead.
  uint32_t dfa_state_limit = limits::kPatternDfaStates;
  size_t dfa_table_limit = limits::kPatternDfaTableBytes;
};

// The engine's refusal of a pattern: a message of our own, ready to embed.
struct PatternError {
  std::string message;
};

}  // namespace tessolin::pattern

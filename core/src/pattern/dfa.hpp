// Deterministic automaton built from an Nfa by subset construction.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "limits/limits.hpp"

#include "pattern/nfa.hpp"

namespace tessolin::pattern {

// Complete automaton: byte b moves state s to transitions[s * class_count +
// classes[b]]. State 0 is the start; states are numbered breadth-first from
// it, each state's targets met class by class; classes are byte intervals
// numbered in byte order. A state accepts when the text may end there.
struct Dfa {
  std::array<uint8_t, 256> classes{};
  uint32_t class_count = 1;
  std::vector<uint32_t> transitions;
  std::vector<uint8_t> accepting;
  uint32_t dead = UINT32_MAX;  // the state no text leaves, when reachable
  // Partial automata only: the state standing for every transition that was
  // not built; a text reaching it must be answered another way.
  uint32_t unbuilt = UINT32_MAX;
  uint32_t state_count() const { return uint32_t(accepting.size()); }
};

enum class DfaStatus { kBuilt, kTooManyStates, kTooLarge, kUnicodeWordAssertion };

struct DfaLimits {
  uint32_t max_states;
  size_t max_table_bytes;
  uint64_t max_work = limits::kPatternDfaWork;  // closure steps, so that a refused build stays cheap
  // Past the state or table limit, keep what was built and route the missing
  // transitions to Dfa::unbuilt instead of failing.
  bool partial = false;
  // Build every state reachable through ASCII bytes before the others, so that
  // a partial automaton covers ASCII texts. Changes the state numbering.
  bool ascii_first = false;
};

DfaStatus build_dfa(const Nfa& nfa, const DfaLimits& limits, Dfa& out);

}  // namespace tessolin::pattern

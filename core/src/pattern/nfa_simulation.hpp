// Full match by simulating the NFA on a set of states: linear in the text
// times the automaton, for patterns whose DFA is too large or that use
// Unicode word assertions.
#pragma once

#include <string_view>

#include "pattern/nfa.hpp"

namespace tessolin::pattern {

bool nfa_full_match(const Nfa& nfa, std::string_view text);

}  // namespace tessolin::pattern

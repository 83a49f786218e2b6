#include "pattern/byte_automaton.hpp"

namespace tessolin::pattern {

AutomatonResult export_automaton(const Pattern& pattern, uint32_t max_states) {
  AutomatonResult result;
  Dfa dfa;
  // The table bound follows from the state bound (at most 256 classes).
  DfaLimits limits{max_states, size_t(max_states) * 256 * sizeof(uint32_t) + 1};
  switch (build_dfa(pattern.nfa(), limits, dfa)) {
    case DfaStatus::kBuilt: break;
    case DfaStatus::kTooManyStates:
      result.error = "the automaton needs more than " + std::to_string(max_states) + " states";
      return result;
    case DfaStatus::kTooLarge: result.error = "the automaton is too large to build"; return result;
    case DfaStatus::kUnicodeWordAssertion:
      result.error = "cannot build an automaton for a pattern with Unicode word boundaries";
      return result;
  }
  ByteAutomaton a;
  a.classes = dfa.classes;
  a.class_count = dfa.class_count;
  a.transitions = std::move(dfa.transitions);
  a.accepting = std::move(dfa.accepting);
  result.automaton = std::move(a);
  return result;
}

AutomatonResult automaton_from_pattern(std::string_view source, bool utf8, uint32_t max_states) {
  Options options;
  options.utf8 = utf8;
  options.wrapper_depth = 1;
  options.dfa_state_limit = 0;  // the matcher's automaton is not wanted here
  CompileResult compiled = compile(source, options);
  if (!compiled) return AutomatonResult{std::nullopt, compiled.error.message};
  return export_automaton(*compiled.pattern, max_states);
}

}  // namespace tessolin::pattern

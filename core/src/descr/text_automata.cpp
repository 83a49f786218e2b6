// Text automata: automaton_from_pattern, compile_pattern and the length
// automata. Each builds a regular expression, has the pattern engine
// export its deterministic automaton, and returns the canonical form. The
// expression templates are private. Tested by core/tests/descr
// (text_automata_test).
#include <string>

#include "descr/byte_automaton.hpp"
#include "pattern/byte_automaton.hpp"
#include "pattern/pattern.hpp"

namespace tessolin::descr {
namespace {

// One value unit: any byte, or one code point in UTF-8 (the three-byte
// forms of surrogates included, as a str can hold them).
constexpr std::string_view kByteUnit = "(?s-u:.)";
constexpr std::string_view kCodePointUnit =
    "(?s-u:[\\x00-\\x7F]|[\\xC2-\\xDF][\\x80-\\xBF]|\\xE0[\\xA0-\\xBF][\\x80-\\xBF]|[\\xE1-\\xEF][\\x80-\\xBF]["
    "\\x80-\\xBF]|\\xF0[\\x90-\\xBF][\\x80-\\xBF][\\x80-\\xBF]|[\\xF1-\\xF3][\\x80-\\xBF][\\x80-\\xBF][\\x80-\\xBF]|"
    "\\xF4[\\x80-\\x8F][\\x80-\\xBF][\\x80-\\xBF])";

std::string_view unit_of(bool is_bytes) { return is_bytes ? kByteUnit : kCodePointUnit; }

// A length automaton has at least n + 1 states (one per count read so far),
// so larger bounds would only be refused after an expensive build.
bool length_bound_fits(uint64_t n) { return n <= kMaxDfaStates; }

}  // namespace

Outcome<AutomatonHandle> automaton_from_pattern(std::string_view regex, bool utf8) {
  pattern::Options options;
  options.utf8 = utf8;
  options.wrapper_depth = 0;    // the text is compiled as written
  options.dfa_state_limit = 0;  // the matcher's own automaton is not wanted
  pattern::CompileResult compiled = pattern::compile(regex, options);
  if (!compiled) return kGaveUp;
  pattern::AutomatonResult exported = pattern::export_automaton(*compiled.pattern, uint32_t(kMaxDfaStates + 1));
  if (!exported) return kGaveUp;
  const pattern::ByteAutomaton& dfa = *exported.automaton;
  ByteAutomaton a;
  for (unsigned b = 0; b < 256; ++b) a.classes[b] = dfa.classes[b];
  a.class_count = dfa.class_count;
  a.transitions = dfa.transitions;
  a.accepting = dfa.accepting;
  return canonicalize_automaton(a);
}

Outcome<AutomatonHandle> compile_pattern(std::string_view pattern, bool is_bytes) {
  std::string text = "(?:";
  text += pattern;
  text += ")";
  return automaton_from_pattern(text, !is_bytes);
}

Outcome<AutomatonHandle> max_length_automaton(uint64_t n, bool is_bytes) {
  if (!length_bound_fits(n)) return kGaveUp;
  std::string text(unit_of(is_bytes));
  text += "{0," + std::to_string(n) + "}";
  return automaton_from_pattern(text, false);
}

Outcome<AutomatonHandle> min_length_automaton(uint64_t n, bool is_bytes) {
  if (!length_bound_fits(n)) return kGaveUp;
  std::string text(unit_of(is_bytes));
  text += "{" + std::to_string(n) + ",}";
  return automaton_from_pattern(text, false);
}

}  // namespace tessolin::descr

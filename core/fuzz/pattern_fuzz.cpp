// libFuzzer target for the pattern engine. Build by hand from the repository root:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Icore/src \
//     core/fuzz/pattern_fuzz.cpp core/src/pattern/*.cpp -licuuc -licui18n -o /tmp/pattern_fuzz
//   /tmp/pattern_fuzz -max_len=512 -timeout=10 -max_total_time=60
// Input: one option byte, the pattern, then texts, separated by NUL bytes.
// Parsing and compiling must never crash or hang on any bytes; for every
// text, the DFA matcher, the NFA simulation, a matcher whose DFA is nearly
// all unbuilt and the exported byte automaton must give the same answer.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "pattern/byte_automaton.hpp"
#include "pattern/pattern.hpp"

namespace {

using namespace tessolin::pattern;

bool run_automaton(const ByteAutomaton& a, std::string_view text) {
  uint32_t s = 0;
  for (unsigned char b : text) s = a.transitions[size_t(s) * a.class_count + a.classes[b]];
  return a.accepting[s] != 0;
}

[[noreturn]] void disagree() { std::abort(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t cut = rest.find('\0');
  std::string_view source = rest.substr(0, cut);
  std::vector<std::string_view> texts;
  while (cut != std::string_view::npos) {
    rest = rest.substr(cut + 1);
    cut = rest.find('\0');
    texts.push_back(rest.substr(0, cut));
  }

  Options options;
  options.utf8 = (mode & 1) == 0;
  // A smaller budget keeps each run short; the refusal path is exercised too.
  options.size_limit = (mode & 2) ? 64 * 1024 : 1024 * 1024;
  CompileResult full = compile(source, options);
  if (!full) {
    if (full.error.message.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  Options tiny = options;
  tiny.dfa_state_limit = 2;  // most texts leave the built part of the DFA
  CompileResult partial = compile(source, tiny);
  if (!partial) disagree();  // the DFA limit never decides acceptance of a pattern
  AutomatonResult exported = export_automaton(*full.pattern, 512);

  for (std::string_view text : texts) {
    const bool by_nfa = full.pattern->full_match_by_nfa(text);
    if (full.pattern->full_match(text) != by_nfa) disagree();
    if (partial.pattern->full_match(text) != by_nfa) disagree();
    if (exported && run_automaton(*exported.automaton, text) != by_nfa) disagree();
  }
  return 0;
}

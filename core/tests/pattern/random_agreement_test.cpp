// Generated patterns and texts: the DFA, the NFA simulation, the syntax-tree
// oracle and the exported byte automaton must give the same answer.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pattern/byte_automaton.hpp"
#include "pattern/parser.hpp"
#include "pattern/pattern.hpp"
#include "pattern/utf8.hpp"
#include "tree_oracle.hpp"

namespace tessolin::pattern {
namespace {

class PatternGenerator {
 public:
  explicit PatternGenerator(uint32_t seed) : rng_(seed) {}

  std::string pattern() { return alternation(3); }

  std::string text() {
    static const char* const kPieces[] = {"a", "b", "A", "é", "É", "\n", "\r", "_", " ", "1", "K"};
    std::string out;
    int len = pick(7);
    for (int i = 0; i < len; ++i) out += kPieces[pick(std::size(kPieces))];
    return out;
  }

 private:
  int pick(size_t n) { return int(std::uniform_int_distribution<size_t>(0, n - 1)(rng_)); }

  std::string alternation(int depth) {
    std::string out = concat(depth);
    while (pick(4) == 0) out += "|" + concat(depth);
    return out;
  }

  std::string concat(int depth) {
    std::string out;
    int n = 1 + pick(3);
    for (int i = 0; i < n; ++i) out += repeated(depth);
    return out;
  }

  std::string repeated(int depth) {
    static const char* const kOps[] = {"*", "+", "?", "{0,2}", "{2}", "{1,}", "*?", "{0}"};
    std::string a = atom(depth);
    if (pick(3) == 0) a += kOps[pick(std::size(kOps))];
    return a;
  }

  std::string atom(int depth) {
    static const char* const kAtoms[] = {"a",
                                         "b",
                                         "é",
                                         "\\n",
                                         "\\r",
                                         "_",
                                         " ",
                                         ".",
                                         "[ab]",
                                         "[^a]",
                                         "[a-c&&b]",
                                         "\\w",
                                         "\\d",
                                         "\\s",
                                         "^",
                                         "$",
                                         "\\A",
                                         "\\z",
                                         "(?-u:\\b)",
                                         "(?-u:\\B)",
                                         "(?-u:\\w)",
                                         "k",
                                         "[[:alpha:]]",
                                         "\\p{Lu}",
                                         "[^\\n]",
                                         "(?-u:\\b{start})",
                                         "(?-u:\\b{end-half})",
                                         "1"};
    static const char* const kGroups[] = {"(?:", "(?i:", "(?m:", "(?s:", "(?R:", "(?mR:", "(", "(?x:", "(?i-u:"};
    if (depth > 0 && pick(4) == 0) return kGroups[pick(std::size(kGroups))] + alternation(depth - 1) + ")";
    return kAtoms[pick(std::size(kAtoms))];
  }

  std::mt19937 rng_;
};

bool run_automaton(const ByteAutomaton& a, std::string_view text) {
  uint32_t s = 0;
  for (unsigned char b : text) s = a.transitions[size_t(s) * a.class_count + a.classes[b]];
  return a.accepting[s] != 0;
}

class RandomAgreementTest : public ::testing::TestWithParam<uint32_t> {};

// The parameter is the matcher's DFA state limit: the default, and limits so
// small that most DFAs are partial and hand texts over to the simulation.
TEST_P(RandomAgreementTest, MatchersAgreeOnGeneratedPatterns) {
  PatternGenerator gen(20240611 + GetParam());
  Options options;
  options.dfa_state_limit = GetParam();
  int compared = 0, with_dfa = 0;
  for (int i = 0; i < 350; ++i) {
    std::string p = gen.pattern();
    CompileResult r = compile(p, options);
    if (!r) continue;  // e.g. a repetition of a bare flag group
    SyntaxTree tree;
    PatternError e;
    ASSERT_TRUE(parse_pattern(p, Options{}, tree, e));
    AutomatonResult exported = export_automaton(*r.pattern);
    if (r.pattern->has_dfa()) ++with_dfa;
    for (int k = 0; k < 80; ++k) {
      std::string t = gen.text();
      bool nfa = r.pattern->full_match_by_nfa(t);
      ASSERT_EQ(r.pattern->full_match(t), nfa) << "pattern " << p << " text \"" << t << "\"";
      ASSERT_EQ(testing::TreeOracle(tree, t).full_match(), nfa) << "pattern " << p << " text \"" << t << "\"";
      if (exported) {
        ASSERT_EQ(run_automaton(*exported.automaton, t), nfa) << "pattern " << p << " text \"" << t << "\"";
      }
      ++compared;
    }
  }
  // The generator must exercise the DFA path, not only the fallback.
  EXPECT_GT(with_dfa, 200);
  EXPECT_GT(compared, 20000);
}

INSTANTIATE_TEST_SUITE_P(StateLimits, RandomAgreementTest, ::testing::Values(10000u, 6u, 2u));

// Every byte string up to length 3 over pieces that include broken UTF-8:
// the exported automaton of a str pattern agrees with the matcher and never
// accepts bytes that are not UTF-8.
TEST(ExportAgreementTest, ExportAgreesOnEnumeratedByteStrings) {
  static const char* const kPieces[] = {"a", "\n", "\xC3", "\xA9", "\xFF", "é", "\xED\xA0\x80", "_"};
  std::vector<std::string> texts{""};
  for (size_t len = 0, from = 0; len < 3; ++len) {
    size_t to = texts.size();
    for (size_t i = from; i < to; ++i)
      for (const char* piece : kPieces) texts.push_back(texts[i] + piece);
    from = to;
  }
  PatternGenerator gen(7);
  int exported_count = 0;
  for (int i = 0; i < 250; ++i) {
    std::string p = gen.pattern();
    CompileResult r = compile(p);
    if (!r) continue;
    AutomatonResult a = export_automaton(*r.pattern);
    if (!a) continue;
    ++exported_count;
    std::u32string scratch;
    for (const std::string& t : texts) {
      bool accepted = run_automaton(*a.automaton, t);
      ASSERT_EQ(accepted, r.pattern->full_match_by_nfa(t)) << "pattern " << p;
      if (accepted) {
        EXPECT_TRUE(decode_utf8(t, scratch)) << "pattern " << p << " accepts broken UTF-8";
      }
    }
  }
  EXPECT_GT(exported_count, 180);
}

}  // namespace
}  // namespace tessolin::pattern

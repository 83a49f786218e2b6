// Automata from patterns and length bounds: agreement with the pattern
// engine's matcher and with a direct count, refusals, size limits.
#include <gtest/gtest.h>

#include <string>

#include "automaton_test_support.hpp"
#include "descr/byte_automaton.hpp"
#include "pattern/pattern.hpp"

namespace tessolin::descr {
namespace {

using testing::all_strings;
using testing::code_points_with_surrogates;

// Pieces of texts: for str, whole code points (a surrogate's form too, which
// a str can hold); for bytes, bytes of every kind.
const std::vector<std::string> kStrPieces = {
    "a", "b", "\n", "K", "\xC3\xA9", "\xE6\x97\xA5", "\xED\xA0\x80", "\xF0\x9F\x98\x80"};
const std::vector<std::string> kBytePieces = {"a", "b", "\n", "\x80", "\xFF", "\xC3", std::string(1, '\0')};

struct PatternCase {
  const char* pattern;
  bool is_bytes;
};

TEST(PatternAutomatonTest, AgreesWithTheMatcher) {
  const PatternCase cases[] = {
      {"a|ab", false},
      {"a*?", false},
      {"[ab]", false},
      {"(?i)k", false},
      {".", false},
      {"(?s).", false},
      {"[^a]*", false},
      {"\\w+", false},
      {"\\d", false},
      {"^a$", false},
      {"(?m)a$\\n^b", false},
      {"a{2,3}b?", false},
      {"", false},
      {"(?-u:\\b)a", false},
      {"日|é+", false},
      {"(a|b)*a(a|b)", false},
      {"(?-u:.)+", true},
      {"(?-u:\\xFF)a", true},
      {"(?-u:[^a])*", true},
      {"a|ab", true},
      {"(?-u:\\x80|é)", true},
      {"(?m)^$", true},
      {"(?-u:\\w)*", true},
  };
  const std::vector<std::string> str_texts = all_strings(kStrPieces, 4);
  const std::vector<std::string> byte_texts = all_strings(kBytePieces, 4);
  for (const PatternCase& c : cases) {
    pattern::Options options;
    options.utf8 = !c.is_bytes;
    pattern::CompileResult matcher = pattern::compile(c.pattern, options);
    ASSERT_TRUE(matcher) << c.pattern << ": " << matcher.error.message;
    Outcome<AutomatonHandle> a = compile_pattern(c.pattern, c.is_bytes);
    ASSERT_TRUE(a) << c.pattern;
    for (const std::string& t : c.is_bytes ? byte_texts : str_texts)
      ASSERT_EQ(automaton_accepts(**a, t), matcher.pattern->full_match_by_nfa(t)) << c.pattern << " on " << t;
    EXPECT_TRUE(automaton_eq(*canonicalize_automaton(**a), **a)) << c.pattern;
  }
}

TEST(PatternAutomatonTest, ClassOfTwoLetters) {
  Outcome<AutomatonHandle> a = compile_pattern("[ab]", false);
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)->classes['a'], (*a)->classes['b']);
  EXPECT_NE((*a)->classes['a'], (*a)->classes['c']);
  for (const char* s : {"a", "b"}) EXPECT_TRUE(automaton_accepts(**a, s));
  for (const char* s : {"", "ab", "c", "aa"}) EXPECT_FALSE(automaton_accepts(**a, s));
  EXPECT_EQ((*a)->state_count(), 3u);
}

TEST(PatternAutomatonTest, Refusals) {
  const PatternCase refused[] = {
      {"(?-u:\\xFF)", false},  // could match bytes outside UTF-8
      {"(?-u:.)", false},        {"(", false},       {"a{", true},
      {"(?=a)", false},          {"\\bword", false},  // Unicode word boundary: no automaton
      {"[ab]*a[ab]{12}", false},                      // 8192 states
      {"a{5000}", true},
  };
  for (const PatternCase& c : refused) EXPECT_FALSE(compile_pattern(c.pattern, c.is_bytes)) << c.pattern;
  EXPECT_TRUE(compile_pattern("(?-u:\\xFF)", true));
  EXPECT_TRUE(compile_pattern("(?-u:\\b)word", false));
}

TEST(PatternAutomatonTest, StateLimitIsInclusive) {
  // One state per window of the last 12 bytes (is each an a?): 4096 states,
  // minimal already, no dead state.
  Outcome<AutomatonHandle> exact = compile_pattern("(?s-u:.)*a(?s-u:.){11}", true);
  ASSERT_TRUE(exact);
  EXPECT_EQ((*exact)->state_count(), 4096u);
  // A bare text and its wrapped form nest one level apart; the limit of 250
  // levels counts the wrapper.
  std::string deep;
  for (int i = 0; i < 250; ++i) deep += "(?:";
  deep += "a";
  for (int i = 0; i < 250; ++i) deep += ")";
  EXPECT_TRUE(automaton_from_pattern(deep, true));
  EXPECT_FALSE(compile_pattern(deep, false));
}

TEST(PatternAutomatonTest, SameLanguageAsOtherConstructions) {
  Outcome<AutomatonHandle> lit = compile_pattern("ab", true);
  ASSERT_TRUE(lit);
  EXPECT_TRUE(automaton_eq(**lit, *literal_automaton("ab")));
  Outcome<AutomatonHandle> any = compile_pattern("(?s-u:.)*", true);
  ASSERT_TRUE(any);
  EXPECT_TRUE(automaton_eq(**any, *any_bytes_automaton()));
  // Scalar values only: the str top less the surrogates' forms.
  Outcome<AutomatonHandle> scalars = compile_pattern("(?s).*", false);
  Outcome<AutomatonHandle> surrogate = compile_pattern("(?s-u:.*\\xED[\\xA0-\\xBF].*)", true);
  ASSERT_TRUE(scalars && surrogate);
  Outcome<AutomatonHandle> top_less = meet_byte_automata(*build_utf8_automaton(), *complement_automaton(**surrogate));
  ASSERT_TRUE(top_less);
  EXPECT_TRUE(automaton_eq(**scalars, **top_less));
}

bool length_within(std::string_view s, bool is_bytes, uint64_t low, uint64_t high) {
  if (is_bytes) return s.size() >= low && s.size() <= high;
  std::optional<size_t> n = code_points_with_surrogates(s);
  return n && *n >= low && *n <= high;
}

TEST(LengthAutomatonTest, AgreesWithCount) {
  std::vector<std::string> str_texts = all_strings(kStrPieces, 4);
  for (const std::string& t : all_strings({"\x80", "\xFF", "\xE6\x97", "a"}, 3)) str_texts.push_back(t);
  const std::vector<std::string> byte_texts = all_strings(kBytePieces, 5);
  for (bool is_bytes : {false, true}) {
    for (uint64_t n : {0, 1, 2, 3, 7}) {
      Outcome<AutomatonHandle> low = min_length_automaton(n, is_bytes);
      Outcome<AutomatonHandle> high = max_length_automaton(n, is_bytes);
      ASSERT_TRUE(low && high) << n;
      for (const std::string& t : is_bytes ? byte_texts : str_texts) {
        ASSERT_EQ(automaton_accepts(**low, t), length_within(t, is_bytes, n, UINT64_MAX)) << n << ' ' << t;
        ASSERT_EQ(automaton_accepts(**high, t), length_within(t, is_bytes, 0, n)) << n << ' ' << t;
      }
    }
  }
}

TEST(LengthAutomatonTest, NamedCases) {
  EXPECT_TRUE(automaton_eq(**min_length_automaton(0, true), *any_bytes_automaton()));
  EXPECT_TRUE(automaton_eq(**max_length_automaton(0, true), *literal_automaton("")));
  EXPECT_TRUE(automaton_eq(**max_length_automaton(0, false), *literal_automaton("")));
  // No length bound for str is the str top itself.
  EXPECT_TRUE(automaton_eq(**min_length_automaton(0, false), *build_utf8_automaton()));
  const AutomatonHandle one = *min_length_automaton(1, false);
  EXPECT_FALSE(automaton_accepts(*one, ""));
  EXPECT_TRUE(automaton_accepts(*one, "\xED\xA0\x80"));
  EXPECT_TRUE(automaton_accepts(*one, "\xC3\xA9"));
  EXPECT_FALSE(automaton_accepts(*one, "\xFF"));
}

TEST(LengthAutomatonTest, LargeBoundsGiveUp) {
  // Bytes: n + 2 states for at most n, n + 1 for at least n.
  Outcome<AutomatonHandle> max_fit = max_length_automaton(4094, true);
  ASSERT_TRUE(max_fit);
  EXPECT_EQ((*max_fit)->state_count(), 4096u);
  EXPECT_TRUE(automaton_accepts(**max_fit, std::string(4094, '\xFF')));
  EXPECT_FALSE(automaton_accepts(**max_fit, std::string(4095, 'a')));
  EXPECT_FALSE(max_length_automaton(4095, true));
  Outcome<AutomatonHandle> min_fit = min_length_automaton(4095, true);
  ASSERT_TRUE(min_fit);
  EXPECT_EQ((*min_fit)->state_count(), 4096u);
  for (uint64_t n : {uint64_t(4096), uint64_t(100000), uint64_t(1) << 40, UINT64_MAX}) {
    for (bool is_bytes : {false, true}) {
      EXPECT_FALSE(min_length_automaton(n, is_bytes)) << n;
      EXPECT_FALSE(max_length_automaton(n, is_bytes)) << n;
    }
  }
  // Str: the automaton walks the bytes of each code point, so far fewer fit.
  Outcome<AutomatonHandle> str200 = max_length_automaton(200, false);
  ASSERT_TRUE(str200);
  std::string emoji;
  for (int i = 0; i < 200; ++i) emoji += "\xF0\x9F\x98\x80";
  EXPECT_TRUE(automaton_accepts(**str200, emoji));
  EXPECT_FALSE(automaton_accepts(**str200, emoji + "a"));
  EXPECT_FALSE(max_length_automaton(2000, false));
  EXPECT_FALSE(min_length_automaton(2000, false));
}

}  // namespace
}  // namespace tessolin::descr

// The byte automata handed to the descriptor algebra.
#include <gtest/gtest.h>

#include <string>

#include "pattern/byte_automaton.hpp"

namespace tessolin::pattern {
namespace {

bool accepts(const ByteAutomaton& a, std::string_view text) {
  uint32_t s = 0;
  for (unsigned char b : text) s = a.transitions[size_t(s) * a.class_count + a.classes[b]];
  return a.accepting[s] != 0;
}

// The byte-level class of one UTF-8 encoded code point (surrogate forms
// included), as the length automata of str values spell it.
const char* const kStrUnit =
    "(?s-u:[\\x00-\\x7F]|[\\xC2-\\xDF][\\x80-\\xBF]|\\xE0[\\xA0-\\xBF][\\x80-\\xBF]|[\\xE1-\\xEF][\\x80-\\xBF][\\x80-"
    "\\xBF]|\\xF0[\\x90-\\xBF][\\x80-\\xBF][\\x80-\\xBF]|[\\xF1-\\xF3][\\x80-\\xBF][\\x80-\\xBF][\\x80-\\xBF]|\\xF4["
    "\\x80-\\x8F][\\x80-\\xBF][\\x80-\\xBF])";

TEST(ExportTest, ShapeOfASmallAutomaton) {
  AutomatonResult r = automaton_from_pattern("[ab]", true);
  ASSERT_TRUE(r) << r.error;
  const ByteAutomaton& a = *r.automaton;
  EXPECT_EQ(a.classes['a'], a.classes['b']);
  EXPECT_NE(a.classes['a'], a.classes['c']);
  EXPECT_EQ(a.classes[0], 0);  // classes are numbered from the first byte
  EXPECT_EQ(a.transitions.size(), size_t(a.state_count()) * a.class_count);
  EXPECT_TRUE(accepts(a, "a"));
  EXPECT_TRUE(accepts(a, "b"));
  EXPECT_FALSE(accepts(a, ""));
  EXPECT_FALSE(accepts(a, "ab"));
  EXPECT_FALSE(accepts(a, "c"));
}

TEST(ExportTest, FullMatchSetNotLeftmostFirst) {
  AutomatonResult alt = automaton_from_pattern("a|ab", true);
  ASSERT_TRUE(alt);
  EXPECT_TRUE(accepts(*alt.automaton, "ab"));
  AutomatonResult lazy = automaton_from_pattern("a*?", true);
  ASSERT_TRUE(lazy);
  EXPECT_TRUE(accepts(*lazy.automaton, "aaa"));
}

TEST(ExportTest, StatesAreNumberedBreadthFirst) {
  AutomatonResult r = automaton_from_pattern("abc", true);
  ASSERT_TRUE(r);
  const ByteAutomaton& a = *r.automaton;
  // From the start, class order meets the dead state (bytes below 'a') before
  // the state after 'a'.
  uint32_t after_a = a.transitions[0 * a.class_count + a.classes['a']];
  uint32_t dead = a.transitions[0 * a.class_count + a.classes[0]];
  EXPECT_EQ(dead, 1u);
  EXPECT_EQ(after_a, 2u);
}

TEST(ExportTest, LengthAutomata) {
  auto unit = std::string(kStrUnit);
  AutomatonResult min1 = automaton_from_pattern(unit + "{1,}", false);
  ASSERT_TRUE(min1) << min1.error;
  EXPECT_FALSE(accepts(*min1.automaton, ""));
  EXPECT_TRUE(accepts(*min1.automaton, "é"));
  EXPECT_TRUE(accepts(*min1.automaton, "\xED\xA0\x80"));  // a surrogate's form counts as one
  EXPECT_FALSE(accepts(*min1.automaton, "\xFF"));

  AutomatonResult max2 = automaton_from_pattern(unit + "{0,2}", false);
  ASSERT_TRUE(max2);
  EXPECT_TRUE(accepts(*max2.automaton, ""));
  EXPECT_TRUE(accepts(*max2.automaton, "日本"));
  EXPECT_FALSE(accepts(*max2.automaton, "日本語"));

  AutomatonResult any = automaton_from_pattern("(?s-u:.){0,}", false);
  ASSERT_TRUE(any);
  EXPECT_EQ(any.automaton->state_count(), 1u);
  EXPECT_TRUE(accepts(*any.automaton, "\xFF\x00"));

  AutomatonResult max0 = automaton_from_pattern("(?s-u:.){0,0}", false);
  ASSERT_TRUE(max0);
  EXPECT_TRUE(accepts(*max0.automaton, ""));
  EXPECT_FALSE(accepts(*max0.automaton, "a"));
}

TEST(ExportTest, Refusals) {
  const struct {
    const char* pattern;
    bool utf8;
    const char* error;
  } cases[] = {
      {"(?-u:[\\x00-\\xFF])", true, "invalid UTF-8"},
      {"\\bx", true, "Unicode word boundaries"},
      {"x\\B", true, "Unicode word boundaries"},
      {"(a", true, "unclosed group"},
      {"a)|(b", true, "unopened group"},
  };
  for (const auto& c : cases) {
    AutomatonResult r = automaton_from_pattern(c.pattern, c.utf8);
    ASSERT_FALSE(r) << c.pattern;
    EXPECT_NE(r.error.find(c.error), std::string::npos) << c.pattern << ": " << r.error;
  }
  // Over bytes the first one is fine, and ASCII word assertions always are.
  EXPECT_TRUE(automaton_from_pattern("(?-u:[\\x00-\\xFF])", false));
  EXPECT_TRUE(automaton_from_pattern("(?-u:\\b)x(?-u:\\b)", true));
}

TEST(ExportTest, StateCapIsExact) {
  const char* p = "(?:a|b)*a(?:a|b){6}";
  AutomatonResult big = automaton_from_pattern(p, true, 100000);
  ASSERT_TRUE(big);
  uint32_t n = big.automaton->state_count();
  EXPECT_TRUE(automaton_from_pattern(p, true, n));
  AutomatonResult over = automaton_from_pattern(p, true, n - 1);
  ASSERT_FALSE(over);
  EXPECT_NE(over.error.find("more than"), std::string::npos);
}

TEST(ExportTest, AssertionsReadFromTheEndOfInput) {
  AutomatonResult r = automaton_from_pattern("(?m)a$\\n?", true);
  ASSERT_TRUE(r);
  EXPECT_TRUE(accepts(*r.automaton, "a"));
  EXPECT_TRUE(accepts(*r.automaton, "a\n"));
  AutomatonResult z = automaton_from_pattern("a$b?", true);
  ASSERT_TRUE(z);
  EXPECT_TRUE(accepts(*z.automaton, "a"));
  EXPECT_FALSE(accepts(*z.automaton, "ab"));
}

}  // namespace
}  // namespace tessolin::pattern

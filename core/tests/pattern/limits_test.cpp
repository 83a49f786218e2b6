// No pattern may take unbounded memory, time or native stack to compile.
#include <gtest/gtest.h>

#include <string>

#include "pattern/pattern.hpp"

namespace tessolin::pattern {
namespace {

std::string repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::string nested_groups(size_t n) { return repeat("(", n) + "a" + repeat(")", n); }
std::string nested_classes(size_t n) { return repeat("[", n) + "a" + repeat("]", n); }
std::string stacked_stars(size_t n) { return "a" + repeat("*", n); }

bool refused_for_nesting(const CompileResult& r) {
  return !r && r.error.message.find("nests deeper than the limit of 250") != std::string::npos;
}

TEST(LimitsTest, NestingCountsTheAnchoringWrapper) {
  // The anchored wrapper takes two of the 250 levels; a bare group one.
  EXPECT_TRUE(compile(nested_groups(248)));
  EXPECT_TRUE(refused_for_nesting(compile(nested_groups(249))));
  Options bare;
  bare.wrapper_depth = 1;
  EXPECT_TRUE(compile(nested_groups(249), bare));
  EXPECT_TRUE(refused_for_nesting(compile(nested_groups(250), bare)));

  EXPECT_TRUE(compile(nested_classes(248)));
  EXPECT_TRUE(refused_for_nesting(compile(nested_classes(249))));
  EXPECT_TRUE(compile(stacked_stars(248)));
  EXPECT_TRUE(refused_for_nesting(compile(stacked_stars(249))));
  // A concatenation inside each group adds a level of its own.
  std::string two_per_level = "a";
  for (int i = 0; i < 124; ++i) two_per_level = "a(?:" + two_per_level + ")";
  EXPECT_TRUE(compile(two_per_level));
  EXPECT_TRUE(refused_for_nesting(compile("a(?:" + two_per_level + ")")));
}

TEST(LimitsTest, HugeNestingIsRefusedWithoutExhaustingTheStack) {
  EXPECT_TRUE(refused_for_nesting(compile(repeat("(", 1000000))));
  EXPECT_TRUE(refused_for_nesting(compile(nested_groups(200000))));
  EXPECT_TRUE(refused_for_nesting(compile(repeat("[", 1000000))));
  EXPECT_TRUE(refused_for_nesting(compile(stacked_stars(1000000))));
  EXPECT_TRUE(refused_for_nesting(compile(repeat("(?:a|", 100000))));
}

TEST(LimitsTest, CompiledSize) {
  auto refused_for_size = [](const std::string& p) {
    CompileResult r = compile(p);
    return !r && r.error.message.find("exceeds the size limit of 10485760 bytes") != std::string::npos;
  };
  EXPECT_TRUE(compile("a{300000}"));
  EXPECT_TRUE(refused_for_size("a{400000}"));
  EXPECT_TRUE(refused_for_size("\\w{1000}"));
  EXPECT_TRUE(refused_for_size("(?:a{1000}){1000}"));
  EXPECT_TRUE(refused_for_size("a{0,4294967295}"));
  EXPECT_TRUE(refused_for_size("[a&&b]{4294967295}"));
  EXPECT_TRUE(refused_for_size("(?:a|){4294967295}"));
  // Repetitions of what can only match the empty string collapse.
  EXPECT_TRUE(compile("(?:){4294967295}"));
  EXPECT_TRUE(compile("(?:^|\\b){4294967295,}"));
  EXPECT_TRUE(compile("(?:a{0}){4294967295}"));

  Options small;
  small.size_limit = 1000;
  CompileResult r = compile("a{100}", small);
  ASSERT_FALSE(r);
  EXPECT_NE(r.error.message.find("size limit of 1000 bytes"), std::string::npos);
}

TEST(LimitsTest, LongInputsStayLinear) {
  // Patterns that make backtracking engines explode are a single pass here,
  // with and without a DFA.
  std::string text(100000, 'a');
  CompileResult nested = compile("(a*)*b");
  ASSERT_TRUE(nested);
  EXPECT_FALSE(nested.pattern->full_match(text));
  EXPECT_FALSE(nested.pattern->full_match_by_nfa(text));
  CompileResult alt = compile("(a|aa)+");
  ASSERT_TRUE(alt);
  EXPECT_TRUE(alt.pattern->full_match(text));
  EXPECT_TRUE(alt.pattern->full_match_by_nfa(text));
}

}  // namespace
}  // namespace tessolin::pattern

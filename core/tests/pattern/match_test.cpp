// Full-match answers of compiled patterns, checked through every matcher:
// the DFA (when built), the NFA simulation and the syntax-tree oracle.
#include <gtest/gtest.h>

#include <string>

#include "pattern/parser.hpp"
#include "pattern/pattern.hpp"
#include "tree_oracle.hpp"

namespace tessolin::pattern {
namespace {

struct Case {
  const char* pattern;
  const char* text;
  bool expected;
};

void check_all(const Case* begin, const Case* end, const Options& options = {}) {
  for (const Case* c = begin; c != end; ++c) {
    CompileResult r = compile(c->pattern, options);
    ASSERT_TRUE(r) << c->pattern << ": " << r.error.message;
    EXPECT_EQ(r.pattern->full_match(c->text), c->expected) << c->pattern << " on \"" << c->text << "\"";
    if (r.pattern->has_dfa()) {
      EXPECT_TRUE(r.pattern->dfa_is_complete()) << c->pattern;
    }
    EXPECT_EQ(r.pattern->full_match_by_nfa(c->text), c->expected) << c->pattern << " (NFA) on \"" << c->text << "\"";
    SyntaxTree tree;
    PatternError e;
    ASSERT_TRUE(parse_pattern(c->pattern, options, tree, e));
    EXPECT_EQ(testing::TreeOracle(tree, c->text).full_match(), c->expected)
        << c->pattern << " (oracle) on \"" << c->text << "\"";
  }
}

template <size_t N>
void check_all(const Case (&cases)[N], const Options& options = {}) {
  check_all(cases, cases + N, options);
}

TEST(MatchTest, LiteralsAndWholeText) {
  const Case cases[] = {
      {"", "", true},          {"", "a", false},
      {"abc", "abc", true},    {"abc", "abcd", false},
      {"abc", "xabc", false},  {"abc", "ab", false},
      {"é", "é", true},        {"é", "e", false},
      {"日本", "日本", true},  {"\\x{10FFFF}", "\xF4\x8F\xBF\xBF", true},
      {"\\u00e9", "é", true},  {"a\\.b", "a.b", true},
      {"a\\.b", "axb", false}, {"\\\n", "\n", true},
  };
  check_all(cases);
}

TEST(MatchTest, AlternationAndPriorityDoNotMatter) {
  const Case cases[] = {
      {"a|ab", "ab", true},       {"a|ab", "a", true},  {"a*?", "aaa", true}, {"(a|b)*c", "ababc", true},
      {"(a|b)*c", "abab", false}, {"a|", "", true},     {"|a", "a", true},    {"(?:a|b|)+", "", true},
      {"a*+a", "aa", true},       {"a++", "aaa", true},
  };
  check_all(cases);
}

TEST(MatchTest, Repetition) {
  const Case cases[] = {
      {"a{2,3}", "a", false},
      {"a{2,3}", "aa", true},
      {"a{2,3}", "aaa", true},
      {"a{2,3}", "aaaa", false},
      {"a{2,}", "aaaaaa", true},
      {"a{2,}", "a", false},
      {"(?:a{2}){3}", "aaaaaa", true},
      {"(?:a{2}){3}", "aaaaa", false},
      {"a{0}", "", true},
      {"a{0}", "a", false},
      {"[a&&b]{0}", "", true},
      {"[a&&b]*", "", true},
      {"[a&&b]", "", false},
      {"a{2}{3}", "aaaaaa", true},
      {"(?:){4294967295}", "", true},
      {"(a*)*", "aaa", true},
      {"(a*)+b", "b", true},
      {"(?:a?){3}", "aa", true},
      {"\\d{3}-\\d{4}", "555-1234", true},
      {"\\d{3}-\\d{4}", "555-123", false},
  };
  check_all(cases);
}

TEST(MatchTest, DotAndLineModes) {
  const Case cases[] = {
      {".", "a", true},
      {".", "\n", false},
      {"(?s).", "\n", true},
      {".", "\r", true},
      {"(?R).", "\r", false},
      {"(?Rs).", "\r", true},
      {".", "é", true},
      {".", "日", true},
      {"..", "é", false},
      {"(?m).", "\n", false},
      {".*", "abc\xF0\x9F\x98\x80", true},
  };
  check_all(cases);
}

TEST(MatchTest, Anchors) {
  const Case cases[] = {
      {"^a$", "a", true},
      {"a$", "a\n", false},
      {"a$\n", "a\n", false},
      {"(?m)a$\n", "a\n", true},
      {"(?m)a$\n^b", "a\nb", true},
      {"a^b", "ab", false},
      {"(?m)a\n^", "a\n", true},
      {"\\Aa\\z", "a", true},
      {"(?m)\\Aa$\\n\\z", "a\n", true},
      {"(?m)^$", "", true},
      {"(?m)a\\n^$", "a\n", true},
      {"a\\z\n", "a\n", false},
      {"(?mR)a$\r\nb", "a\r\nb", true},
      {"(?mR)a\r$\nb", "a\r\nb", false},
      {"(?m)a\r$\nb", "a\r\nb", true},
      {"(?mR)a\r^b", "a\rb", true},
      {"(?mR)a\r^\nb", "a\r\nb", false},
      {"(?mR)a\r\n^b", "a\r\nb", true},
      {"(?R)a$\r", "a\r", false},
      {"(?m)a$\r", "a\r", false},
  };
  check_all(cases);
}

TEST(MatchTest, WordAssertions) {
  const Case cases[] = {
      {"a\\b", "a", true},
      {"a\\bb", "ab", false},
      {"a\\b b", "a b", true},
      {"a\\Bb", "ab", true},
      {"\\bé\\b", "é", true},
      {"(?-u:\\b)é", "é", false},
      {"é(?-u:\\B)", "é", true},
      {"\\<ab\\>", "ab", true},
      {"a\\>b", "ab", false},
      {"\\b{start}a\\b{end}", "a", true},
      {"a\\b{end-half} ", "a ", true},
      {" \\b{start-half}a", " a", true},
      {"a\\b{start-half}b", "ab", false},
      {" \\b{end-half}a", " a", false},
      {" \\b{end-half}", " ", true},
      {"\\b", "", false},
      {"\\B", "", true},
      {"(?-u:\\b)a(?-u:\\b)", "a", true},
      {"a(?-u:\\b)_", "a_", false},
      {"x\\bé", "xé", false},
      {"x(?-u:\\b)é", "xé", true},
  };
  check_all(cases);
}

TEST(MatchTest, PerlAndUnicodeClasses) {
  const Case cases[] = {
      {"\\d", "7", true},
      {"\\d", "\xD9\xA3", true},
      {"\\D", "\xD9\xA3", false},
      {"\\w", "é", true},
      {"\\w", "_", true},
      {"\\w", "-", false},
      {"\\w", "\xCC\x81", true},
      {"\\s", "\xC2\xA0", true},
      {"\\s", "\x1C", false},
      {"\\S", "\x1C", true},
      {"\\w+", "héllo_wörld", true},
      {"\\p{Greek}+", "αβγ", true},
      {"\\p{Greek}", "a", false},
      {"\\P{Greek}", "a", true},
      {"\\pL", "ж", true},
      {"\\p{Lu}", "Ж", true},
      {"\\p{Lu}", "ж", false},
      {"\\p{gc!=Lu}", "ж", true},
      {"\\P{gc!=Lu}", "Ж", true},
      {"\\p{Lower}", "ª", true},
      {"\\p{Ll}", "ª", false},
      {"\\p{Any}", "\xF4\x8F\xBF\xBF", true},
      {"\\p{ASCII}", "\x7F", true},
      {"\\p{ASCII}", "\xC2\x80", false},
      {"\\p{Assigned}", "\xEF\xBF\xBF", false},
      {"\\p{sc=Latin}", "a", true},
      {"\\p{scx=Greek}", "\xCD\x85", true},
      {"\\p{Digit}", "5", true},
      {"\\p{Space}", " ", true},
      {"[\\d\\p{Greek}]+", "1α2β", true},
  };
  check_all(cases);
}

TEST(MatchTest, BracketClasses) {
  const Case cases[] = {
      {"[]a]", "]", true},
      {"[]a]", "a", true},
      {"[^]a]", "b", true},
      {"[^]a]", "]", false},
      {"[-]a]", "-a]", true},
      {"[--a]", "-", true},
      {"[a-]", "-", true},
      {"[a-c-e]", "-", true},
      {"[a-c-e]", "d", false},
      {"[a^]", "^", true},
      {"[a[bc]]", "c", true},
      {"[[^a]b]", "a", false},
      {"[[^a]b]", "z", true},
      {"[^[a]]", "a", false},
      {"[a-z&&[^aeiou]]+", "bcd", true},
      {"[a-z&&[^aeiou]]+", "abc", false},
      {"[a-c--b]", "b", false},
      {"[a-c--b]", "c", true},
      {"[a-c~~b-d]", "a", true},
      {"[a-c~~b-d]", "b", false},
      {"[a-c~~b-d]", "d", true},
      {"[\\w&&\\d]", "5", true},
      {"[\\w&&\\d]", "a", false},
      {"[&&a]", "a", false},
      {"[a&&b--c]", "a", false},
      {"[^a-z&&b]", "b", false},
      {"[^a-z&&b]", "a", true},
      {"[[:alpha:]]", "Q", true},
      {"[[:alpha:]]", "é", false},
      {"[[:^digit:]]", "é", true},
      {"[[:foo:]]", "f", true},
      {"[[:foo:]]", ":", true},
      {"[:alpha:]", "l", true},
      {"[:alpha:]", "b", false},
      {"[\\x00-\\x{10FFFF}]", "\xED\x9F\xBF", true},
      {"[^\\x00-\\x{10FFFF}]", "a", false},
      {"[a&b]", "&", true},
      {"[a~b]", "~", true},
  };
  check_all(cases);
}

TEST(MatchTest, CaseInsensitive) {
  const Case cases[] = {
      {"(?i)k", "K", true},
      {"(?i)k", "\xE2\x84\xAA", true},
      {"(?i)K", "k", true},
      {"(?i)ß", "\xE1\xBA\x9E", true},
      {"(?i)ß", "ss", false},
      {"(?i)β", "ϐ", true},
      {"(?i)σ", "ς", true},
      {"(?i)Σ", "ς", true},
      {"(?i)i", "İ", false},
      {"(?i)ı", "I", false},
      {"(?i)[^x]", "X", false},
      {"(?i)[^x]", "y", true},
      {"(?i)\\P{Ll}", "A", false},
      {"(?i)\\p{Ll}", "A", true},
      {"(?i)[[:lower:]]", "A", true},
      {"(?i)[[:lower:]]", "ſ", true},
      {"(?i)[[:lower:]]", "\xE2\x84\xAA", true},
      {"(?i)[a-c--b]", "B", false},
      {"(?i)[a-c--B]", "b", false},
      {"(?i)[a-c--B]", "C", true},
      {"(?i-u)a", "A", true},
      {"(?i-u)é", "É", false},
      {"(?i)é", "É", true},
      {"(?i)foo|bar", "BaR", true},
      {"(?i)\\w", "K", true},
      {"a(?i)b|c", "C", true},
      {"a(?i)b|c", "aB", true},
      {"(a(?i)b)c", "aBc", true},
      {"(a(?i)b)c", "aBC", false},
      {"(?i:a)b", "Ab", true},
      {"(?i:a)b", "AB", false},
      {"(?i)a(?-i)a", "Aa", true},
      {"(?i)a(?-i)a", "AA", false},
      {"((?i))a", "A", false},
  };
  check_all(cases);
}

TEST(MatchTest, VerboseMode) {
  const Case cases[] = {
      {"(?x) a b # comment", "ab", true},
      {"(?x)a\\ b", "a b", true},
      {"(?x)[ a ]", "a", true},
      {"(?x)[ a ]", " ", false},
      {"(?x)a # c\nb", "ab", true},
      {"(?x)a{ 2 }", "aa", true},
      {"(?x)\\x 4 1", "A", true},
      {"(?x:a b)c d", "abc d", true},
      {"(?x)a\\#", "a#", true},
      {"(?x)a\xC2\xA0"
       "b",
       "ab", true},
      {"(?x)(?-x) a", " a", true},
  };
  check_all(cases);
}

TEST(MatchTest, UnicodeModeOffOverStr) {
  const Case cases[] = {
      {"(?-u:\\w)", "a", true},      {"(?-u:\\w)", "é", false},    {"(?-u:\\d)", "\xD9\xA3", false},
      {"(?-u:é)", "é", true},        {"(?-u:\\x{E9})", "é", true}, {"(?-u:\\s)", "\xC2\xA0", false},
      {"(?-u:[a-c])+", "abc", true},
  };
  check_all(cases);
}

TEST(MatchTest, RawBytesWhenNotUtf8) {
  Options bytes;
  bytes.utf8 = false;
  const Case cases[] = {
      {"(?-u:\\xFF)", "\xFF", true}, {"(?-u:.)", "\xFF", true},
      {"(?-u:.)", "\n", false},      {"(?s-u:.)", "\n", true},
      {"(?-u:\\W)", "\x80", true},   {"(?-u:[^a])", "\xC3", true},
      {"(?-u:.)", "é", false},       {".", "é", true},
      {".", "\xFF", false},          {"(?s-u:[\\x00-\\x7F]|[\\xC2-\\xDF][\\x80-\\xBF]){2}", "a\xC3\xA9", true},
  };
  check_all(cases, bytes);
}

TEST(MatchTest, PartialDfaHandsOverToTheSimulation) {
  // A DFA far beyond the default state limit: the part that was built answers
  // short texts, the simulation the texts that leave it.
  CompileResult r = compile("(?:a|b)*a(?:a|b){20}");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r.pattern->has_dfa());
  EXPECT_FALSE(r.pattern->dfa_is_complete());
  for (const std::string& t : {"ba" + std::string(20, 'b'), "bb" + std::string(20, 'b'), std::string(200, 'a'),
                               "a" + std::string(19, 'b'), std::string(40, 'b') + "a" + std::string(20, 'a')}) {
    EXPECT_EQ(r.pattern->full_match(t), r.pattern->full_match_by_nfa(t)) << t;
  }
  EXPECT_TRUE(r.pattern->full_match("ba" + std::string(20, 'b')));
  // ASCII texts are covered first: non-ASCII ones may leave the built part.
  CompileResult bounded = compile("\\w{1,64}");
  ASSERT_TRUE(bounded);
  EXPECT_TRUE(bounded.pattern->full_match(std::string(64, 'x')));
  EXPECT_FALSE(bounded.pattern->full_match(std::string(65, 'x')));
  EXPECT_TRUE(bounded.pattern->full_match("é" + std::string(60, 'x') + "日本"));
  EXPECT_FALSE(bounded.pattern->full_match("é" + std::string(62, 'x') + "日本"));
  // Unicode word assertions never get a DFA.
  CompileResult w = compile("\\bx\\b");
  ASSERT_TRUE(w);
  EXPECT_FALSE(w.pattern->has_dfa());
  EXPECT_TRUE(w.pattern->full_match("x"));
}

}  // namespace
}  // namespace tessolin::pattern

// Which patterns compile, and the error text of those that do not.
#include <gtest/gtest.h>

#include <string>

#include "pattern/pattern.hpp"

namespace tessolin::pattern {
namespace {

struct Case {
  const char* pattern;
  const char* error;  // nullptr: compiles; otherwise a substring of the message
};

void check(const Case& c, const Options& options = {}) {
  CompileResult r = compile(c.pattern, options);
  if (c.error == nullptr) {
    EXPECT_TRUE(r) << "pattern " << c.pattern << " refused: " << r.error.message;
  } else {
    ASSERT_FALSE(r) << "pattern " << c.pattern << " compiled";
    EXPECT_NE(r.error.message.find(c.error), std::string::npos)
        << "pattern " << c.pattern << " gave: " << r.error.message;
  }
}

TEST(ParseTest, GroupsAndAlternation) {
  const Case cases[] = {
      {"", nullptr},
      {"a|", nullptr},
      {"|a", nullptr},
      {"(|)", nullptr},
      {"()", nullptr},
      {"(?:)", nullptr},
      {"((?i))", nullptr},
      {"(?P<name>a)(?<other>b)", nullptr},
      {"(?P<a.b[1]>x)", nullptr},
      {"(?<é>x)", nullptr},
      {"(a", "unclosed group at position 0"},
      {"a)", "unopened group at position 1"},
      {"a)|(b", "unopened group"},
      {"(?", "unclosed group"},
      {"(?P<>a)", "empty capture group name"},
      {"(?P<1a>a)", "invalid capture group character"},
      {"(?P<a", "unclosed capture group name"},
      {"(?P<a>x)(?P<a>y)", "duplicate capture group name"},
      {"(?=a)", "look-around"},
      {"(?!a)", "look-around"},
      {"(?<=a)", "look-around"},
      {"(?<!a)", "look-around"},
      {"(?>a)", "unrecognized flag"},
      {"(?#comment)", "unrecognized flag"},
      {"(?P=n)", "unrecognized flag"},
      {"(?|a)", "unrecognized flag"},
      {"(?1)", "unrecognized flag"},
      {"(?a)", "unrecognized flag"},
      {"(?R)", nullptr},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseTest, Flags) {
  const Case cases[] = {
      {"(?imsxRUu)a", nullptr},
      {"(?i-s:a)", nullptr},
      {"(?ix-smU)a", nullptr},
      {"(?ii)a", "duplicate flag"},
      {"(?i-i)a", "duplicate flag"},
      {"(?i--s)a", "flag negation operator repeated"},
      {"(?-)a", "dangling flag negation"},
      {"(?i-)a", "dangling flag negation"},
      {"(?-:a)", "dangling flag negation"},
      {"(?i", "expected flag"},
      {"(?)", "repetition operator missing expression"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseTest, Escapes) {
  const Case cases[] = {
      {R"(\a\f\t\n\r\v)", nullptr},
      {R"(\x41\x{41}\u0041\u{41}\U00000041\U{41})", nullptr},
      {R"(\x{0000000041})", nullptr},
      {R"(\x{10FFFF})", nullptr},
      {R"(\x{110000})", "not a Unicode scalar value"},
      {R"(\x{D800})", "not a Unicode scalar value"},
      {R"(\uD800)", "not a Unicode scalar value"},
      {R"(\U00110000)", "not a Unicode scalar value"},
      {R"(\x{FFFFFFFFFF})", "not a Unicode scalar value"},
      {R"(\x{})", "hexadecimal literal empty"},
      {R"(\xG1)", "invalid hexadecimal digit"},
      {R"(\x{4G})", "invalid hexadecimal digit"},
      {R"(\x4)", "incomplete escape"},
      {R"(\x{41)", "incomplete escape"},
      {"a\\", "incomplete escape"},
      {R"(\1)", "backreferences are not supported"},
      {R"(\0)", "backreferences are not supported"},
      {R"(\141)", "backreferences are not supported"},
      {R"(\Z)", "unrecognized escape sequence"},
      {R"(\G)", "unrecognized escape sequence"},
      {R"(\K)", "unrecognized escape sequence"},
      {R"(\X)", "unrecognized escape sequence"},
      {R"(\R)", "unrecognized escape sequence"},
      {R"(\h)", "unrecognized escape sequence"},
      {R"(\N{DIGIT ONE})", "unrecognized escape sequence"},
      {R"(\Qa\E)", "unrecognized escape sequence"},
      {R"(\e)", "unrecognized escape sequence"},
      {R"(\cA)", "unrecognized escape sequence"},
      {R"(\g1)", "unrecognized escape sequence"},
      {R"(\k<a>)", "unrecognized escape sequence"},
      {"\\\xC3\xA9", "unrecognized escape sequence"},
      {R"(\.\+\*\?\(\)\|\[\]\{\}\^\$\#\&\-\~\\)", nullptr},
      {R"(\ \/\"\'\%\@\!\,\:\;\=\_\`)", nullptr},
      {"\\\n", nullptr},
      {R"(\A\z\b\B\<\>)", nullptr},
      {R"(\b{start}\b{end}\b{start-half}\b{end-half})", nullptr},
      {R"(\b{2})", nullptr},
      {R"(\b{middle})", "unrecognized special word boundary"},
      {R"(\b{start)", "special word boundary assertion is either unclosed"},
      {R"(\b{)", "no closing brace"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseTest, Repetition) {
  const Case cases[] = {
      {"a*a+a?a*?a+?a??", nullptr},
      {"a{2}a{2,}a{2,5}a{2}?a{2,5}?", nullptr},
      {"a{ 2 , 5 }", nullptr},
      {"a**", nullptr},
      {"a*+", nullptr},
      {"a++", nullptr},
      {"a{2}{3}", nullptr},
      {"^*", nullptr},
      {"\\b+", nullptr},
      {"(?:){4294967295}", nullptr},
      {"*", "repetition operator missing expression"},
      {"(*)", "repetition operator missing expression"},
      {"a|*", "repetition operator missing expression"},
      {"(?i)*", "repetition operator missing expression"},
      {"{2}", "repetition operator missing expression"},
      {"a{", "unclosed counted repetition"},
      {"a{2", "unclosed counted repetition"},
      {"a{2,", "unclosed counted repetition"},
      {"a{a}", "expects a valid decimal"},
      {"x{y}", "expects a valid decimal"},
      {"a{,5}", "expects a valid decimal"},
      {"a{}", "expects a valid decimal"},
      {"a{2, }", "expects a valid decimal"},
      {"(?x)a{2, }", nullptr},
      {"a{5,3}", "invalid repetition count range"},
      {"a{4294967296}", "repetition count is too large"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseTest, Classes) {
  const Case cases[] = {
      {"[a]", nullptr},
      {"[]a]", nullptr},
      {"[^]a]", nullptr},
      {"[-]a]", nullptr},
      {"[--a]", nullptr},
      {"[a-]", nullptr},
      {"[a-c-e]", nullptr},
      {"[a^]", nullptr},
      {"[a[bc]]", nullptr},
      {"[[^a]b]", nullptr},
      {"[a&&b]", nullptr},
      {"[a--b]", nullptr},
      {"[a~~b]", nullptr},
      {"[&&a]", nullptr},
      {"[&&&&]", nullptr},
      {"[[:alpha:][:^digit:]]", nullptr},
      {"[[:foo:]]", nullptr},
      {"[:alpha:]", nullptr},
      {R"([\x00-\x1F])", nullptr},
      {R"([\d\s\w\D\S\W\pL\p{Greek}])", nullptr},
      {"[]", "unclosed character class"},
      {"[^]", "unclosed character class"},
      {"[a", "unclosed character class"},
      {"[a[b]", "unclosed character class"},
      {"(?x)[#]", "unclosed character class"},
      {R"([\b])", "invalid escape sequence found in character class"},
      {R"([\A])", "invalid escape sequence found in character class"},
      {R"([\<])", "invalid escape sequence found in character class"},
      {R"([\w-.])", "invalid range boundary, must be a literal"},
      {R"([a-\d])", "invalid range boundary, must be a literal"},
      {"[z-a]", "invalid range"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseTest, UnicodeProperties) {
  const Case cases[] = {
      {R"(\pL\pl\p{L}\p{Lu}\p{Letter}\p{Uppercase_Letter})", nullptr},
      {R"(\p{IsGreek}\p{isL}\p{Grεek})", nullptr},
      {R"(\p{ L u })", nullptr},
      {R"(\p{gc=Lu}\p{gc:Lu}\p{gc!=Lu}\P{gc!=Lu})", nullptr},
      {R"(\p{sc=Greek}\p{scx=Grek}\p{Script=Latin})", nullptr},
      {R"(\p{age=3.2}\p{age=V3_2})", nullptr},
      {R"(\p{gcb=Extend}\p{wb=ALetter}\p{sb=Upper})", nullptr},
      {R"(\p{Any}\p{ASCII}\p{Assigned})", nullptr},
      {R"(\p{Alphabetic}\p{alpha}\p{White_Space}\p{space}\p{Lower}\p{Upper})", nullptr},
      {R"(\p{Emoji}\p{Extended_Pictographic}\p{XID_Start})", nullptr},
      {R"(\p{Other_Alphabetic}\p{IDS_Unary_Operator})", nullptr},
      {R"(\p{digit}\p{punct}\p{cntrl}\p{combiningmark})", nullptr},
      {R"(\p{cf}\p{sc}\p{lc})", nullptr},
      {R"(\p{Common}\p{Zyyy}\p{Inherited}\p{Zinh})", nullptr},
      {R"(\p{Garay}\p{Todhri})", nullptr},
      {R"(\p{})", "Unicode property not found"},
      {R"(\p{Script})", "Unicode property not found"},
      {R"(\p{Block})", "Unicode property not found"},
      {R"(\p{Name})", "Unicode property not found"},
      {R"(\p{NotAThing})", "Unicode property not found"},
      {R"(\p{IsBasicLatin})", "Unicode property not found"},
      {R"(\p{Cs})", "Unicode property value not found"},
      {R"(\p{gc=Cs})", "Unicode property value not found"},
      {R"(\p{Zzzz})", "Unicode property value not found"},
      {R"(\p{Hrkt})", "Unicode property value not found"},
      {R"(\p{Block=Basic_Latin})", "Unicode property value not found"},
      {R"(\p{bc=L})", "Unicode property value not found"},
      {R"(\p{gc=Nope})", "Unicode property value not found"},
      {R"(\p{nope=Lu})", "Unicode property not found"},
      {R"(\p\d)", "invalid Unicode character class"},
      {R"(\p)", "incomplete escape"},
      {R"(\p{L)", "incomplete escape"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseTest, UnicodeModeOff) {
  const Case cases[] = {
      {"(?-u:a)", nullptr},
      {R"((?-u:\x41))", nullptr},
      {"(?-u:\xC3\xA9)", nullptr},
      {R"((?-u:\x{E9}))", nullptr},
      {R"((?-u:\b\B))", nullptr},
      {R"((?-u:\d\s\w))", nullptr},
      {R"((?-u:[a-z[:alpha:]]))", nullptr},
      {"(?-u:.)", "pattern can match invalid UTF-8"},
      {"(?s-u:.)", "pattern can match invalid UTF-8"},
      {R"((?-u:\xFF))", "pattern can match invalid UTF-8"},
      {R"((?-u:\W))", "pattern can match invalid UTF-8"},
      {R"((?-u:[^a]))", "pattern can match invalid UTF-8"},
      {R"((?-u:[[:^alpha:]]))", "pattern can match invalid UTF-8"},
      {R"((?-u:[\xFF]))", "pattern can match invalid UTF-8"},
      {R"((?-u:\pL))", "Unicode not allowed here"},
      {"(?-u:[\xC3\xA9])", "Unicode not allowed here"},
  };
  for (const Case& c : cases) check(c);
  // Over arbitrary bytes the same items are fine.
  Options bytes;
  bytes.utf8 = false;
  for (const char* p : {"(?-u:.)", R"((?-u:\xFF))", R"((?-u:\W))", R"((?-u:[^a]))", R"((?s-u:[\x00-\xFF]))"})
    check(Case{p, nullptr}, bytes);
  check(Case{R"((?-u:\pL))", "Unicode not allowed here"}, bytes);
}

TEST(ParseTest, VerboseMode) {
  const Case cases[] = {
      {"(?x) a b # comment", nullptr},
      {"(?x)a # comment ending the pattern", nullptr},
      {"(?x)( ?:a)", nullptr},
      {"(?x)( ?P<n>a)", nullptr},
      {R"((?x)\x { 4 1 })", nullptr},
      {R"((?x)\p{ L u })", nullptr},
      {"(?x)a{ 2 , 5 }", nullptr},
      {"(?x)[ a ]", nullptr},
      {"(?x)\\\xC2\xA0", "unrecognized escape sequence"},
  };
  for (const Case& c : cases) check(c);
}

TEST(ParseTest, ErrorPositionsCountCodePoints) {
  CompileResult r = compile("\xC3\xA9\xC3\xA9)");
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error.message, "unopened group at position 2");
}

TEST(ParseTest, RefusesInvalidUtf8Pattern) {
  CompileResult r = compile("a\xFF");
  ASSERT_FALSE(r);
  EXPECT_NE(r.error.message.find("not valid UTF-8"), std::string::npos);
}

}  // namespace
}  // namespace tessolin::pattern

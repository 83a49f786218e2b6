// Code point classes over UTF-8 and the sets taken from ICU.
#include <gtest/gtest.h>

#include <string>

#include "pattern/pattern.hpp"
#include "pattern/unicode_data.hpp"
#include "pattern/utf8.hpp"

namespace tessolin::pattern {
namespace {

// Every scalar value, encoded, is matched exactly when it is in the class;
// this walks all 1,112,064 of them per class.
TEST(UnicodeTest, ClassesMatchExactlyTheirMembersUtf8) {
  const struct {
    const char* pattern;
    CodepointSet set;
  } cases[] = {
      {"[\\x{80}-\\x{7FF}\\x{E000}-\\x{10FFFF}]", {{0x80, 0x7FF}, {0xE000, 0x10FFFF}}},
      {"[\\x{7F}-\\x{801}\\x{FFFF}-\\x{10000}\\x{D7FF}-\\x{E000}]",
       {{0x7F, 0x801}, {0xFFFF, 0x10000}, {0xD7FF, 0xD7FF}, {0xE000, 0xE000}}},
      {"[\\x{1234}-\\x{5678}\\x{10FFFE}]", {{0x1234, 0x5678}, {0x10FFFE, 0x10FFFE}}},
      {"[^a]", {{0, 0x60}, {0x62, 0xD7FF}, {0xE000, 0x10FFFF}}},
  };
  for (const auto& c : cases) {
    CompileResult r = compile(c.pattern);
    ASSERT_TRUE(r) << r.error.message;
    ASSERT_TRUE(r.pattern->dfa_is_complete());
    std::string buf;
    for (uint32_t cp = 0; cp <= kMaxScalar; ++cp) {
      if (cp == kSurrogateLo) cp = kSurrogateHi + 1;
      buf.clear();
      append_utf8(buf, cp);
      ASSERT_EQ(r.pattern->full_match(buf), c.set.contains(cp)) << c.pattern << " U+" << std::hex << cp;
    }
    // Encoded surrogates and overlong forms are never matched.
    for (const char* bad : {"\xED\xA0\x80", "\xED\xBF\xBF", "\xC0\x80", "\xE0\x80\x80", "\xF4\x90\x80\x80", "\x80"})
      EXPECT_FALSE(r.pattern->full_match(bad)) << c.pattern;
  }
}

TEST(UnicodeTest, PerlClassesFromIcu) {
  EXPECT_EQ(unicode_space_set().size(), 25u);
  EXPECT_TRUE(unicode_space_set().contains(0x85));
  EXPECT_FALSE(unicode_space_set().contains(0x1C));
  EXPECT_TRUE(unicode_digit_set().contains(0x663));  // ARABIC-INDIC DIGIT THREE
  EXPECT_FALSE(unicode_digit_set().contains(0xB2));  // superscript two is No, not Nd
  EXPECT_TRUE(is_unicode_word_char(0x200D));         // ZWJ: Join_Control
  EXPECT_TRUE(is_unicode_word_char(0x301));          // combining acute: M
  EXPECT_FALSE(is_unicode_word_char(0x2460));        // circled digit one: No
  for (const CodepointSet* set : {&unicode_space_set(), &unicode_digit_set(), &unicode_word_set()}) {
    CodepointSet surrogates{{kSurrogateLo, kSurrogateHi}};
    surrogates.intersect_with(*set);
    EXPECT_TRUE(surrogates.empty());
  }
}

TEST(UnicodeTest, CaseOrbits) {
  const struct {
    uint32_t c;
    CodepointSet orbit;
  } cases[] = {
      {'k', {{'K', 'K'}, {'k', 'k'}, {0x212A, 0x212A}}},
      {0x3C3, {{0x3A3, 0x3A3}, {0x3C2, 0x3C3}}},  // sigma
      {0xDF, {{0xDF, 0xDF}, {0x1E9E, 0x1E9E}}},   // sharp s, never "ss"
      {0x130, {{0x130, 0x130}}},                  // dotted capital I alone
      {0x1C5, {{0x1C4, 0x1C6}}},                  // DŽ Dž dž
      {'1', {{'1', '1'}}},
  };
  for (const auto& c : cases) {
    CodepointSet s = CodepointSet::single(c.c);
    add_case_orbits(s);
    EXPECT_EQ(s, c.orbit) << "U+" << std::hex << c.c;
  }
}

TEST(UnicodeTest, PropertyNameNormalisation) {
  EXPECT_EQ(normalize_property_name("IsGreek"), "greek");
  EXPECT_EQ(normalize_property_name("Is_C"), "isc");
  EXPECT_EQ(normalize_property_name("Gr\xCE\xB5"
                                    "ek"),
            "grek");
  EXPECT_EQ(normalize_property_name("White Space-x_y"), "whitespacexy");
  EXPECT_EQ(normalize_property_name("a\tb"), "a\tb");  // only space, _ and - go
}

TEST(UnicodeTest, DecodingAroundPositions) {
  std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
  EXPECT_EQ(decode_forward(text, 1), 0xE9);
  EXPECT_EQ(decode_backward(text, 3), 0xE9);
  EXPECT_EQ(decode_backward(text, 6), 0x65E5);
  EXPECT_EQ(decode_backward(text, 10), 0x1F600);
  EXPECT_EQ(decode_forward(text, 2), -1);   // a continuation byte
  EXPECT_EQ(decode_backward(text, 2), -1);  // ends inside a sequence
  EXPECT_EQ(decode_backward(text, 0), -1);
  EXPECT_EQ(decode_forward(text, text.size()), -1);
}

}  // namespace
}  // namespace tessolin::pattern

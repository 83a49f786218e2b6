// Accepted documents and the values they parse to.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "json/json_document.hpp"

using namespace std::string_literals;
using tessolin::json::JsonDocument;
using tessolin::json::JsonKind;
using tessolin::json::JsonValue;
using tessolin::json::parse_json_document;

namespace {

// The document is kept in the fixture so that values stay alive.
class JsonValues : public ::testing::Test {
 protected:
  const JsonValue& parse(const std::string& text) {
    auto error = parse_json_document(text, document_);
    EXPECT_FALSE(error.has_value()) << text << ": " << error->text();
    return document_.root();
  }
  JsonDocument document_;
};

std::uint64_t bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}

TEST_F(JsonValues, Literals) {
  EXPECT_EQ(parse("null").kind(), JsonKind::Null);
  EXPECT_TRUE(parse("true").as_bool());
  EXPECT_FALSE(parse("false").as_bool());
  EXPECT_EQ(parse(" \t\r\n true \t\r\n").kind(), JsonKind::Bool);
}

TEST_F(JsonValues, IntegersFitInt64OrKeepTheirDigits) {
  struct Case {
    std::string text;
    std::int64_t value;
  };
  for (const Case& c : std::vector<Case>{
           {"0", 0},
           {"-0", 0},
           {"7", 7},
           {"-7", -7},
           {"999999999999999999", 999999999999999999},
           {"1234567890123456789", 1234567890123456789},
           {"-1234567890123456789", -1234567890123456789},
           {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
           {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
           {"9007199254740993", 9007199254740993},
       }) {
    const JsonValue& v = parse(c.text);
    ASSERT_EQ(v.kind(), JsonKind::Int) << c.text;
    EXPECT_EQ(v.as_int(), c.value) << c.text;
  }
  for (const std::string& big :
       {"9223372036854775808"s, "-9223372036854775809"s, "18446744073709551615"s, "18446744073709551616"s,
        "99999999999999999999"s, "-10000000000000000000"s, std::string(4300, '9'), "-" + std::string(4299, '9')}) {
    const JsonValue& v = parse(big);
    ASSERT_EQ(v.kind(), JsonKind::BigInt) << big;
    EXPECT_EQ(v.big_int_text(), big);
  }
}

TEST_F(JsonValues, FloatsAreCorrectlyRounded) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::string text;
    double value;
  };
  for (const Case& c : std::vector<Case>{
           {"1.5", 1.5},
           {"1E2", 100.0},
           {"1e0", 1.0},
           {"-2.5e-3", -0.0025},
           {"0.1", 0.1},
           {"9007199254740993.0", 9007199254740992.0},  // ties to even
           {"9007199254740995.0", 9007199254740996.0},
           {"1.7976931348623157e308", std::numeric_limits<double>::max()},
           {"1.7976931348623158e308", std::numeric_limits<double>::max()},
           {"2.2250738585072014e-308", std::numeric_limits<double>::min()},
           {"2.2250738585072011e-308", 2.2250738585072009e-308},  // subnormal
           {"5e-324", std::numeric_limits<double>::denorm_min()},
           {"2.4703282292062328e-324", std::numeric_limits<double>::denorm_min()},
           {"2.4703282292062327e-324", 0.0},
           {"1e400", inf},
           {"-1e400", -inf},
           {"1.7976931348623159e308", inf},
           {"0.000001e400", inf},
           {"1" + std::string(400, '0') + ".0", inf},
           {"1e99999999999999999999999", inf},
           {"1e-400", 0.0},
           {"100000e-330", 0.0},
           {"0." + std::string(400, '0') + "1", 0.0},
           {"1e-99999999999999999999999", 0.0},
           {"0e99999999999999999999", 0.0},
           {"123456789012345678901234567890e-340", 1.2345678901232595e-311},
       }) {
    const JsonValue& v = parse(c.text);
    ASSERT_EQ(v.kind(), JsonKind::Float) << c.text;
    EXPECT_EQ(bits(v.as_float()), bits(c.value)) << c.text << " gave " << v.as_float();
  }
  // Signs survive underflow and zero.
  for (const char* text : {"-0.0", "-0e5", "-1e-400", "-0.0e-0"}) {
    const double d = parse(text).as_float();
    EXPECT_EQ(d, 0.0) << text;
    EXPECT_TRUE(std::signbit(d)) << text;
  }
}

TEST_F(JsonValues, FloatsAgreeWithStrtodOnRandomDecimals) {
  // glibc's strtod rounds correctly; any disagreement is a rounding fault.
  std::mt19937_64 rng(12345);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    if (rng() % 2) text += '-';
    const int int_digits = 1 + static_cast<int>(rng() % 20);
    for (int d = 0; d < int_digits; ++d) text += static_cast<char>('0' + (d == 0 ? 1 + rng() % 9 : rng() % 10));
    if (rng() % 2 || int_digits > 18) {
      text += '.';
      const int frac_digits = 1 + static_cast<int>(rng() % 25);
      for (int d = 0; d < frac_digits; ++d) text += static_cast<char>('0' + rng() % 10);
    }
    text += 'e';
    text += std::to_string(static_cast<int>(rng() % 700) - 350);
    const double expected = std::strtod(text.c_str(), nullptr);
    const JsonValue& v = parse(text);
    ASSERT_EQ(v.kind(), JsonKind::Float);
    ASSERT_EQ(bits(v.as_float()), bits(expected)) << text;
  }
  // Short mantissas and small exponents: the exact fast path and its edges.
  for (int i = 0; i < 20000; ++i) {
    std::string text = rng() % 2 ? "-" : "";
    const int digits = 1 + static_cast<int>(rng() % 20);
    const int point = static_cast<int>(rng() % digits);
    for (int d = 0; d < digits; ++d) {
      text += static_cast<char>('0' + (d == 0 && point > 0 ? 1 + rng() % 9 : rng() % 10));
      if (d == point && d + 1 < digits) text += '.';
    }
    if (text.find('.') == std::string::npos || rng() % 2)
      text += "e" + std::to_string(static_cast<int>(rng() % 61) - 30);
    const double expected = std::strtod(text.c_str(), nullptr);
    const JsonValue& v = parse(text);
    ASSERT_EQ(v.kind(), JsonKind::Float) << text;
    ASSERT_EQ(bits(v.as_float()), bits(expected)) << text;
  }
}

TEST_F(JsonValues, StringEscapes) {
  struct Case {
    std::string text;
    std::string value;
    bool ascii;
  };
  for (const Case& c : std::vector<Case>{
           {R"("")", "", true},
           {R"("plain")", "plain", true},
           {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t", true},
           {R"("\u0041\u005a\u007f")", "AZ\x7f", true},
           {R"("a\u0000b")", "a\0b"s, true},
           {R"("\u00e9")", "\xC3\xA9", false},
           {R"("\u07FF")", "\xDF\xBF", false},
           {R"("\u0800")", "\xE0\xA0\x80", false},
           {R"("\u20AC")", "\xE2\x82\xAC", false},
           {R"("\uFFFF")", "\xEF\xBF\xBF", false},
           {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80", false},
           {R"("\uD800\uDC00")", "\xF0\x90\x80\x80", false},
           {R"("\udbff\udfff")", "\xF4\x8F\xBF\xBF", false},
           {R"("x\ud834\udd1ey")", "x\xF0\x9D\x84\x9Ey", false},
       }) {
    const JsonValue& v = parse(c.text);
    ASSERT_EQ(v.kind(), JsonKind::String) << c.text;
    EXPECT_EQ(std::string(v.as_string()), c.value) << c.text;
    EXPECT_EQ(v.is_ascii(), c.ascii) << c.text;
  }
}

TEST_F(JsonValues, RawUtf8AtEveryBoundaryIsKept) {
  for (const std::string& s :
       {"\xC2\x80"s, "\xDF\xBF"s, "\xE0\xA0\x80"s, "\xED\x9F\xBF"s, "\xEE\x80\x80"s, "\xEF\xBF\xBF"s,
        "\xF0\x90\x80\x80"s, "\xF4\x8F\xBF\xBF"s, "\x7F"s, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"s}) {
    const JsonValue& v = parse("\"" + s + "\"");
    EXPECT_EQ(std::string(v.as_string()), s);
    EXPECT_EQ(v.is_ascii(), s == "\x7F");
  }
}

// The string scanner works on blocks; a special byte must be found at any
// offset within and across them.
TEST_F(JsonValues, SpecialBytesAtEveryOffset) {
  for (std::size_t offset = 0; offset < 40; ++offset) {
    const std::string pad(offset, 'a');
    EXPECT_EQ(std::string(parse("\"" + pad + "\\n" + pad + "\"").as_string()), pad + "\n" + pad);
    EXPECT_EQ(std::string(parse("\"" + pad + "\xC3\xA9" + pad + "\"").as_string()), pad + "\xC3\xA9" + pad);
    EXPECT_EQ(std::string(parse("[\"" + pad + "\"," + "\"" + pad + "\"]").items()[1].as_string()), pad);
    JsonDocument other;
    auto error = parse_json_document("\"" + pad + "\x1F" + pad + "\"", other);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->column, offset + 2);
    error = parse_json_document("\"" + pad + "\xFF" + pad + "\"", other);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->column, offset + 2);
    error = parse_json_document("\"" + pad, other);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->text(), "EOF while parsing a string at line 1 column " + std::to_string(offset + 1));
  }
}

TEST_F(JsonValues, ContainersKeepOrder) {
  const JsonValue& v = parse(R"( [1, "two", [], {}, [null, [true]], {"k": -1.5}] )");
  ASSERT_EQ(v.kind(), JsonKind::Array);
  auto items = v.items();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].as_int(), 1);
  EXPECT_EQ(items[1].as_string(), "two");
  EXPECT_EQ(items[2].kind(), JsonKind::Array);
  EXPECT_EQ(items[2].size(), 0u);
  EXPECT_EQ(items[3].kind(), JsonKind::Object);
  EXPECT_EQ(items[3].size(), 0u);
  EXPECT_TRUE(items[4].items()[1].items()[0].as_bool());
  ASSERT_EQ(items[5].members().size(), 1u);
  EXPECT_EQ(items[5].members()[0].key.as_string(), "k");
  EXPECT_EQ(items[5].members()[0].value.as_float(), -1.5);
}

TEST_F(JsonValues, DuplicateKeysKeepFirstPositionAndLastValue) {
  const JsonValue& v = parse(R"({"a": "x", "a": 1})");
  ASSERT_EQ(v.members().size(), 1u);
  EXPECT_EQ(v.members()[0].key.as_string(), "a");
  EXPECT_EQ(v.members()[0].value.as_int(), 1);

  const JsonValue& w = parse(R"({"a": 1, "b": 2, "a": {"c": 3, "c": 4}, "d": 5, "b": [6]})");
  auto m = w.members();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].key.as_string(), "a");
  EXPECT_EQ(m[0].value.members()[0].value.as_int(), 4);
  EXPECT_EQ(m[1].key.as_string(), "b");
  EXPECT_EQ(m[1].value.items()[0].as_int(), 6);
  EXPECT_EQ(m[2].key.as_string(), "d");

  // Keys compare by their decoded text, escapes and prefixes included.
  const JsonValue& e = parse(R"({"a": 1, "\u0061": 2, "ab": 3, "": 4, "\u0000": 5, "": 6})");
  ASSERT_EQ(e.members().size(), 4u);
  EXPECT_EQ(e.members()[0].value.as_int(), 2);
  EXPECT_EQ(e.members()[2].value.as_int(), 6);
  EXPECT_EQ(e.members()[3].key.as_string(), "\0"s);
}

// Objects of many members go through a hash table; both roads must agree
// with dict semantics.
TEST_F(JsonValues, DuplicateKeysAgreeWithDictModel) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const int members = static_cast<int>(rng() % 80);
    const int distinct = 1 + static_cast<int>(rng() % 60);
    std::string text = "{";
    std::vector<std::string> order;
    std::map<std::string, int> last;
    for (int i = 0; i < members; ++i) {
      const std::string key = "key" + std::string(rng() % 3, 'x') + std::to_string(rng() % distinct);
      if (i) text += ',';
      text += "\"" + key + "\":" + std::to_string(i);
      if (!last.count(key)) order.push_back(key);
      last[key] = i;
    }
    text += "}";
    auto got = parse(text).members();
    ASSERT_EQ(got.size(), order.size()) << text;
    for (std::size_t i = 0; i < order.size(); ++i) {
      EXPECT_EQ(got[i].key.as_string(), order[i]);
      EXPECT_EQ(got[i].value.as_int(), last[order[i]]);
    }
  }
}

TEST_F(JsonValues, DeepestNestingParses) {
  const JsonValue* v = &parse(std::string(200, '[') + std::string(200, ']'));
  int depth = 0;
  while (v->kind() == JsonKind::Array && v->size() == 1) {
    v = &v->items()[0];
    ++depth;
  }
  EXPECT_EQ(depth, 199);
  EXPECT_EQ(v->size(), 0u);
}

TEST(JsonDocumentLifetime, ValuesOutliveTheTextAndSurviveMoves) {
  JsonDocument moved;
  {
    auto text = std::make_unique<std::string>(R"({"name": "tessolin", "big": 123456789012345678901234567890})");
    JsonDocument document;
    ASSERT_FALSE(parse_json_document(*text, document).has_value());
    const auto* root_members = document.root().members().data();
    text.reset();
    moved = std::move(document);
    EXPECT_EQ(moved.root().members().data(), root_members);
  }
  EXPECT_EQ(moved.root().members()[0].value.as_string(), "tessolin");
  EXPECT_EQ(moved.root().members()[1].value.big_int_text(), "123456789012345678901234567890");
  // Parsing again replaces the content; a failure leaves null.
  ASSERT_FALSE(parse_json_document("[1]", moved).has_value());
  EXPECT_EQ(moved.root().items()[0].as_int(), 1);
  ASSERT_TRUE(parse_json_document("[1", moved).has_value());
  EXPECT_EQ(moved.root().kind(), JsonKind::Null);
}

}  // namespace

// Every refusal of the parser, with its exact message and position.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/json_document.hpp"

using namespace std::string_literals;
using tessolin::json::JsonDocument;
using tessolin::json::JsonKind;
using tessolin::json::parse_json_document;

namespace {

std::string error_text(const std::string& doc) {
  JsonDocument document;
  auto error = parse_json_document(doc, document);
  if (!error) return "<accepted>";
  EXPECT_EQ(document.root().kind(), JsonKind::Null) << "a failed parse leaves null";
  return error->text();
}

struct Case {
  std::string doc;
  std::string text;
};

void check_all(const std::vector<Case>& cases) {
  for (const auto& c : cases) EXPECT_EQ(error_text(c.doc), c.text) << "document: " << c.doc;
}

TEST(JsonErrorPositions, EndOfInput) {
  check_all({
      {"", "EOF while parsing a value at line 1 column 0"},
      {"   ", "EOF while parsing a value at line 1 column 3"},
      {"\n", "EOF while parsing a value at line 2 column 0"},
      {" \n\t", "EOF while parsing a value at line 2 column 1"},
      {"tru", "EOF while parsing a value at line 1 column 3"},
      {"f", "EOF while parsing a value at line 1 column 1"},
      {"[1,", "EOF while parsing a value at line 1 column 3"},
      {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"[-", "EOF while parsing a value at line 1 column 2"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1e", "EOF while parsing a value at line 1 column 2"},
      {"1e+", "EOF while parsing a value at line 1 column 3"},
      {"[1, 2", "EOF while parsing a list at line 1 column 5"},
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"[\n", "EOF while parsing a list at line 2 column 0"},
      {"[[]", "EOF while parsing a list at line 1 column 3"},
      {"{\"a\": 1", "EOF while parsing an object at line 1 column 7"},
      {"{", "EOF while parsing an object at line 1 column 1"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\" ", "EOF while parsing an object at line 1 column 5"},
      {"{\"a\":1,", "EOF while parsing an object at line 1 column 7"},
      {"{\"a\":1,\n ", "EOF while parsing an object at line 2 column 1"},
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"[\"a\\", "EOF while parsing a string at line 1 column 4"},
      {"\"\\u12", "EOF while parsing a string at line 1 column 5"},
      {"\"\\ud800", "EOF while parsing a string at line 1 column 7"},
      {"\"\\ud800\\", "EOF while parsing a string at line 1 column 8"},
      {"\"\xe2\x82", "EOF while parsing a string at line 1 column 3"},
      {"{\"ab", "EOF while parsing a string at line 1 column 4"},
  });
}

TEST(JsonErrorPositions, Punctuation) {
  check_all({
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{\"a\",1}", "expected `:` at line 1 column 5"},
      {"[1,\n 2 x]", "expected `,` or `]` at line 2 column 4"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"[1}", "expected `,` or `]` at line 1 column 3"},
      {"{\"a\":1 \"b\":2}", "expected `,` or `}` at line 1 column 8"},
      {"{\"a\":1]", "expected `,` or `}` at line 1 column 7"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"{ a:1}", "key must be a string at line 1 column 3"},
      {"{\"a\":1,2:3}", "key must be a string at line 1 column 8"},
      {"{\"a\":1, x", "key must be a string at line 1 column 9"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"[1,}", "trailing comma at line 1 column 4"},
      {"[1,\n]", "trailing comma at line 2 column 1"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"{\"a\":1,]", "trailing comma at line 1 column 8"},
      {"[\n1,\n2,\n]", "trailing comma at line 4 column 1"},
      {"1a", "trailing characters at line 1 column 2"},
      {"1 2", "trailing characters at line 1 column 3"},
      {"[] []", "trailing characters at line 1 column 4"},
      {"{}x", "trailing characters at line 1 column 3"},
      {"\"a\"\"b\"", "trailing characters at line 1 column 4"},
      {"null\n,\n", "trailing characters at line 2 column 1"},
      {"0x10", "trailing characters at line 1 column 2"},
      {"1.5.3", "trailing characters at line 1 column 4"},
      {"-0-", "trailing characters at line 1 column 3"},
      {"truex", "trailing characters at line 1 column 5"},
      {"1\0"s, "trailing characters at line 1 column 2"},
      // Only LF breaks a line; CR and form feed are ordinary bytes.
      {"[\r\r1 x]", "expected `,` or `]` at line 1 column 6"},
      {"1\f", "trailing characters at line 1 column 2"},
  });
}

TEST(JsonErrorPositions, Values) {
  check_all({
      {"NaN", "expected value at line 1 column 1"},
      {"Infinity", "expected value at line 1 column 1"},
      {"[NaN]", "expected value at line 1 column 2"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"[,1]", "expected value at line 1 column 2"},
      {"[1,,2]", "expected value at line 1 column 4"},
      {"+1", "expected value at line 1 column 1"},
      {".5", "expected value at line 1 column 1"},
      {"]", "expected value at line 1 column 1"},
      {"{\"a\":}", "expected value at line 1 column 6"},
      {"'a'", "expected value at line 1 column 1"},
      {"\x01", "expected value at line 1 column 1"},
      {"trux", "expected ident at line 1 column 4"},
      {"nulL", "expected ident at line 1 column 4"},
      {"[tRue]", "expected ident at line 1 column 3"},
      {"fAlse", "expected ident at line 1 column 2"},
  });
}

TEST(JsonErrorPositions, Numbers) {
  check_all({
      {"-Infinity", "invalid number at line 1 column 2"},
      {"-NaN", "invalid number at line 1 column 2"},
      {"-a", "invalid number at line 1 column 2"},
      {"--1", "invalid number at line 1 column 2"},
      {"01", "invalid number at line 1 column 2"},
      {"00", "invalid number at line 1 column 2"},
      {"-01", "invalid number at line 1 column 3"},
      {"[0 , 012]", "invalid number at line 1 column 7"},
      {"1.x", "invalid number at line 1 column 3"},
      {"1.e5", "invalid number at line 1 column 3"},
      {"1ex", "invalid number at line 1 column 3"},
      {"1e+x", "invalid number at line 1 column 4"},
      {"1e-]", "invalid number at line 1 column 4"},
      {"[1.]", "invalid number at line 1 column 4"},
      {"-.5", "invalid number at line 1 column 2"},
      {std::string(4301, '1'), "number out of range at line 1 column 1"},
      {"-" + std::string(4300, '9'), "number out of range at line 1 column 1"},
      {"[ " + std::string(4301, '9') + "]", "number out of range at line 1 column 3"},
  });
}

TEST(JsonErrorPositions, Strings) {
  check_all({
      {"\"\\x\"", "invalid escape at line 1 column 3"},
      {"\"\\U0041\"", "invalid escape at line 1 column 3"},
      {"\"\\'\"", "invalid escape at line 1 column 3"},
      {"\"\\u12G4\"", "invalid escape at line 1 column 6"},
      {"\"\\ud800\\uZZZZ\"", "invalid escape at line 1 column 10"},
      {"\"\\udc00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"\"\\ud800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\ud800\\ud800\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\ud800\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\ud800abc\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\ud800\\n\"", "unexpected end of hex escape at line 1 column 9"},
      {"\"a\x01\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"\t\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"\0\""s, "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"\x1f\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"[\n\"a\nb\"]", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 3"},
      {"{\"k\x02\":1}", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 4"},
      {"\"\x80\"", "invalid unicode code point at line 1 column 2"},
      {"\"\xFF\"", "invalid unicode code point at line 1 column 2"},
      {"\"a\xC0\x80\"", "invalid unicode code point at line 1 column 3"},         // overlong NUL
      {"\"\xC1\xBF\"", "invalid unicode code point at line 1 column 2"},          // overlong
      {"\"\xE0\x9F\xBF\"", "invalid unicode code point at line 1 column 2"},      // overlong 3-byte
      {"\"\xF0\x8F\xBF\xBF\"", "invalid unicode code point at line 1 column 2"},  // overlong 4-byte
      {"\"\xED\xA0\x80\"", "invalid unicode code point at line 1 column 2"},      // U+D800 encoded
      {"\"\xED\xBF\xBF\"", "invalid unicode code point at line 1 column 2"},      // U+DFFF encoded
      {"\"\xF4\x90\x80\x80\"", "invalid unicode code point at line 1 column 2"},  // above U+10FFFF
      {"\"\xF5\x80\x80\x80\"", "invalid unicode code point at line 1 column 2"},
      {"\"\xE2\x28\xA1\"", "invalid unicode code point at line 1 column 2"},
      {"\"\xE2\x82\"", "invalid unicode code point at line 1 column 2"},                  // cut by the quote
      {"\"\xC3\xA9\xE2\x82\xAC\xBF\"", "invalid unicode code point at line 1 column 7"},  // stray continuation
      {"{\"\xC3\":1}", "invalid unicode code point at line 1 column 3"},
  });
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(JsonErrorPositions, Nesting) {
  // At most 200 containers nested; the 201st is refused where it opens.
  EXPECT_EQ(error_text(repeat("[", 200) + repeat("]", 200)), "<accepted>");
  EXPECT_EQ(error_text(repeat("[", 201) + repeat("]", 201)), "recursion limit exceeded at line 1 column 201");
  EXPECT_EQ(error_text(repeat("{\"a\":", 200) + "1" + repeat("}", 200)), "<accepted>");
  EXPECT_EQ(error_text(repeat("{\"a\":", 201) + "1" + repeat("}", 201)),
            "recursion limit exceeded at line 1 column 1001");
  EXPECT_EQ(error_text(repeat("[{\"k\":", 100) + "1" + repeat("}]", 100)), "<accepted>");
  EXPECT_EQ(error_text(repeat("[{\"k\":", 100) + "[]" + repeat("}]", 100)),
            "recursion limit exceeded at line 1 column 601");
  // The limit is met before the document is read to its end.
  EXPECT_EQ(error_text(repeat("[", 100000)), "recursion limit exceeded at line 1 column 201");
  EXPECT_EQ(error_text(repeat("[\n", 300)), "recursion limit exceeded at line 201 column 1");
}

}  // namespace

// What a builder policy receives from the parser: the contract the Python
// object builder relies on.

#include <gtest/gtest.h>

#include <string>

#include "json/json_parser.hpp"

using tessolin::json::JsonErrorCode;
using tessolin::json::JsonString;
using tessolin::json::parse_json;

namespace {

// Logs every event; stops when the log reaches stop_after events.
struct LoggingBuilder {
  std::string log;
  int events = 0;
  int stop_after = -1;

  bool note(const std::string& event) {
    log += event;
    log += ' ';
    return ++events != stop_after;
  }
  static std::string describe(const JsonString& s) {
    return "'" + std::string(s.utf8) + "'" + (s.had_escapes ? "e" : "") + (s.ascii ? "" : "u");
  }
  bool begin_array() { return note("["); }
  bool end_array(std::size_t n) { return note("]" + std::to_string(n)); }
  bool begin_object() { return note("{"); }
  bool end_object(std::size_t n) { return note("}" + std::to_string(n)); }
  bool key(const JsonString& s) { return note("k" + describe(s)); }
  bool string(const JsonString& s) { return note("s" + describe(s)); }
  bool integer(std::int64_t v) { return note("i" + std::to_string(v)); }
  bool big_integer(std::string_view t) { return note("b" + std::string(t)); }
  bool float64(double v) { return note("f" + std::to_string(v)); }
  bool boolean(bool v) { return note(v ? "true" : "false"); }
  bool null() { return note("null"); }
};

std::string events(const std::string& doc) {
  LoggingBuilder b;
  auto error = parse_json(doc, b);
  EXPECT_FALSE(error.has_value()) << doc << ": " << error->text();
  return b.log;
}

TEST(JsonBuilderEvents, DocumentOrderWithCountsAndFlags) {
  EXPECT_EQ(events(R"({"a\n": [1, "x", 2.5], "a\n": null, "\u00e9": {}})"),
            "{ k'a\n'e [ i1 s'x' f2.500000 ]3 k'a\n'e null k'\xC3\xA9'eu { }0 }3 ");
  EXPECT_EQ(events(R"([true, false, -0, 99999999999999999999, "caf\u00e9", "é"])"),
            "[ true false i0 b99999999999999999999 s'caf\xC3\xA9'eu s'é'u ]6 ");
  EXPECT_EQ(events("[]"), "[ ]0 ");
  EXPECT_EQ(events("\"\""), "s'' ");
}

// Views into the scratch buffer are only valid in their callback: a second
// escaped string reuses it.
TEST(JsonBuilderEvents, EscapedStringsShareScratch) {
  struct Capture : LoggingBuilder {
    std::vector<std::string> copies;
    bool string(const JsonString& s) {
      copies.emplace_back(s.utf8);
      return true;
    }
  } b;
  ASSERT_FALSE(parse_json(R"(["long\tstring one", "b\n", "plain"])", b).has_value());
  EXPECT_EQ(b.copies, (std::vector<std::string>{"long\tstring one", "b\n", "plain"}));
}

TEST(JsonBuilderEvents, BuilderStopsTheParse) {
  for (int stop = 1; stop <= 6; ++stop) {
    LoggingBuilder b;
    b.stop_after = stop;
    auto error = parse_json(R"({"k": [1, 2]} trailing)", b);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, JsonErrorCode::StoppedByBuilder) << stop;
    EXPECT_EQ(b.events, stop) << "no event after a refusal";
  }
}

TEST(JsonBuilderEvents, NoEventsAfterASyntaxError) {
  LoggingBuilder b;
  auto error = parse_json("[1, 2 3, 4]", b);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(b.log, "[ i1 i2 ");
}

}  // namespace

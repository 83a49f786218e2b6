#pragma once
// The JSON parser: one byte-level parser over an output policy (a builder),
// so that every output shares one grammar, one set of messages and one set
// of error positions.
//
// Grammar: exactly one JSON value, optionally surrounded by space, tab, LF
// and CR. No NaN/Infinity, no comments, no trailing commas. A value may sit
// inside at most kMaxJsonNesting containers.
//
// The builder receives events in document order:
//
//   bool begin_array();
//   bool end_array(std::size_t count);        // count: items of this array
//   bool begin_object();
//   bool key(const JsonString& key);          // then exactly one value
//   bool end_object(std::size_t count);       // count: key/value pairs read,
//                                             // duplicates included
//   bool string(const JsonString& text);
//   bool integer(std::int64_t value);         // "-0" gives 0
//   bool big_integer(std::string_view text);  // beyond int64: optional '-',
//                                             // then digits (no leading 0)
//   bool float64(double value);               // +-inf beyond range
//   bool boolean(bool value);
//   bool null();
//
// Every callback returns true to go on; false stops the parse at once with
// JsonErrorCode::StoppedByBuilder (the builder keeps its own reason, e.g. a
// pending Python exception). Duplicate keys are passed on as they come;
// resolving them is the builder's job.
//
// Views handed to the builder (JsonString::utf8, big_integer's text) are
// valid only during the callback: they point into the input or into a
// scratch buffer reused by the next string with escapes.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "json/json_cursor.hpp"
#include "json/json_error.hpp"

namespace tessolin::json {

template <class B>
concept JsonBuilder = requires(B& b, const JsonString& s, std::string_view t, std::size_t n, std::int64_t i, double d,
                               bool f) {
  { b.begin_array() } -> std::same_as<bool>;
  { b.end_array(n) } -> std::same_as<bool>;
  { b.begin_object() } -> std::same_as<bool>;
  { b.key(s) } -> std::same_as<bool>;
  { b.end_object(n) } -> std::same_as<bool>;
  { b.string(s) } -> std::same_as<bool>;
  { b.integer(i) } -> std::same_as<bool>;
  { b.big_integer(t) } -> std::same_as<bool>;
  { b.float64(d) } -> std::same_as<bool>;
  { b.boolean(f) } -> std::same_as<bool>;
  { b.null() } -> std::same_as<bool>;
};

namespace detail {

template <JsonBuilder Builder>
class JsonParser {
 public:
  JsonParser(JsonCursor& cursor, Builder& builder) noexcept : in_(cursor), builder_(builder) {}

  std::optional<JsonError> run() {
    if (parse_value(0)) {
      in_.skip_blank();
      if (in_.at_end()) return std::nullopt;
      in_.fail_here(JsonErrorCode::TrailingCharacters);
    }
    return in_.error();
  }

  // One value at the cursor (blanks before it skipped), inside `depth`
  // containers; the cursor ends just past it. False with the fault recorded
  // in the cursor.
  bool value(unsigned depth) { return parse_value(depth); }

 private:
  bool stopped() noexcept { return in_.fail_here(JsonErrorCode::StoppedByBuilder); }

  // Inlined into each container loop, so a scalar member costs no call;
  // only nested containers recurse.
  [[gnu::always_inline]] bool parse_value(unsigned depth) {
    in_.skip_blank();
    if (in_.at_end()) return in_.fail(JsonErrorCode::EofWhileParsingValue, in_.end());
    switch (in_.peek()) {
      case '"': {
        in_.advance();
        JsonString s;
        if (!in_.parse_string(s)) return false;
        return builder_.string(s) || stopped();
      }
      case '[': return parse_array(depth);
      case '{': return parse_object(depth);
      case 't': return in_.parse_literal("true", 4) && (builder_.boolean(true) || stopped());
      case 'f': return in_.parse_literal("false", 5) && (builder_.boolean(false) || stopped());
      case 'n': return in_.parse_literal("null", 4) && (builder_.null() || stopped());
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9': return parse_number();
      default: return in_.fail_here(JsonErrorCode::ExpectedValue);
    }
  }

  bool parse_number() {
    JsonNumber n;
    if (!in_.parse_number(n)) return false;
    switch (n.kind) {
      case JsonNumber::Kind::Int: return builder_.integer(n.integer) || stopped();
      case JsonNumber::Kind::Float: return builder_.float64(n.real) || stopped();
      case JsonNumber::Kind::BigInt: return builder_.big_integer(n.text) || stopped();
    }
    return false;
  }

  // depth: containers around the one opening here, which makes depth + 1.
  [[gnu::noinline]] bool parse_array(unsigned depth) {
    if (depth >= kMaxJsonNesting) return in_.fail_here(JsonErrorCode::RecursionLimitExceeded);
    if (!builder_.begin_array()) return stopped();
    in_.advance();
    in_.skip_blank();
    if (in_.at_end()) return in_.fail(JsonErrorCode::EofWhileParsingList, in_.end());
    if (in_.peek() == ']') {
      in_.advance();
      return builder_.end_array(0) || stopped();
    }
    std::size_t count = 0;
    for (;;) {
      if (!parse_value(depth + 1)) return false;
      ++count;
      in_.skip_blank();
      if (in_.at_end()) return in_.fail(JsonErrorCode::EofWhileParsingList, in_.end());
      const char c = in_.peek();
      if (c == ',') {
        in_.advance();
        in_.skip_blank();
        if (!in_.at_end() && (in_.peek() == ']' || in_.peek() == '}')) {
          return in_.fail_here(JsonErrorCode::TrailingComma);
        }
        continue;
      }
      if (c == ']') {
        in_.advance();
        return builder_.end_array(count) || stopped();
      }
      return in_.fail_here(JsonErrorCode::ExpectedListCommaOrEnd);
    }
  }

  [[gnu::noinline]] bool parse_object(unsigned depth) {
    if (depth >= kMaxJsonNesting) return in_.fail_here(JsonErrorCode::RecursionLimitExceeded);
    if (!builder_.begin_object()) return stopped();
    in_.advance();
    in_.skip_blank();
    if (in_.at_end()) return in_.fail(JsonErrorCode::EofWhileParsingObject, in_.end());
    if (in_.peek() == '}') {
      in_.advance();
      return builder_.end_object(0) || stopped();
    }
    if (in_.peek() != '"') return in_.fail_here(JsonErrorCode::KeyMustBeAString);
    std::size_t count = 0;
    for (;;) {
      in_.advance();  // the key's opening quote
      JsonString key;
      if (!in_.parse_string(key)) return false;
      if (!builder_.key(key)) return stopped();
      in_.skip_blank();
      if (in_.at_end()) return in_.fail(JsonErrorCode::EofWhileParsingObject, in_.end());
      if (in_.peek() != ':') return in_.fail_here(JsonErrorCode::ExpectedColon);
      in_.advance();
      if (!parse_value(depth + 1)) return false;
      ++count;
      in_.skip_blank();
      if (in_.at_end()) return in_.fail(JsonErrorCode::EofWhileParsingObject, in_.end());
      const char c = in_.peek();
      if (c == ',') {
        in_.advance();
        in_.skip_blank();
        if (in_.at_end()) return in_.fail(JsonErrorCode::EofWhileParsingObject, in_.end());
        if (in_.peek() == '}' || in_.peek() == ']') return in_.fail_here(JsonErrorCode::TrailingComma);
        if (in_.peek() != '"') return in_.fail_here(JsonErrorCode::KeyMustBeAString);
        continue;
      }
      if (c == '}') {
        in_.advance();
        return builder_.end_object(count) || stopped();
      }
      return in_.fail_here(JsonErrorCode::ExpectedObjectCommaOrEnd);
    }
  }

  JsonCursor& in_;
  Builder& builder_;
};

}  // namespace detail

// Parses text into builder. nullopt on success; otherwise the error with its
// line and column (StoppedByBuilder when a callback returned false).
template <JsonBuilder Builder>
std::optional<JsonError> parse_json(std::string_view text, Builder& builder) {
  JsonCursor cursor(text);
  return detail::JsonParser<Builder>(cursor, builder).run();
}

}  // namespace tessolin::json

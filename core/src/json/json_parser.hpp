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
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "json/json_error.hpp"
#include "json/json_float.hpp"
#include "json/json_scan.hpp"

namespace tessolin::json {

// Containers around a value, at most; opening one more is
// "recursion limit exceeded".
inline constexpr unsigned kMaxJsonNesting = 200;

// Integers written with more characters than this (sign included) are
// "number out of range".
inline constexpr std::size_t kMaxJsonIntegerChars = 4300;

// A decoded string: valid UTF-8 without surrogates.
struct JsonString {
  std::string_view utf8;
  bool had_escapes;  // utf8 points into the scratch buffer, not the input
  bool ascii;        // every byte is below 0x80
};

template <class B>
concept JsonBuilder = requires(B& b, const JsonString& s, std::string_view t, std::size_t n, std::int64_t i,
                               double d, bool f) {
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
  JsonParser(std::string_view text, Builder& builder) noexcept
      : begin_(text.data()), end_(text.data() + text.size()), p_(begin_), builder_(builder) {}

  std::optional<JsonError> run() {
    if (parse_value(0)) {
      p_ = scan::skip_blank(p_, end_);
      if (p_ == end_) return std::nullopt;
      fail(JsonErrorCode::TrailingCharacters, p_);
    }
    return locate_json_error(std::string_view(begin_, static_cast<std::size_t>(end_ - begin_)), code_,
                             static_cast<std::size_t>(fault_ - begin_));
  }

 private:
  bool fail(JsonErrorCode code, const char* at) noexcept {
    code_ = code;
    fault_ = at;
    return false;
  }
  bool stopped() noexcept { return fail(JsonErrorCode::StoppedByBuilder, p_); }
  static bool is_digit(char c) noexcept { return static_cast<unsigned char>(c - '0') < 10; }

  // Inlined into each container loop, so a scalar member costs no call;
  // only nested containers recurse.
  [[gnu::always_inline]] bool parse_value(unsigned depth) {
    p_ = scan::skip_blank(p_, end_);
    if (p_ == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
    switch (*p_) {
      case '"': {
        ++p_;
        JsonString s;
        if (!parse_string(s)) return false;
        return builder_.string(s) || stopped();
      }
      case '[': return parse_array(depth);
      case '{': return parse_object(depth);
      case 't': return parse_literal("true", 4) && (builder_.boolean(true) || stopped());
      case 'f': return parse_literal("false", 5) && (builder_.boolean(false) || stopped());
      case 'n': return parse_literal("null", 4) && (builder_.null() || stopped());
      case '-':
      case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9':
        return parse_number();
      default: return fail(JsonErrorCode::ExpectedValue, p_);
    }
  }

  bool parse_literal(const char* word, std::size_t length) noexcept {
    for (std::size_t i = 1; i < length; ++i) {
      if (p_ + i == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
      if (p_[i] != word[i]) return fail(JsonErrorCode::ExpectedIdent, p_ + i);
    }
    p_ += length;
    return true;
  }

  // depth: containers around the one opening here.
  [[gnu::noinline]] bool parse_array(unsigned depth) {
    if (depth > kMaxJsonNesting) return fail(JsonErrorCode::RecursionLimitExceeded, p_);
    if (!builder_.begin_array()) return stopped();
    ++p_;
    p_ = scan::skip_blank(p_, end_);
    if (p_ == end_) return fail(JsonErrorCode::EofWhileParsingList, end_);
    if (*p_ == ']') {
      ++p_;
      return builder_.end_array(0) || stopped();
    }
    std::size_t count = 0;
    for (;;) {
      if (!parse_value(depth + 1)) return false;
      ++count;
      p_ = scan::skip_blank(p_, end_);
      if (p_ == end_) return fail(JsonErrorCode::EofWhileParsingList, end_);
      const char c = *p_;
      if (c == ',') {
        p_ = scan::skip_blank(p_ + 1, end_);
        if (p_ != end_ && (*p_ == ']' || *p_ == '}')) return fail(JsonErrorCode::TrailingComma, p_);
        continue;
      }
      if (c == ']') {
        ++p_;
        return builder_.end_array(count) || stopped();
      }
      return fail(JsonErrorCode::ExpectedListCommaOrEnd, p_);
    }
  }

  [[gnu::noinline]] bool parse_object(unsigned depth) {
    if (depth > kMaxJsonNesting) return fail(JsonErrorCode::RecursionLimitExceeded, p_);
    if (!builder_.begin_object()) return stopped();
    ++p_;
    p_ = scan::skip_blank(p_, end_);
    if (p_ == end_) return fail(JsonErrorCode::EofWhileParsingObject, end_);
    if (*p_ == '}') {
      ++p_;
      return builder_.end_object(0) || stopped();
    }
    if (*p_ != '"') return fail(JsonErrorCode::KeyMustBeAString, p_);
    std::size_t count = 0;
    for (;;) {
      ++p_;  // the key's opening quote
      JsonString key;
      if (!parse_string(key)) return false;
      if (!builder_.key(key)) return stopped();
      p_ = scan::skip_blank(p_, end_);
      if (p_ == end_) return fail(JsonErrorCode::EofWhileParsingObject, end_);
      if (*p_ != ':') return fail(JsonErrorCode::ExpectedColon, p_);
      ++p_;
      if (!parse_value(depth + 1)) return false;
      ++count;
      p_ = scan::skip_blank(p_, end_);
      if (p_ == end_) return fail(JsonErrorCode::EofWhileParsingObject, end_);
      const char c = *p_;
      if (c == ',') {
        p_ = scan::skip_blank(p_ + 1, end_);
        if (p_ == end_) return fail(JsonErrorCode::EofWhileParsingObject, end_);
        if (*p_ == '}' || *p_ == ']') return fail(JsonErrorCode::TrailingComma, p_);
        if (*p_ != '"') return fail(JsonErrorCode::KeyMustBeAString, p_);
        continue;
      }
      if (c == '}') {
        ++p_;
        return builder_.end_object(count) || stopped();
      }
      return fail(JsonErrorCode::ExpectedObjectCommaOrEnd, p_);
    }
  }

  // Clinger's fast path: a mantissa below 2^53 and a power of ten up to
  // 10^22 are exact doubles, so one multiplication or division rounds
  // correctly.
  static bool exact_float(std::uint64_t mantissa, std::size_t digits, std::int64_t exponent, double& out) noexcept {
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (digits > 19 || mantissa > (std::uint64_t{1} << 53) || exponent < -22 || exponent > 22) return false;
    const auto m = static_cast<double>(mantissa);
    out = exponent < 0 ? m / powers[-exponent] : m * powers[exponent];
    return true;
  }

  bool parse_number() {
    const char* start = p_;
    const char* p = p_;
    const bool negative = *p == '-';
    if (negative) ++p;
    if (p == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
    std::uint64_t magnitude = 0;
    const char* digits = p;
    if (*p == '0') {
      ++p;
      if (p != end_ && is_digit(*p)) return fail(JsonErrorCode::InvalidNumber, p);
    } else if (is_digit(*p)) {
      // Wraps past 19 digits; only read when there are at most 19.
      do {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*p - '0');
        ++p;
      } while (p != end_ && is_digit(*p));
    } else {
      return fail(JsonErrorCode::InvalidNumber, p);
    }
    const auto digit_count = static_cast<std::size_t>(p - digits);
    if (p != end_ && (*p == '.' || *p == 'e' || *p == 'E')) {
      // Digits and exponent are gathered on the way for the exact fast path
      // (the mantissa may wrap; it is only used with at most 19 digits).
      std::uint64_t mantissa = magnitude;
      std::size_t mantissa_digits = digit_count;
      std::int64_t exponent = 0;
      if (*p == '.') {
        ++p;
        if (p == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
        if (!is_digit(*p)) return fail(JsonErrorCode::InvalidNumber, p);
        const char* fraction = p;
        do {
          mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
          ++p;
        } while (p != end_ && is_digit(*p));
        mantissa_digits += static_cast<std::size_t>(p - fraction);
        exponent = -(p - fraction);
      }
      if (p != end_ && (*p == 'e' || *p == 'E')) {
        ++p;
        bool exponent_negative = false;
        if (p != end_ && (*p == '+' || *p == '-')) exponent_negative = *p++ == '-';
        if (p == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
        if (!is_digit(*p)) return fail(JsonErrorCode::InvalidNumber, p);
        std::int64_t written = 0;
        do {
          if (written < 100000) written = written * 10 + (*p - '0');
          ++p;
        } while (p != end_ && is_digit(*p));
        exponent += exponent_negative ? -written : written;
      }
      p_ = p;
      double value;
      if (!exact_float(mantissa, mantissa_digits, exponent, value))
        value = json_float_value(negative ? start + 1 : start, p);
      return builder_.float64(negative ? -value : value) || stopped();
    }
    p_ = p;
    constexpr std::uint64_t int64_max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (digit_count <= 19 && magnitude <= int64_max + (negative ? 1 : 0)) {
      // Modular conversion: -2^63 comes out right.
      const auto value = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
      return builder_.integer(value) || stopped();
    }
    const auto length = static_cast<std::size_t>(p - start);
    if (length > kMaxJsonIntegerChars) return fail(JsonErrorCode::NumberOutOfRange, start);
    return builder_.big_integer(std::string_view(start, length)) || stopped();
  }

  // p_ is just past the opening quote; on success just past the closing one.
  // Most strings are plain ASCII without escapes: one scan finds their end.
  [[gnu::always_inline]] bool parse_string(JsonString& out) {
    const char* p = scan::find_string_special(p_, end_);
    if (p != end_ && *p == '"') {
      out = JsonString{std::string_view(p_, static_cast<std::size_t>(p - p_)), false, true};
      p_ = p + 1;
      return true;
    }
    return parse_string_rest(out, p);
  }

  // The rest of parse_string: p is at the first byte that ends the plain
  // run (or at the end).
  [[gnu::noinline]] bool parse_string_rest(JsonString& out, const char* p) {
    const char* run = p_;  // start of the plain bytes not yet copied to scratch
    bool escaped = false;
    bool ascii = true;
    for (;;) {
      p = scan::find_string_special(p, end_);
      if (p == end_) return fail(JsonErrorCode::EofWhileParsingString, end_);
      const auto c = static_cast<unsigned char>(*p);
      if (c == '"') {
        if (escaped) {
          scratch_.append(run, p);
          out = JsonString{std::string_view(scratch_), true, ascii};
        } else {
          out = JsonString{std::string_view(run, static_cast<std::size_t>(p - run)), false, ascii};
        }
        p_ = p + 1;
        return true;
      }
      if (c == '\\') {
        if (!escaped) {
          scratch_.clear();
          escaped = true;
        }
        scratch_.append(run, p);
        if (!decode_escape(p, ascii)) return false;
        run = p;
        continue;
      }
      if (c < 0x20) return fail(JsonErrorCode::ControlCharacterInString, p);
      int length = 0;
      switch (scan::check_utf8_sequence(p, end_, length)) {
        case scan::Utf8Check::Valid: break;
        case scan::Utf8Check::Truncated: return fail(JsonErrorCode::EofWhileParsingString, end_);
        case scan::Utf8Check::Invalid: return fail(JsonErrorCode::InvalidUnicodeCodePoint, p);
      }
      ascii = false;
      p += length;
    }
  }

  // Reads four hex digits at p; the value lands in cp.
  bool read_hex4(const char*& p, std::uint32_t& cp) noexcept {
    cp = 0;
    for (int i = 0; i < 4; ++i, ++p) {
      if (p == end_) return fail(JsonErrorCode::EofWhileParsingString, end_);
      const int v = scan::hex_value(static_cast<unsigned char>(*p));
      if (v < 0) return fail(JsonErrorCode::InvalidEscape, p);
      cp = cp << 4 | static_cast<std::uint32_t>(v);
    }
    return true;
  }

  // p is at a backslash; on success just past the escape, its bytes in scratch.
  bool decode_escape(const char*& p, bool& ascii) {
    ++p;
    if (p == end_) return fail(JsonErrorCode::EofWhileParsingString, end_);
    char simple;
    switch (*p) {
      case '"': simple = '"'; break;
      case '\\': simple = '\\'; break;
      case '/': simple = '/'; break;
      case 'b': simple = '\b'; break;
      case 'f': simple = '\f'; break;
      case 'n': simple = '\n'; break;
      case 'r': simple = '\r'; break;
      case 't': simple = '\t'; break;
      case 'u': {
        ++p;
        std::uint32_t cp;
        if (!read_hex4(p, cp)) return false;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return fail(JsonErrorCode::LoneLeadingSurrogateInHexEscape, p - 1);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
          if (p == end_) return fail(JsonErrorCode::EofWhileParsingString, end_);
          if (*p != '\\') return fail(JsonErrorCode::UnexpectedEndOfHexEscape, p);
          if (p + 1 == end_) return fail(JsonErrorCode::EofWhileParsingString, end_);
          if (p[1] != 'u') return fail(JsonErrorCode::UnexpectedEndOfHexEscape, p + 1);
          p += 2;
          std::uint32_t low;
          if (!read_hex4(p, low)) return false;
          if (low < 0xDC00 || low > 0xDFFF) return fail(JsonErrorCode::LoneLeadingSurrogateInHexEscape, p - 1);
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        char buffer[4];
        const int n = scan::encode_utf8(cp, buffer);
        if (cp >= 0x80) ascii = false;
        scratch_.append(buffer, static_cast<std::size_t>(n));
        return true;
      }
      default: return fail(JsonErrorCode::InvalidEscape, p);
    }
    scratch_.push_back(simple);
    ++p;
    return true;
  }

  const char* begin_;
  const char* end_;
  const char* p_;
  Builder& builder_;
  std::string scratch_;
  JsonErrorCode code_ = JsonErrorCode::StoppedByBuilder;
  const char* fault_ = nullptr;
};

}  // namespace detail

// Parses text into builder. nullopt on success; otherwise the error with its
// line and column (StoppedByBuilder when a callback returned false).
template <JsonBuilder Builder>
std::optional<JsonError> parse_json(std::string_view text, Builder& builder) {
  return detail::JsonParser<Builder>(text, builder).run();
}

}  // namespace tessolin::json

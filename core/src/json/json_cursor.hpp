#pragma once
// The token level of the JSON grammar: a position in the text, blanks,
// strings, numbers and the three literals, and the first fault met. The
// parser (json_parser.hpp) and every reader that checks a document while
// reading it share these, so they share one grammar, one set of messages
// and one set of error positions. Tested through the parser in
// core/tests/json.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "json/json_error.hpp"
#include "json/json_float.hpp"
#include "json/json_scan.hpp"
#include "limits/limits.hpp"

namespace tessolin::json {

// Containers around a value, at most; opening one more is
// "recursion limit exceeded".
inline constexpr unsigned kMaxJsonNesting = limits::kMaxJsonNesting;

// Integers written with more characters than this (sign included) are
// "number out of range".
inline constexpr std::size_t kMaxJsonIntegerChars = limits::kMaxJsonIntegerChars;

// A decoded string: valid UTF-8 without surrogates.
struct JsonString {
  std::string_view utf8;
  bool had_escapes;  // utf8 points into the scratch buffer, not the input
  bool ascii;        // every byte is below 0x80
};

// A number as read: an int64, an integer beyond it (its text: optional '-',
// then digits without a leading zero) or a double (+-inf beyond range).
struct JsonNumber {
  enum class Kind : std::uint8_t { Int, BigInt, Float } kind;
  std::int64_t integer;
  double real;
  std::string_view text;  // BigInt only; points into the input
};

class JsonCursor {
 public:
  explicit JsonCursor(std::string_view text) noexcept
      : begin_(text.data()), end_(text.data() + text.size()), p_(begin_) {}
  JsonCursor(const JsonCursor&) = delete;
  JsonCursor& operator=(const JsonCursor&) = delete;

  const char* begin() const noexcept { return begin_; }
  const char* end() const noexcept { return end_; }
  const char* position() const noexcept { return p_; }
  // Only back to a place this cursor has been (a value's first byte).
  void seek(const char* p) noexcept { p_ = p; }
  std::string_view text() const noexcept { return {begin_, static_cast<std::size_t>(end_ - begin_)}; }

  void skip_blank() noexcept { p_ = scan::skip_blank(p_, end_); }
  bool at_end() const noexcept { return p_ == end_; }
  // The byte at the position; only when not at_end().
  char peek() const noexcept { return *p_; }
  void advance() noexcept { ++p_; }

  // Records the fault (the first one stays meaningful: callers stop at once)
  // and returns false.
  bool fail(JsonErrorCode code, const char* at) noexcept {
    code_ = code;
    fault_ = at;
    return false;
  }
  bool fail_here(JsonErrorCode code) noexcept { return fail(code, p_); }
  JsonErrorCode fault_code() const noexcept { return code_; }
  // The recorded fault with its line and column.
  JsonError error() const noexcept {
    return locate_json_error(text(), code_, static_cast<std::size_t>(fault_ - begin_));
  }

  // The rest of a literal whose first byte is at the position; on success
  // just past it.
  bool parse_literal(const char* word, std::size_t length) noexcept {
    for (std::size_t i = 1; i < length; ++i) {
      if (p_ + i == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
      if (p_[i] != word[i]) return fail(JsonErrorCode::ExpectedIdent, p_ + i);
    }
    p_ += length;
    return true;
  }

  // A number starting at the position ('-' or a digit); on success just
  // past it.
  bool parse_number(JsonNumber& out) noexcept {
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
    if (p != end_ && (*p == '.' || *p == 'e' || *p == 'E'))
      return parse_fraction(start, p, negative, magnitude, digit_count, out);
    p_ = p;
    constexpr std::uint64_t int64_max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (digit_count <= 19 && magnitude <= int64_max + (negative ? 1 : 0)) {
      // Modular conversion: -2^63 comes out right.
      out.kind = JsonNumber::Kind::Int;
      out.integer = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
      return true;
    }
    const auto length = static_cast<std::size_t>(p - start);
    if (length > kMaxJsonIntegerChars) return fail(JsonErrorCode::NumberOutOfRange, start);
    out.kind = JsonNumber::Kind::BigInt;
    out.text = std::string_view(start, length);
    return true;
  }

  // The kind of a number starting at the position, without its value: the
  // same grammar and limits as parse_number, for readers that only test
  // kinds. On success just past it.
  bool scan_number(JsonNumber::Kind& kind) noexcept {
    const char* p = p_;
    if (*p == '-') ++p;
    if (p == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
    const char* digits = p;
    if (*p == '0') {
      ++p;
      if (p != end_ && is_digit(*p)) return fail(JsonErrorCode::InvalidNumber, p);
    } else if (is_digit(*p)) {
      p = skip_digits(p + 1);
    } else {
      return fail(JsonErrorCode::InvalidNumber, p);
    }
    if (p != end_ && (*p == '.' || *p == 'e' || *p == 'E')) {
      if (*p == '.') {
        ++p;
        if (p == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
        if (!is_digit(*p)) return fail(JsonErrorCode::InvalidNumber, p);
        p = skip_digits(p + 1);
      }
      if (p != end_ && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != end_ && (*p == '+' || *p == '-')) ++p;
        if (p == end_) return fail(JsonErrorCode::EofWhileParsingValue, end_);
        if (!is_digit(*p)) return fail(JsonErrorCode::InvalidNumber, p);
        p = skip_digits(p + 1);
      }
      p_ = p;
      kind = JsonNumber::Kind::Float;
      return true;
    }
    if (p - digits < 19) {
      p_ = p;
      kind = JsonNumber::Kind::Int;
      return true;
    }
    // Long enough to leave int64: the value decides (read from the start,
    // where the position still is).
    JsonNumber number;
    if (!parse_number(number)) return false;
    kind = number.kind;
    return true;
  }

  // The position is just past the opening quote; on success just past the
  // closing one. Most strings are plain ASCII without escapes: one scan
  // finds their end.
  [[gnu::always_inline]] bool parse_string(JsonString& out) {
    const char* p = scan::find_string_special(p_, end_);
    if (p != end_ && *p == '"') {
      out = JsonString{std::string_view(p_, static_cast<std::size_t>(p - p_)), false, true};
      p_ = p + 1;
      return true;
    }
    return parse_string_rest(out, p);
  }

 private:
  static bool is_digit(char c) noexcept { return static_cast<unsigned char>(c - '0') < 10; }
  const char* skip_digits(const char* p) const noexcept {
    // Numbers are short: a word-at-a-time scan measured slower here.
    while (p != end_ && is_digit(*p)) ++p;
    return p;
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

  // The number's fraction and exponent: p is at its '.', 'e' or 'E'.
  bool parse_fraction(const char* start, const char* p, bool negative, std::uint64_t magnitude, std::size_t digit_count,
                      JsonNumber& out) noexcept {
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
    if (!exact_float(mantissa, mantissa_digits, exponent, value)) {
      value = json_float_value(negative ? start + 1 : start, p);
    }
    out.kind = JsonNumber::Kind::Float;
    out.real = negative ? -value : value;
    return true;
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
      const char* valid_end = scan::skip_utf8(p, end_);
      if (valid_end == p) {
        int length = 0;
        switch (scan::check_utf8_sequence(p, end_, length)) {
          case scan::Utf8Check::Valid: break;
          case scan::Utf8Check::Truncated: return fail(JsonErrorCode::EofWhileParsingString, end_);
          case scan::Utf8Check::Invalid: return fail(JsonErrorCode::InvalidUnicodeCodePoint, p);
        }
        valid_end = p + length;
      }
      ascii = false;
      p = valid_end;
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
  std::string scratch_;
  JsonErrorCode code_ = JsonErrorCode::StoppedByBuilder;
  const char* fault_ = nullptr;
};

}  // namespace tessolin::json

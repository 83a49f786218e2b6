// Exact comparison and divisibility of 64-bit integers and doubles, as
// Python compares int and float: by value, never by rounding the integer;
// and the numbers and lengths of parsed JSON values as those comparisons
// and len() see them. Shared by the walk over JSON values and the plan that
// checks documents while they are read.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "ir/constraint.hpp"
#include "json/json_value.hpp"

namespace tessolin::check {

// -1, 0 or 1 for less, equal or greater; kUnordered when a NaN takes part.
inline constexpr int kUnordered = 2;

inline int order_int_double(int64_t a, double b) noexcept {
  if (std::isnan(b)) return kUnordered;
  constexpr double kTwo63 = 9223372036854775808.0;
  if (b >= kTwo63) return -1;
  if (b < -kTwo63) return 1;
  // -2**63 <= b < 2**63: its integral part is an exact int64.
  const double whole = std::trunc(b);
  const auto w = static_cast<int64_t>(whole);
  if (a != w) return a < w ? -1 : 1;
  const double fraction = b - whole;
  if (fraction == 0.0) return 0;
  return fraction > 0.0 ? -1 : 1;
}

inline int order_double_int(double a, int64_t b) noexcept {
  const int r = order_int_double(b, a);
  return r == kUnordered ? r : -r;
}

inline int order_doubles(double a, double b) noexcept {
  if (std::isnan(a) || std::isnan(b)) return kUnordered;
  return a < b ? -1 : (a > b ? 1 : 0);
}

inline int order_ints(int64_t a, int64_t b) noexcept { return a < b ? -1 : (a > b ? 1 : 0); }

// Python's a % d == 0 for ints: false for d == 0 (the division raises).
inline bool int_multiple_of(int64_t a, int64_t d) noexcept {
  if (d == 0) return false;
  if (d == -1 || d == 1) return true;  // also spares INT64_MIN % -1
  return a % d == 0;
}

// Python's a % d == 0 when a float takes part: both converted to double
// (Python does the same), zero divisor raises, and the remainder is zero
// exactly when fmod's is.
inline bool double_multiple_of(double a, double d) noexcept {
  if (d == 0.0) return false;
  return std::fmod(a, d) == 0.0;
}

// A number as the walk compares it: a 64-bit int (bool included), a double,
// or an int beyond 64 bits known only by its sign.
struct Number {
  enum class Kind : uint8_t { Int, Double, Big } kind;
  int64_t integer = 0;
  double real = 0.0;
  int sign = 0;
};

inline std::optional<Number> json_number(const json::JsonValue& v) noexcept {
  using json::JsonKind;
  switch (v.kind()) {
    case JsonKind::Bool: return Number{Number::Kind::Int, v.as_bool() ? 1 : 0};
    case JsonKind::Int: return Number{Number::Kind::Int, v.as_int()};
    case JsonKind::Float: return Number{Number::Kind::Double, 0, v.as_float()};
    case JsonKind::BigInt: return Number{Number::Kind::Big, 0, 0.0, v.big_int_text().front() == '-' ? -1 : 1};
    default: return std::nullopt;
  }
}

// The order of a against b, or nothing when exactness needs Python.
inline std::optional<int> order_numbers(const Number& a, const Number& b) noexcept {
  using K = Number::Kind;
  if (a.kind == K::Int) {
    if (b.kind == K::Int) return order_ints(a.integer, b.integer);
    if (b.kind == K::Double) return order_int_double(a.integer, b.real);
    return -b.sign;  // b lies beyond 64 bits
  }
  if (a.kind == K::Double) {
    if (b.kind == K::Int) return order_double_int(a.real, b.integer);
    if (b.kind == K::Double) return order_doubles(a.real, b.real);
    return std::nullopt;
  }
  if (b.kind == K::Int) return a.sign;
  return std::nullopt;
}

// Whether a bound constraint of `kind` passes at `order` (value against
// bound).
inline bool order_passes(ir::ConstraintKind kind, int order) noexcept {
  if (order == kUnordered) return false;
  switch (kind) {
    case ir::ConstraintKind::Ge: return order >= 0;
    case ir::ConstraintKind::Gt: return order > 0;
    case ir::ConstraintKind::Le: return order <= 0;
    default: return order < 0;
  }
}

// Python's a % d == 0 for two numbers, or nothing when exactness needs
// Python.
inline std::optional<bool> numbers_multiple_of(const Number& a, const Number& d) noexcept {
  using K = Number::Kind;
  if (a.kind == K::Int && d.kind == K::Int) return int_multiple_of(a.integer, d.integer);
  // |a| is below |d|, so the remainder is a itself or a + d; except that
  // -2**63 has the magnitude of the divisor 2**63, which only a sign of d
  // cannot tell from a larger one: Python decides there.
  if (a.kind == K::Int && d.kind == K::Big) {
    if (a.integer == INT64_MIN) return std::nullopt;
    return a.integer == 0;
  }
  if (a.kind == K::Big || d.kind == K::Big) return std::nullopt;
  const double x = a.kind == K::Int ? static_cast<double>(a.integer) : a.real;
  const double y = d.kind == K::Int ? static_cast<double>(d.integer) : d.real;
  return double_multiple_of(x, y);
}

inline uint64_t code_points(std::string_view utf8, bool ascii) noexcept {
  if (ascii) return utf8.size();
  uint64_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// Whether a text bound passes: UTF-8 byte order is code point order, which
// is how str compares.
inline bool text_order_passes(ir::ConstraintKind kind, std::string_view value, std::string_view bound) noexcept {
  const int c = value.compare(bound);
  return order_passes(kind, c < 0 ? -1 : (c > 0 ? 1 : 0));
}

}  // namespace tessolin::check

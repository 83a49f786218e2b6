#include "json/json_float.hpp"

#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace tessolin::json {
namespace {

// Decimal exponent of the leading non-zero digit (value in [10^e, 10^(e+1))),
// saturated; only its sign matters to the caller.
std::int64_t leading_digit_exponent(const char* p, const char* last) noexcept {
  if (*p == '-') ++p;
  std::int64_t position = -1;  // exponent of the leading digit before 'e'
  std::int64_t int_digits = 0;
  bool found = false;
  for (; p != last && *p >= '0' && *p <= '9'; ++p, ++int_digits) {
    if (!found && *p != '0') {
      found = true;
      position = int_digits;  // index among integer digits
    }
  }
  std::int64_t exponent10 = 0;
  if (found) exponent10 = int_digits - position - 1;
  if (p != last && *p == '.') {
    ++p;
    for (std::int64_t i = 1; p != last && *p >= '0' && *p <= '9'; ++p, ++i) {
      if (!found && *p != '0') {
        found = true;
        exponent10 = -i;
      }
    }
  }
  if (!found) return std::numeric_limits<std::int64_t>::min();
  std::int64_t e = 0;
  bool negative = false;
  if (p != last && (*p == 'e' || *p == 'E')) {
    ++p;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    constexpr std::int64_t cap = std::int64_t{1} << 40;
    for (; p != last; ++p)
      if (e < cap) e = e * 10 + (*p - '0');
  }
  return exponent10 + (negative ? -e : e);
}

}  // namespace

double json_float_value(const char* first, const char* last) noexcept {
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  (void)ptr;
  if (ec == std::errc{}) return value;
  // Out of range leaves value untouched: decide between overflow and
  // underflow by the magnitude of the text.
  const bool negative = *first == '-';
  if (leading_digit_exponent(first, last) >= 0)
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  return negative ? -0.0 : 0.0;
}

}  // namespace tessolin::json

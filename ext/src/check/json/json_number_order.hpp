// Exact comparison and divisibility of 64-bit integers and doubles, as
// Python compares int and float: by value, never by rounding the integer.
#pragma once

#include <cmath>
#include <cstdint>

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

}  // namespace tessolin::check

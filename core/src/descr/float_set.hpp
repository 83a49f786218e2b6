// Float sets: intervals of doubles in IEEE 754 total order, plus a NaN flag.
//
// Builders never store -0.0: a bound or literal equal to zero is stored as
// 0.0, so -0.0 and 0.0 are one member. An interval holds a float only if,
// after stepping an open low end up one float and an open high end down one
// float, low <= high: an open interval between two adjacent floats is empty.
// Normalisation drops such intervals, so a normalised set is inhabited
// exactly when it has an interval or the NaN flag. Intervals that meet at a
// point both exclude stay separate, and so do adjacent floats: equality is
// of representations, and may call two equal sets different.
// Nothing here throws; only float_bound_domain gives up.
// Tested by core/tests/descr (test_descr).
#pragma once

#include <compare>
#include <cstdint>
#include <vector>

#include "descr/outcome.hpp"
#include "ir/constraint.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

struct FloatInterval {
  double low = 0.0;
  uint8_t low_closed = 1;
  double high = 0.0;
  uint8_t high_closed = 1;
};

// Normal form: no empty interval, sorted by low, no overlap or shared
// member point.
struct FloatSet {
  std::vector<FloatInterval> intervals;
  uint8_t nan = 0;
};

// The IEEE total-order key of a double (-0.0 below 0.0, -inf lowest).
int64_t float_order_key(double x) noexcept;

// [-inf, +inf] closed, with NaN.
FloatSet float_set_full();
FloatSet float_set_empty();
// -0.0 ends become 0.0, intervals holding no float (a NaN end holds none)
// are dropped, the rest sorted by low (closed first at equal lows)
// and merged where they overlap or share a point one of them holds.
// O(n log n); `nan` is kept.
FloatSet float_set_normalize(std::vector<FloatInterval> intervals, uint8_t nan);
// The invariant every result here keeps; for assertions and tests.
bool float_set_is_normalized(const FloatSet& s) noexcept;
FloatSet float_set_from_interval(const FloatInterval& interval);
// The point {x}, -0.0 stored as 0.0; empty for a NaN, which equals nothing.
FloatSet float_set_point(double x);
// Both of these take and give normalised sets; intersection is the pairwise
// product, O(n * m log(n * m)).
FloatSet float_set_union(const FloatSet& a, const FloatSet& b);
FloatSet float_set_intersection(const FloatSet& a, const FloatSet& b);
// The gaps within [-inf, +inf], NaN flipped. Precondition: `a` normalised.
FloatSet complement_float_set(const FloatSet& a);
// True when some interval holds a float or nan is set.
bool float_set_is_inhabited(const FloatSet& a);
// Same NaN flag and the same intervals, ends compared as numbers.
bool float_set_eq(const FloatSet& a, const FloatSet& b);
// Intervals lexicographically (low, low_closed, high, high_closed, floats
// in the total order), then the NaN flag.
std::strong_ordering float_set_order(const FloatSet& a, const FloatSet& b);
// The floats satisfying a Ge/Gt/Le/Lt constraint whose bound the oracle
// reads as an int (any size it can give) or a float; gives up otherwise
// (declined, bool, text, None, a class, another constraint kind). An int
// that no float equals becomes the closed end at the nearest admitted
// float: x >= 2**53 + 1 is x >= 2**53 + 2. A NaN bound admits nothing.
Outcome<FloatSet> float_bound_domain(ir::Oracle& oracle, const ir::Constraint& bound);

}  // namespace tessolin::descr

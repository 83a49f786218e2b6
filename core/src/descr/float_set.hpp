// Float sets: intervals of doubles in IEEE 754 total order, plus a NaN flag.
//
// Builders never store -0.0: a bound or literal equal to zero is stored as
// 0.0, so -0.0 and 0.0 are one member. An interval holds a float only if,
// after stepping an open low end up one float and an open high end down one
// float, low <= high: an open interval between two adjacent floats is empty.
// Tested by core/tests/descr.
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

FloatSet float_set_full();
FloatSet float_set_empty();
FloatSet float_set_normalize(std::vector<FloatInterval> intervals, uint8_t nan);
FloatSet float_set_from_interval(const FloatInterval& interval);
FloatSet float_set_point(double x);  // -0.0 stored as 0.0; NaN sets the flag
FloatSet float_set_union(const FloatSet& a, const FloatSet& b);
FloatSet float_set_intersection(const FloatSet& a, const FloatSet& b);
FloatSet complement_float_set(const FloatSet& a);
// True when some interval holds a float or nan is set.
bool float_set_is_inhabited(const FloatSet& a);
bool float_set_eq(const FloatSet& a, const FloatSet& b);
std::strong_ordering float_set_order(const FloatSet& a, const FloatSet& b);
// The floats satisfying a Ge/Gt/Le/Lt constraint whose bound the oracle
// reads as an int (any size it can give) or a float; gives up otherwise.
Outcome<FloatSet> float_bound_domain(ir::Oracle& oracle, const ir::Constraint& bound);

}  // namespace tessolin::descr

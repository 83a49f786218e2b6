// Float sets: normal form, union, intersection, complement, the orders, and
// the sets of the floats that satisfy a numeric bound.
//
// Exports the operations of float_set.hpp. The stepping of an end to the
// next float (on the total-order key, with -0.0 folded into 0.0) stays
// private. Tested by core/tests/descr (test_descr).
#include "descr/float_set.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>
#include <utility>

namespace tessolin::descr {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

constexpr int64_t total_order_key(double x) noexcept {
  const auto bits = std::bit_cast<int64_t>(x);
  return bits < 0 ? bits ^ std::numeric_limits<int64_t>::max() : bits;
}

// Keys of the members: -0.0 is the member 0.0, so it gets 0.0's key and
// the steps below skip -0.0's own key.
int64_t member_key(double x) noexcept { return x == 0.0 ? 0 : total_order_key(x); }

double from_key(int64_t key) noexcept {
  return std::bit_cast<double>(key < 0 ? key ^ std::numeric_limits<int64_t>::max() : key);
}

constexpr int64_t kNegativeZeroKey = total_order_key(-0.0);
constexpr int64_t kPositiveInfinityKey = total_order_key(kInf);
constexpr int64_t kNegativeInfinityKey = total_order_key(-kInf);

// The next member above / below; the caller excludes +inf / -inf.
int64_t key_up(int64_t key) noexcept { return key + 1 == kNegativeZeroKey ? key + 2 : key + 1; }
int64_t key_down(int64_t key) noexcept { return key - 1 == kNegativeZeroKey ? key - 2 : key - 1; }

double float_up(double x) noexcept { return from_key(key_up(member_key(x))); }
double float_down(double x) noexcept { return from_key(key_down(member_key(x))); }

// Whether some float lies in the interval: an open end moves one float
// inwards, then the ends must not cross. (1.0, nextafter(1.0, 2)) holds
// none, although its ends differ. A NaN end admits nothing, as every
// comparison with NaN is false.
bool holds_float(const FloatInterval& i) noexcept {
  if (std::isnan(i.low) || std::isnan(i.high)) return false;
  int64_t low = member_key(i.low);
  int64_t high = member_key(i.high);
  if (!i.low_closed) {
    if (low >= kPositiveInfinityKey) return false;
    low = key_up(low);
  }
  if (!i.high_closed) {
    if (high <= kNegativeInfinityKey) return false;
    high = key_down(high);
  }
  return low <= high;
}

// Set operations compare members (-0.0 is 0.0); only float_set_order uses
// the plain total order.
std::strong_ordering member_order(double a, double b) noexcept { return member_key(a) <=> member_key(b); }
std::strong_ordering total_order(double a, double b) noexcept { return total_order_key(a) <=> total_order_key(b); }

// At equal values the closed low end first.
bool low_before(const FloatInterval& a, const FloatInterval& b) noexcept {
  if (auto c = member_order(a.low, b.low); c != 0) return c < 0;
  return a.low_closed > b.low_closed;
}

bool is_negative_zero(double x) noexcept { return x == 0.0 && std::signbit(x); }

std::strong_ordering interval_order(const FloatInterval& a, const FloatInterval& b) noexcept {
  if (auto c = total_order(a.low, b.low); c != 0) return c;
  if (auto c = a.low_closed <=> b.low_closed; c != 0) return c;
  if (auto c = total_order(a.high, b.high); c != 0) return c;
  return a.high_closed <=> b.high_closed;
}

bool interval_eq(const FloatInterval& a, const FloatInterval& b) noexcept {
  return a.low == b.low && a.low_closed == b.low_closed && a.high == b.high && a.high_closed == b.high_closed;
}

FloatSet of_interval(double low, bool low_closed, double high, bool high_closed) {
  return float_set_from_interval(
      FloatInterval{low, static_cast<uint8_t>(low_closed), high, static_cast<uint8_t>(high_closed)});
}

// The floats x with x >= bound (or x > bound), or x <= bound (x < bound).
FloatSet float_bound_set(ir::ConstraintKind kind, double bound) {
  const double x = bound == 0.0 ? 0.0 : bound;
  switch (kind) {
    case ir::ConstraintKind::Ge: return of_interval(x, true, kInf, true);
    case ir::ConstraintKind::Gt: return of_interval(x, false, kInf, true);
    case ir::ConstraintKind::Le: return of_interval(-kInf, true, x, true);
    default: return of_interval(-kInf, true, x, false);  // Lt
  }
}

// An int bound i that no float equals lies strictly between two floats,
// so it becomes a closed end at the float on the admitted side.
FloatSet int_bound_set(ir::ConstraintKind kind, int64_t bound) {
  const auto nearest = static_cast<double>(bound);  // round to nearest, ties to even
  // 2^63 is above every int64; below it the conversion back is exact.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  const bool above = nearest >= kTwoTo63 || static_cast<int64_t>(nearest) > bound;
  const bool below = nearest < kTwoTo63 && static_cast<int64_t>(nearest) < bound;
  const bool lower_bound = kind == ir::ConstraintKind::Ge || kind == ir::ConstraintKind::Gt;
  if (!above && !below) return float_bound_set(kind, nearest);
  if (above) {
    return lower_bound ? of_interval(nearest, true, kInf, true) : of_interval(-kInf, true, float_down(nearest), true);
  }
  return lower_bound ? of_interval(float_up(nearest), true, kInf, true) : of_interval(-kInf, true, nearest, true);
}

}  // namespace

int64_t float_order_key(double x) noexcept { return total_order_key(x); }

FloatSet float_set_full() { return FloatSet{{FloatInterval{-kInf, 1, kInf, 1}}, 1}; }
FloatSet float_set_empty() { return FloatSet{}; }

bool float_set_is_normalized(const FloatSet& s) noexcept {
  for (size_t n = 0; n < s.intervals.size(); ++n) {
    const FloatInterval& i = s.intervals[n];
    if (is_negative_zero(i.low) || is_negative_zero(i.high) || !holds_float(i)) return false;
    if (n == 0) continue;
    const FloatInterval& prev = s.intervals[n - 1];
    const auto c = member_order(prev.high, i.low);
    if (c > 0 || (c == 0 && (prev.high_closed || i.low_closed))) return false;
  }
  return true;
}

FloatSet float_set_normalize(std::vector<FloatInterval> intervals, uint8_t nan) {
  for (FloatInterval& i : intervals) {
    if (i.low == 0.0) i.low = 0.0;  // -0.0 is the member 0.0
    if (i.high == 0.0) i.high = 0.0;
  }
  std::erase_if(intervals, [](const FloatInterval& i) { return !holds_float(i); });
  std::stable_sort(intervals.begin(), intervals.end(), low_before);
  size_t kept = 0;
  for (size_t n = 0; n < intervals.size(); ++n) {
    FloatInterval& last = intervals[kept == 0 ? 0 : kept - 1];
    const FloatInterval& next = intervals[n];
    const auto c = kept == 0 ? std::strong_ordering::greater : member_order(next.low, last.high);
    // A point both exclude separates; adjacent floats are not merged.
    if (c > 0 || (c == 0 && !last.high_closed && !next.low_closed)) {
      intervals[kept++] = next;
      continue;
    }
    const auto h = member_order(next.high, last.high);
    if (h > 0) {
      last.high = next.high;
      last.high_closed = next.high_closed;
    } else if (h == 0) {
      last.high_closed = last.high_closed | next.high_closed;
    }
  }
  intervals.resize(kept);
  return FloatSet{std::move(intervals), nan};
}

FloatSet float_set_from_interval(const FloatInterval& interval) { return float_set_normalize({interval}, 0); }

FloatSet float_set_point(double x) {
  // A NaN equals nothing, itself included: its point set is empty.
  if (std::isnan(x)) return float_set_empty();
  return of_interval(x, true, x, true);
}

FloatSet float_set_union(const FloatSet& a, const FloatSet& b) {
  std::vector<FloatInterval> all;
  all.reserve(a.intervals.size() + b.intervals.size());
  all.insert(all.end(), a.intervals.begin(), a.intervals.end());
  all.insert(all.end(), b.intervals.begin(), b.intervals.end());
  return float_set_normalize(std::move(all), a.nan | b.nan);
}

FloatSet float_set_intersection(const FloatSet& a, const FloatSet& b) {
  std::vector<FloatInterval> overlaps;
  for (const FloatInterval& x : a.intervals) {
    for (const FloatInterval& y : b.intervals) {
      FloatInterval both;
      const auto lo = member_order(x.low, y.low);
      const FloatInterval& upper_low = lo > 0 ? x : y;
      both.low = upper_low.low;
      both.low_closed = lo == 0 ? (x.low_closed & y.low_closed) : upper_low.low_closed;
      const auto hi = member_order(x.high, y.high);
      const FloatInterval& lower_high = hi < 0 ? x : y;
      both.high = lower_high.high;
      both.high_closed = hi == 0 ? (x.high_closed & y.high_closed) : lower_high.high_closed;
      if (holds_float(both)) overlaps.push_back(both);
    }
  }
  return float_set_normalize(std::move(overlaps), a.nan & b.nan);
}

FloatSet complement_float_set(const FloatSet& a) {
  assert(float_set_is_normalized(a));
  std::vector<FloatInterval> gaps;
  double cursor = -kInf;
  uint8_t cursor_closed = 1;
  for (const FloatInterval& i : a.intervals) {
    const auto c = member_order(cursor, i.low);
    if (c < 0) {
      gaps.push_back(FloatInterval{cursor, cursor_closed, i.low, static_cast<uint8_t>(!i.low_closed)});
    } else if (c == 0 && cursor_closed && !i.low_closed) {
      gaps.push_back(FloatInterval{cursor, 1, cursor, 1});
    }
    cursor = i.high;
    cursor_closed = !i.high_closed;
  }
  const auto c = member_order(cursor, kInf);
  if (c < 0 || (c == 0 && cursor_closed)) gaps.push_back(FloatInterval{cursor, cursor_closed, kInf, 1});
  // Gaps between adjacent floats hold nothing; normalising drops them.
  return float_set_normalize(std::move(gaps), a.nan ^ 1);
}

bool float_set_is_inhabited(const FloatSet& a) {
  return a.nan != 0 || std::any_of(a.intervals.begin(), a.intervals.end(), holds_float);
}

bool float_set_eq(const FloatSet& a, const FloatSet& b) {
  return a.nan == b.nan &&
         std::equal(a.intervals.begin(), a.intervals.end(), b.intervals.begin(), b.intervals.end(), interval_eq);
}

std::strong_ordering float_set_order(const FloatSet& a, const FloatSet& b) {
  if (auto c = std::lexicographical_compare_three_way(a.intervals.begin(), a.intervals.end(), b.intervals.begin(),
                                                      b.intervals.end(), interval_order);
      c != 0)
    return c;
  return a.nan <=> b.nan;
}

Outcome<FloatSet> float_bound_domain(ir::Oracle& oracle, const ir::Constraint& bound) {
  const ir::ConstraintKind kind = bound.kind();
  if (kind != ir::ConstraintKind::Ge && kind != ir::ConstraintKind::Gt && kind != ir::ConstraintKind::Le &&
      kind != ir::ConstraintKind::Lt)
    return kGaveUp;
  const ir::LiteralValue value = oracle.constraint_value(bound.word());
  if (value.tag == ir::answer_tag::kInt) return int_bound_set(kind, value.int_value);
  if (value.tag != ir::answer_tag::kFloat) return kGaveUp;  // declined, bool, text, None, class
  // Every comparison with NaN is false: the bound admits no float.
  if (std::isnan(value.float_value)) return float_set_empty();
  return float_bound_set(kind, value.float_value);
}

}  // namespace tessolin::descr

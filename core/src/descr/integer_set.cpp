// Integer sets: interval arithmetic over 128-bit quotients, re-expression at
// a larger modulus, join, meet, complement, equality and the order.
//
// Exports the operations of integer_set.hpp. The end arithmetic (saturating
// +1/-1, floor and ceiling division of negative quotients) stays private.
// Tested by core/tests/descr (test_descr).
#include "descr/integer_set.hpp"

#include <algorithm>
#include <cassert>
#include <utility>

namespace tessolin::descr {
namespace {

__extension__ using UInt128 = unsigned __int128;
constexpr Int128 kInt128Max = static_cast<Int128>(~static_cast<UInt128>(0) >> 1);
constexpr Int128 kInt128Min = -kInt128Max - 1;

Int128 saturating_add(Int128 a, Int128 b) noexcept {
  Int128 sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? kInt128Max : kInt128Min;
  return sum;
}

// a = divisor * quotient + remainder with 0 <= remainder < divisor.
struct FloorDivision {
  Int128 quotient;
  Int128 remainder;
};

FloorDivision floor_divide(Int128 a, Int128 divisor) noexcept {
  assert(divisor >= 1);
  Int128 quotient = a / divisor;
  Int128 remainder = a % divisor;
  if (remainder < 0) {
    --quotient;
    remainder += divisor;
  }
  return {quotient, remainder};
}

// floor((x - offset) / factor), or the ceiling. Splitting x first keeps the
// subtraction small, so the result is exact for factor >= 2; with factor 1
// the result is x - offset, saturating at the 128-bit limits.
Int128 shifted_quotient(Int128 x, int64_t offset, int64_t factor, bool ceiling) noexcept {
  const FloorDivision whole = floor_divide(x, factor);
  const FloorDivision rest = floor_divide(whole.remainder - offset, factor);
  const Int128 part = rest.quotient + (ceiling && rest.remainder != 0 ? 1 : 0);
  return saturating_add(whole.quotient, part);
}

bool is_inverted(const Interval& i) noexcept { return i.low && i.high && *i.high < *i.low; }

// Absent low first, then ascending present lows.
bool low_before(const Interval& a, const Interval& b) noexcept {
  if (!b.low) return false;
  if (!a.low) return true;
  return *a.low < *b.low;
}

bool interval_contains(const Interval& i, Int128 q) noexcept {
  return (!i.low || *i.low <= q) && (!i.high || q <= *i.high);
}

// Absent ends sort before present ones, at either end.
std::strong_ordering end_order(const std::optional<Int128>& a, const std::optional<Int128>& b) noexcept {
  if (a.has_value() != b.has_value()) return a.has_value() ? std::strong_ordering::greater : std::strong_ordering::less;
  if (!a) return std::strong_ordering::equal;
  return *a <=> *b;
}

std::strong_ordering interval_order(const Interval& a, const Interval& b) noexcept {
  if (auto c = end_order(a.low, b.low); c != 0) return c;
  return end_order(a.high, b.high);
}

std::strong_ordering interval_set_order(const IntervalSet& a, const IntervalSet& b) noexcept {
  return std::lexicographical_compare_three_way(a.intervals.begin(), a.intervals.end(), b.intervals.begin(),
                                                b.intervals.end(), interval_order);
}

bool is_full(const IntervalSet& s) noexcept {
  return s.intervals.size() == 1 && !s.intervals[0].low && !s.intervals[0].high;
}

IntegerSet with_one_residue(IntervalSet s) {
  IntegerSet out;
  out.modulus = 1;
  out.residues.push_back(std::move(s));
  return out;
}

// Join or meet residue by residue at the lcm of both moduli.
Outcome<IntegerSet> combine(const IntegerSet& a, const IntegerSet& b, CombineMode mode) {
  assert(integer_set_is_well_formed(a) && integer_set_is_well_formed(b));
  const uint64_t m = modulus_lcm(a.modulus, b.modulus);
  if (m > kMaxModulus) return kGaveUp;
  Outcome<IntegerSet> left = integer_set_rebase(a, m);
  Outcome<IntegerSet> right = integer_set_rebase(b, m);
  if (!left || !right) return kGaveUp;
  IntegerSet out;
  out.modulus = m;
  out.residues.reserve(m);
  for (uint64_t r = 0; r < m; ++r) {
    const IntervalSet& x = left->residues[r];
    const IntervalSet& y = right->residues[r];
    out.residues.push_back(mode == CombineMode::Join ? interval_set_union(x, y) : interval_set_intersection(x, y));
  }
  // Only the two trivial common forms fold back to modulus 1; any other
  // set stays at the lcm.
  const IntervalSet& first = out.residues[0];
  const bool uniform =
      std::all_of(out.residues.begin(), out.residues.end(), [&](const IntervalSet& s) { return s == first; });
  if (m != 1 && uniform) {
    if (first.intervals.empty()) return integer_set_empty();
    if (is_full(first)) return integer_set_full();
  }
  return out;
}

}  // namespace

// --- interval sets ---

IntervalSet interval_set_full() { return IntervalSet{{Interval{}}}; }

IntervalSet interval_set_range(bool has_low, int64_t low, bool has_high, int64_t high) {
  Interval i;
  if (has_low) i.low = low;
  if (has_high) i.high = high;
  if (is_inverted(i)) return {};
  return IntervalSet{{i}};
}

bool interval_set_is_normalized(const IntervalSet& s) noexcept {
  const auto& v = s.intervals;
  for (size_t n = 0; n < v.size(); ++n) {
    if (is_inverted(v[n])) return false;
    if (n == 0) continue;
    const Interval& prev = v[n - 1];
    if (!prev.high || !v[n].low || !(saturating_add(*prev.high, 1) < *v[n].low)) return false;
  }
  return true;
}

IntervalSet interval_set_normalize(IntervalSet s) {
  std::vector<Interval>& v = s.intervals;
  std::erase_if(v, is_inverted);
  std::stable_sort(v.begin(), v.end(), low_before);
  size_t kept = 0;
  for (size_t n = 0; n < v.size(); ++n) {
    Interval& last = v[kept == 0 ? 0 : kept - 1];
    const Interval& next = v[n];
    // The +1 saturates, so an interval ending at the largest value absorbs
    // everything after it.
    if (kept == 0 || (last.high && next.low && saturating_add(*last.high, 1) < *next.low)) {
      v[kept++] = next;
    } else if (!last.high || !next.high) {
      last.high.reset();
    } else {
      last.high = std::max(*last.high, *next.high);
    }
  }
  v.resize(kept);
  return s;
}

IntervalSet interval_set_union(const IntervalSet& a, const IntervalSet& b) {
  IntervalSet out;
  out.intervals.reserve(a.intervals.size() + b.intervals.size());
  out.intervals.insert(out.intervals.end(), a.intervals.begin(), a.intervals.end());
  out.intervals.insert(out.intervals.end(), b.intervals.begin(), b.intervals.end());
  return interval_set_normalize(std::move(out));
}

IntervalSet interval_set_intersection(const IntervalSet& a, const IntervalSet& b) {
  IntervalSet out;
  for (const Interval& x : a.intervals) {
    for (const Interval& y : b.intervals) {
      Interval both;
      if (x.low && y.low)
        both.low = std::max(*x.low, *y.low);
      else
        both.low = x.low ? x.low : y.low;
      if (x.high && y.high)
        both.high = std::min(*x.high, *y.high);
      else
        both.high = x.high ? x.high : y.high;
      if (!is_inverted(both)) out.intervals.push_back(both);
    }
  }
  return interval_set_normalize(std::move(out));
}

IntervalSet interval_set_complement(const IntervalSet& a) {
  assert(interval_set_is_normalized(a));
  if (a.intervals.empty()) return interval_set_full();
  IntervalSet gaps;
  std::optional<Int128> cursor;  // absent: unbounded below
  bool live = true;
  for (const Interval& i : a.intervals) {
    if (i.low && *i.low != kInt128Min) gaps.intervals.push_back(Interval{cursor, *i.low - 1});
    if (!i.high || *i.high == kInt128Max) {
      live = false;
      break;
    }
    cursor = *i.high + 1;
  }
  if (live && cursor) gaps.intervals.push_back(Interval{cursor, std::nullopt});
  return interval_set_normalize(std::move(gaps));
}

IntervalSet interval_set_reindex(const IntervalSet& s, int64_t offset, int64_t factor) {
  assert(factor >= 1);
  IntervalSet out;
  out.intervals.reserve(s.intervals.size());
  for (const Interval& i : s.intervals) {
    Interval moved;
    if (i.low) moved.low = shifted_quotient(*i.low, offset, factor, /*ceiling=*/true);
    if (i.high) moved.high = shifted_quotient(*i.high, offset, factor, /*ceiling=*/false);
    out.intervals.push_back(moved);  // inverted when no member is congruent to offset
  }
  return interval_set_normalize(std::move(out));
}

// --- integer sets ---

IntegerSet integer_set_full() { return with_one_residue(interval_set_full()); }
IntegerSet integer_set_empty() { return with_one_residue(IntervalSet{}); }
IntegerSet integer_set_single(int64_t v) { return with_one_residue(interval_set_range(true, v, true, v)); }

IntegerSet integer_set_range(bool has_low, int64_t low, bool has_high, int64_t high) {
  return with_one_residue(interval_set_range(has_low, low, has_high, high));
}

Outcome<IntegerSet> integer_set_multiple_of(int64_t n) {
  if (n == 0) return integer_set_single(0);
  // Negating in unsigned arithmetic keeps INT64_MIN defined.
  const uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  if (magnitude > kMaxModulus) return kGaveUp;
  IntegerSet out;
  out.modulus = magnitude;
  out.residues.resize(magnitude);
  out.residues[0] = interval_set_full();
  return out;
}

bool integer_set_contains(const IntegerSet& s, uint64_t x) {
  assert(integer_set_is_well_formed(s));
  const IntervalSet& residue = s.residues[x % s.modulus];
  const Int128 q = x / s.modulus;
  return std::any_of(residue.intervals.begin(), residue.intervals.end(),
                     [q](const Interval& i) { return interval_contains(i, q); });
}

IntegerSet integer_set_complement(const IntegerSet& s) {
  assert(integer_set_is_well_formed(s));
  IntegerSet out;
  out.modulus = s.modulus;
  out.residues.reserve(s.residues.size());
  for (const IntervalSet& r : s.residues) out.residues.push_back(interval_set_complement(r));
  return out;
}

uint64_t modulus_lcm(uint64_t a, uint64_t b) {
  assert(a >= 1 && b >= 1);
  uint64_t x = a;
  uint64_t y = b;
  while (y != 0) x = std::exchange(y, x % y);
  uint64_t lcm = 0;
  // Past 64 bits means far past kMaxModulus: answer the largest word.
  if (__builtin_mul_overflow(a / x, b, &lcm)) return UINT64_MAX;
  return lcm;
}

Outcome<IntegerSet> integer_set_rebase(const IntegerSet& s, uint64_t target_modulus) {
  assert(integer_set_is_well_formed(s));
  if (target_modulus == s.modulus) return s;
  if (target_modulus == 0 || target_modulus > kMaxModulus) return kGaveUp;
  // Callers pass a multiple (the lcm); any other target cannot hold the set.
  if (target_modulus % s.modulus != 0) return kGaveUp;
  const auto factor = static_cast<int64_t>(target_modulus / s.modulus);
  IntegerSet out;
  out.modulus = target_modulus;
  out.residues.reserve(target_modulus);
  for (uint64_t r = 0; r < target_modulus; ++r) {
    const auto offset = static_cast<int64_t>(r / s.modulus);
    out.residues.push_back(interval_set_reindex(s.residues[r % s.modulus], offset, factor));
  }
  return out;
}

Outcome<IntegerSet> integer_set_join(const IntegerSet& a, const IntegerSet& b) {
  return combine(a, b, CombineMode::Join);
}

Outcome<IntegerSet> integer_set_meet(const IntegerSet& a, const IntegerSet& b) {
  return combine(a, b, CombineMode::Meet);
}

bool integer_set_eq(const IntegerSet& a, const IntegerSet& b) {
  const uint64_t m = modulus_lcm(a.modulus, b.modulus);
  if (m > kMaxModulus) return false;
  Outcome<IntegerSet> left = integer_set_rebase(a, m);
  Outcome<IntegerSet> right = integer_set_rebase(b, m);
  // Normalised interval sets are unique, so equal residues mean equal sets.
  return left && right && left->residues == right->residues;
}

bool integer_set_is_empty(const IntegerSet& s) {
  return std::all_of(s.residues.begin(), s.residues.end(), [](const IntervalSet& r) { return r.intervals.empty(); });
}

std::strong_ordering integer_set_order(const IntegerSet& a, const IntegerSet& b) {
  if (auto c = a.modulus <=> b.modulus; c != 0) return c;
  return std::lexicographical_compare_three_way(a.residues.begin(), a.residues.end(), b.residues.begin(),
                                                b.residues.end(), interval_set_order);
}

bool integer_set_is_well_formed(const IntegerSet& s) noexcept {
  if (s.modulus < 1 || s.modulus > kMaxModulus || s.residues.size() != s.modulus) return false;
  return std::all_of(s.residues.begin(), s.residues.end(), interval_set_is_normalized);
}

}  // namespace tessolin::descr

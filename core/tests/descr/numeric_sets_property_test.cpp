// Random small integer and float sets checked against plain membership:
// join, meet, complement, equality and emptiness must agree with a
// brute-force member test on every probe value.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "descr/float_set.hpp"
#include "descr/integer_set.hpp"

namespace tessolin::descr {
namespace {

constexpr int kRounds = 3000;

// --- integer sets ---

// Quotient ends lie in [-6, 6] and moduli in 1..12, so past |x| = 83 a
// set repeats with its modulus; probes to 300 cover every lcm (<= 132)
// on both sides, so agreeing on them means the sets are equal.
constexpr int64_t kProbeLimit = 300;

bool brute_member(const IntegerSet& s, int64_t x) {
  const auto m = static_cast<int64_t>(s.modulus);
  const int64_t r = ((x % m) + m) % m;
  const Int128 q = (x - r) / m;
  for (const Interval& i : s.residues[r].intervals) {
    if ((!i.low || *i.low <= q) && (!i.high || q <= *i.high)) return true;
  }
  return false;
}

std::optional<Int128> random_end(std::mt19937_64& rng) {
  if (rng() % 6 == 0) return std::nullopt;
  return static_cast<Int128>(static_cast<int64_t>(rng() % 13) - 6);
}

IntegerSet random_integer_set(std::mt19937_64& rng) {
  IntegerSet s;
  s.modulus = 1 + rng() % 12;
  s.residues.resize(s.modulus);
  for (IntervalSet& r : s.residues) {
    const uint64_t count = rng() % 4;
    for (uint64_t n = 0; n < count; ++n) r.intervals.push_back(Interval{random_end(rng), random_end(rng)});
    r = interval_set_normalize(r);
  }
  return s;
}

template <class Membership>
void expect_members(const IntegerSet& s, Membership expected, const char* what) {
  ASSERT_TRUE(integer_set_is_well_formed(s)) << what;
  for (int64_t x = -kProbeLimit; x <= kProbeLimit; ++x)
    ASSERT_EQ(brute_member(s, x), expected(x)) << what << " at " << x;
}

TEST(NumericSetsPropertyTest, IntegerSetsAgreeWithMembership) {
  std::mt19937_64 rng(20240613);
  for (int round = 0; round < kRounds; ++round) {
    const IntegerSet a = random_integer_set(rng);
    const IntegerSet b = random_integer_set(rng);
    auto in_a = [&](int64_t x) { return brute_member(a, x); };
    auto in_b = [&](int64_t x) { return brute_member(b, x); };

    Outcome<IntegerSet> join = integer_set_join(a, b);
    Outcome<IntegerSet> meet = integer_set_meet(a, b);
    ASSERT_TRUE(join && meet);  // every lcm of 1..12 is far below the limit
    expect_members(
        *join, [&](int64_t x) { return in_a(x) || in_b(x); }, "join");
    expect_members(
        *meet, [&](int64_t x) { return in_a(x) && in_b(x); }, "meet");
    expect_members(
        integer_set_complement(a), [&](int64_t x) { return !in_a(x); }, "complement");

    bool same = true;
    bool a_empty = true;
    for (int64_t x = -kProbeLimit; x <= kProbeLimit; ++x) {
      same = same && in_a(x) == in_b(x);
      a_empty = a_empty && !in_a(x);
    }
    ASSERT_EQ(integer_set_eq(a, b), same) << round;
    ASSERT_EQ(integer_set_is_empty(a), a_empty) << round;
    if (integer_set_order(a, b) == 0) {
      ASSERT_TRUE(integer_set_eq(a, b)) << round;
    }
    ASSERT_EQ(integer_set_order(a, b), 0 <=> integer_set_order(b, a)) << round;

    // The same set at a larger modulus: equal, and with the same members.
    const uint64_t factor = 1 + rng() % 5;
    Outcome<IntegerSet> wider = integer_set_rebase(a, a.modulus * factor);
    ASSERT_TRUE(wider);
    expect_members(*wider, in_a, "rebase");
    ASSERT_TRUE(integer_set_eq(a, *wider)) << round;
    for (uint64_t x = 0; x < 20; ++x) ASSERT_EQ(integer_set_contains(a, x), in_a(static_cast<int64_t>(x))) << x;
  }
}

// --- float sets ---

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

// Ends drawn from values around the special points: the infinities, both
// zeros, the smallest subnormals, and floats adjacent to 1.0.
const std::vector<double>& end_pool() {
  static const std::vector<double> pool = {
      -kInf, -2.0, -1.0, -kTiny, -0.0, 0.0, kTiny, std::nextafter(1.0, 0.0), 1.0, std::nextafter(1.0, 2.0), 2.0, kInf};
  return pool;
}

// Every end and the floats on either side: an interval holds a float
// exactly when it holds one of these.
const std::vector<double>& float_probes() {
  static const std::vector<double> probes = [] {
    std::vector<double> out;
    for (double x : end_pool()) {
      out.push_back(x);
      out.push_back(std::nextafter(x, -kInf));
      out.push_back(std::nextafter(x, kInf));
    }
    out.push_back(std::numeric_limits<double>::quiet_NaN());
    return out;
  }();
  return probes;
}

// Plain comparisons, in which -0.0 == 0.0, as Python compares floats.
bool brute_member(const std::vector<FloatInterval>& intervals, uint8_t nan, double v) {
  if (std::isnan(v)) return nan != 0;
  for (const FloatInterval& i : intervals) {
    const bool above_low = i.low < v || (i.low_closed && i.low == v);
    const bool below_high = v < i.high || (i.high_closed && v == i.high);
    if (above_low && below_high) return true;
  }
  return false;
}

bool brute_member(const FloatSet& s, double v) { return brute_member(s.intervals, s.nan, v); }

FloatSet random_raw_float_set(std::mt19937_64& rng) {
  const std::vector<double>& pool = end_pool();
  FloatSet s;
  const uint64_t count = rng() % 4;
  for (uint64_t n = 0; n < count; ++n) {
    s.intervals.push_back(FloatInterval{pool[rng() % pool.size()], static_cast<uint8_t>(rng() % 2),
                                        pool[rng() % pool.size()], static_cast<uint8_t>(rng() % 2)});
  }
  s.nan = static_cast<uint8_t>(rng() % 2);
  return s;
}

template <class Membership>
void expect_members(const FloatSet& s, Membership expected, const char* what) {
  ASSERT_TRUE(float_set_is_normalized(s)) << what;
  for (double v : float_probes()) ASSERT_EQ(brute_member(s, v), expected(v)) << what << " at " << v;
}

TEST(NumericSetsPropertyTest, FloatSetsAgreeWithMembership) {
  std::mt19937_64 rng(61305);
  for (int round = 0; round < kRounds; ++round) {
    const FloatSet raw_a = random_raw_float_set(rng);
    const FloatSet raw_b = random_raw_float_set(rng);
    auto in_a = [&](double v) { return brute_member(raw_a, v); };
    auto in_b = [&](double v) { return brute_member(raw_b, v); };

    bool raw_inhabited = false;
    for (double v : float_probes()) raw_inhabited = raw_inhabited || in_a(v);
    ASSERT_EQ(float_set_is_inhabited(raw_a), raw_inhabited) << round;

    const FloatSet a = float_set_normalize(raw_a.intervals, raw_a.nan);
    const FloatSet b = float_set_normalize(raw_b.intervals, raw_b.nan);
    expect_members(a, in_a, "normalize");
    ASSERT_EQ(float_set_is_inhabited(a), !a.intervals.empty() || a.nan) << round;
    expect_members(
        float_set_union(a, b), [&](double v) { return in_a(v) || in_b(v); }, "union");
    expect_members(
        float_set_intersection(a, b), [&](double v) { return in_a(v) && in_b(v); }, "intersection");
    expect_members(
        complement_float_set(a), [&](double v) { return !in_a(v); }, "complement");
    expect_members(complement_float_set(complement_float_set(a)), in_a, "double complement");

    // Equality is of representations: it may miss equal sets, never claim
    // different ones equal.
    if (float_set_eq(a, b)) {
      for (double v : float_probes()) ASSERT_EQ(in_a(v), in_b(v)) << round;
    }
    ASSERT_EQ(float_set_eq(a, b), float_set_order(a, b) == 0) << round;
  }
}

}  // namespace
}  // namespace tessolin::descr

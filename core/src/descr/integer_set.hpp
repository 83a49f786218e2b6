// Integer sets: unions of residue classes, each an interval set of quotients.
//
// An IntegerSet with modulus m holds the ints m*q + r for every residue r in
// 0..m-1 and every quotient q in residues[r]. One set has many
// representations (any multiple of a sufficient modulus), so equality is
// semantic (integer_set_eq) while the order used for sorting compares
// representations: deduplicate with integer_set_eq, never by order == 0.
// Tested by core/tests/descr.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <vector>

#include "descr/outcome.hpp"

namespace tessolin::descr {

__extension__ using Int128 = __int128;

// A closed interval of 128-bit quotients; an absent end is unbounded.
struct Interval {
  std::optional<Int128> low;
  std::optional<Int128> high;
  bool operator==(const Interval&) const = default;
};

// Sorted by low, disjoint, non-adjacent, no empty interval (normal form).
struct IntervalSet {
  std::vector<Interval> intervals;
  bool operator==(const IntervalSet&) const = default;
};

struct IntegerSet {
  uint64_t modulus = 1;             // 1..kMaxModulus
  std::vector<IntervalSet> residues;  // exactly `modulus` entries
};

// --- interval sets (every result normalised) ---
IntervalSet interval_set_full();
IntervalSet interval_set_range(bool has_low, int64_t low, bool has_high, int64_t high);
IntervalSet interval_set_union(const IntervalSet& a, const IntervalSet& b);
IntervalSet interval_set_intersection(const IntervalSet& a, const IntervalSet& b);
IntervalSet interval_set_complement(const IntervalSet& a);
IntervalSet interval_set_normalize(IntervalSet s);
// [lo, hi] -> [ceil((lo - j) / k), floor((hi - j) / k)], k >= 1.
IntervalSet interval_set_reindex(const IntervalSet& s, int64_t offset, int64_t factor);

// --- integer sets ---
IntegerSet integer_set_full();
IntegerSet integer_set_empty();
IntegerSet integer_set_single(int64_t v);
IntegerSet integer_set_range(bool has_low, int64_t low, bool has_high, int64_t high);
// The multiples of n; gives up when |n| exceeds kMaxModulus.
Outcome<IntegerSet> integer_set_multiple_of(int64_t n);
// Asked only for 0 and 1 (which bools an int constraint admits).
bool integer_set_contains(const IntegerSet& s, uint64_t x);
IntegerSet integer_set_complement(const IntegerSet& s);
uint64_t modulus_lcm(uint64_t a, uint64_t b);
Outcome<IntegerSet> integer_set_rebase(const IntegerSet& s, uint64_t target_modulus);
Outcome<IntegerSet> integer_set_join(const IntegerSet& a, const IntegerSet& b);
Outcome<IntegerSet> integer_set_meet(const IntegerSet& a, const IntegerSet& b);
// Same set as far as a common modulus up to kMaxModulus can show.
bool integer_set_eq(const IntegerSet& a, const IntegerSet& b);
bool integer_set_is_empty(const IntegerSet& s);
// Representation order (modulus, then residues; absent ends first).
std::strong_ordering integer_set_order(const IntegerSet& a, const IntegerSet& b);

}  // namespace tessolin::descr

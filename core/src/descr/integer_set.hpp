// Integer sets: unions of residue classes, each an interval set of quotients.
//
// An IntegerSet with modulus m holds the ints m*q + r for every residue r in
// 0..m-1 and every quotient q in residues[r]. One set has many
// representations (any multiple of a sufficient modulus), so equality is
// semantic (integer_set_eq) while the order used for sorting compares
// representations: deduplicate with integer_set_eq, never by order == 0.
//
// Quotient ends are 128-bit; every end computation saturates at the 128-bit
// limits rather than overflowing. Nothing here throws; the only give-ups are
// a modulus past kMaxModulus (multiple_of, rebase, join, meet).
// Tested by core/tests/descr (test_descr).
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
  uint64_t modulus = 1;               // 1..kMaxModulus
  std::vector<IntervalSet> residues;  // exactly `modulus` entries
};

// --- interval sets (every result normalised) ---
IntervalSet interval_set_full();
// Empty when both ends are present and high < low.
IntervalSet interval_set_range(bool has_low, int64_t low, bool has_high, int64_t high);
// O((n + m) log(n + m)).
IntervalSet interval_set_union(const IntervalSet& a, const IntervalSet& b);
// Pairwise product, then normalised: O(n * m log(n * m)).
IntervalSet interval_set_intersection(const IntervalSet& a, const IntervalSet& b);
// Precondition: `a` normalised. O(n).
IntervalSet interval_set_complement(const IntervalSet& a);
// Drops inverted intervals, sorts by low (absent first), merges overlapping
// and touching ones ([1, 3] and [4, 6] become [1, 6]).
IntervalSet interval_set_normalize(IntervalSet s);
// The invariant every result above keeps; for assertions and tests.
bool interval_set_is_normalized(const IntervalSet& s) noexcept;
// [lo, hi] -> [ceil((lo - j) / k), floor((hi - j) / k)], k >= 1: the
// quotients at modulus m*k of the members congruent to j, when `s` holds
// quotients at modulus m. Exact for k >= 2; with k = 1 it saturates.
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
// Same modulus, each residue complemented.
IntegerSet integer_set_complement(const IntegerSet& s);
// Least common multiple (moduli are >= 1); UINT64_MAX when it overflows.
uint64_t modulus_lcm(uint64_t a, uint64_t b);
// The same set at `target_modulus`, a multiple of s.modulus (callers pass
// the lcm); gives up for 0, a non-multiple, or past kMaxModulus. O(target).
Outcome<IntegerSet> integer_set_rebase(const IntegerSet& s, uint64_t target_modulus);
// Union / intersection at the lcm of the moduli; gives up when the lcm is
// past kMaxModulus. A result whose residues are all empty (all full) folds
// back to integer_set_empty (integer_set_full); any other stays at the lcm.
Outcome<IntegerSet> integer_set_join(const IntegerSet& a, const IntegerSet& b);
Outcome<IntegerSet> integer_set_meet(const IntegerSet& a, const IntegerSet& b);
// Same set as far as a common modulus up to kMaxModulus can show: false
// when the lcm is past it, even for equal sets. This, not order == 0, is
// the test for deduplication.
bool integer_set_eq(const IntegerSet& a, const IntegerSet& b);
bool integer_set_is_empty(const IntegerSet& s);
// Representation order, for sorting only: modulus, then residues
// lexicographically, each interval by low then high, an absent end before a
// present one. Two equal sets at different moduli are not order-equal.
std::strong_ordering integer_set_order(const IntegerSet& a, const IntegerSet& b);
// Modulus in 1..kMaxModulus, one normalised residue per class; for
// assertions and tests.
bool integer_set_is_well_formed(const IntegerSet& s) noexcept;

}  // namespace tessolin::descr

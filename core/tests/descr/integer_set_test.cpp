// Tables for integer sets: normal form, complement at the 128-bit ends,
// re-indexing of negative quotients, join and meet at the lcm, the modulus
// limit, and equality against the representation order.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "descr/integer_set.hpp"

namespace tessolin::descr {
namespace {

__extension__ using UInt128 = unsigned __int128;
constexpr Int128 kMax = static_cast<Int128>(~static_cast<UInt128>(0) >> 1);
constexpr Int128 kMin = -kMax - 1;
constexpr std::optional<Int128> kOpen = std::nullopt;  // an absent (unbounded) end

IntervalSet set_of(std::initializer_list<Interval> intervals) { return IntervalSet{intervals}; }

std::string end_text(const std::optional<Int128>& end) {
  if (!end) return "_";
  if (*end == kMin) return "MIN";
  if (*end == kMax) return "MAX";
  return std::to_string(static_cast<long long>(*end));
}

// Debug text for failures: [lo,hi] with "_" for an absent end.
std::string text(const IntervalSet& s) {
  std::string out;
  for (const Interval& i : s.intervals) out += "[" + end_text(i.low) + "," + end_text(i.high) + "]";
  return out.empty() ? "{}" : out;
}

std::string text(const IntegerSet& s) {
  std::string out = "mod " + std::to_string(s.modulus) + ":";
  for (const IntervalSet& r : s.residues) out += " " + text(r);
  return out;
}

// A set at `modulus` whose listed residues are full and the others empty.
IntegerSet full_residues(uint64_t modulus, std::initializer_list<uint64_t> full) {
  IntegerSet s;
  s.modulus = modulus;
  s.residues.resize(modulus);
  for (uint64_t r : full) s.residues[r] = interval_set_full();
  return s;
}

struct IntervalCase {
  const char* name;
  IntervalSet input;
  IntervalSet expected;
};

TEST(IntervalSetTest, NormalizeMergesSortsAndDrops) {
  const IntervalCase cases[] = {
      {"touching merge", set_of({{4, 6}, {1, 3}}), set_of({{1, 6}})},
      {"gap kept", set_of({{1, 3}, {5, 6}}), set_of({{1, 3}, {5, 6}})},
      {"inverted dropped", set_of({{5, 2}}), set_of({})},
      {"unbounded high absorbs", set_of({{1, kOpen}, {5, 6}, {10, 20}}), set_of({{1, kOpen}})},
      {"absent low sorts first", set_of({{2, 5}, {kOpen, 3}}), set_of({{kOpen, 5}})},
      {"contained", set_of({{0, 10}, {2, 3}, {12, 12}}), set_of({{0, 10}, {12, 12}})},
      {"far ends stay apart", set_of({{kMax - 1, kMax}, {kMin, kMin + 1}}),
       set_of({{kMin, kMin + 1}, {kMax - 1, kMax}})},
      {"touching at the top", set_of({{0, kMax - 1}, {kMax, kMax}}), set_of({{0, kMax}})},
      {"top end saturates", set_of({{5, kMax}, {kMax, kMax}}), set_of({{5, kMax}})},
      {"everything", set_of({{kOpen, 0}, {1, kOpen}}), set_of({{kOpen, kOpen}})},
  };
  for (const IntervalCase& c : cases) {
    IntervalSet got = interval_set_normalize(c.input);
    EXPECT_EQ(got, c.expected) << c.name << ": " << text(got);
    EXPECT_TRUE(interval_set_is_normalized(got)) << c.name;
  }
}

TEST(IntervalSetTest, ComplementAtTheEnds) {
  const IntervalCase cases[] = {
      {"empty", set_of({}), set_of({{kOpen, kOpen}})},
      {"full", set_of({{kOpen, kOpen}}), set_of({})},
      {"from the smallest value", set_of({{kMin, 5}}), set_of({{6, kOpen}})},
      {"above the smallest value", set_of({{kMin + 1, 5}}), set_of({{kOpen, kMin}, {6, kOpen}})},
      {"unbounded above", set_of({{7, kOpen}}), set_of({{kOpen, 6}})},
      {"to the largest value", set_of({{3, kMax}}), set_of({{kOpen, 2}})},
      {"below the largest value", set_of({{3, kMax - 1}}), set_of({{kOpen, 2}, {kMax, kOpen}})},
      {"two pieces", set_of({{1, 2}, {5, 6}}), set_of({{kOpen, 0}, {3, 4}, {7, kOpen}})},
      {"unbounded below", set_of({{kOpen, -4}, {0, 0}}), set_of({{-3, -1}, {1, kOpen}})},
  };
  for (const IntervalCase& c : cases) {
    IntervalSet got = interval_set_complement(c.input);
    EXPECT_EQ(got, c.expected) << c.name << ": " << text(got);
  }
}

TEST(IntervalSetTest, ReindexRoundsNegativeQuotientsInward) {
  struct Case {
    const char* name;
    IntervalSet input;
    int64_t offset;
    int64_t factor;
    IntervalSet expected;
  };
  const Case cases[] = {
      {"1, 5, 9", set_of({{0, 9}}), 1, 4, set_of({{0, 2}})},
      {"-7, -3", set_of({{-9, -1}}), 1, 4, set_of({{-2, -1}})},
      {"no member congruent", set_of({{2, 3}}), 1, 4, set_of({})},
      {"absent ends stay absent", set_of({{kOpen, -1}, {4, kOpen}}), 2, 3, set_of({{kOpen, -1}, {1, kOpen}})},
      // Exact at the 128-bit ends: (MIN - 3) / 4 rounds up to MIN / 4.
      {"128-bit ends", set_of({{kMin, kMax}}), 3, 4, set_of({{kMin / 4, (kMax - 3) / 4}})},
      {"factor 1 saturates", set_of({{kMin + 2, 7}}), 5, 1, set_of({{kMin, 2}})},
      {"factor 1 top", set_of({{-3, kMax - 1}}), -5, 1, set_of({{2, kMax}})},
  };
  for (const Case& c : cases) {
    IntervalSet got = interval_set_reindex(c.input, c.offset, c.factor);
    EXPECT_EQ(got, c.expected) << c.name << ": " << text(got);
  }
}

TEST(IntervalSetTest, IntersectionKeepsPresentEnds) {
  IntervalSet got = interval_set_intersection(set_of({{kOpen, 4}, {8, kOpen}}), set_of({{2, 10}, {20, kOpen}}));
  EXPECT_EQ(got, set_of({{2, 4}, {8, 10}, {20, kOpen}})) << text(got);
  EXPECT_EQ(interval_set_intersection(set_of({{kOpen, kOpen}}), set_of({})), set_of({}));
}

TEST(IntegerSetTest, Constructors) {
  EXPECT_TRUE(integer_set_is_empty(integer_set_range(true, 5, true, 3)));
  EXPECT_TRUE(integer_set_is_empty(integer_set_empty()));
  EXPECT_FALSE(integer_set_is_empty(integer_set_single(-7)));
  IntegerSet open_below = integer_set_range(false, 0, true, 3);
  EXPECT_EQ(open_below.residues[0], set_of({{kOpen, 3}}));
  for (const IntegerSet& s : {integer_set_full(), integer_set_empty(), integer_set_single(4), open_below})
    EXPECT_TRUE(integer_set_is_well_formed(s)) << text(s);
}

TEST(IntegerSetTest, MultipleOf) {
  struct Case {
    int64_t n;
    std::optional<uint64_t> modulus;  // nullopt: gives up
  };
  const Case cases[] = {
      {4096, 4096}, {-4096, 4096}, {4097, std::nullopt}, {-5000, std::nullopt}, {INT64_MIN, std::nullopt}, {1, 1},
      {-1, 1},      {3, 3}};
  for (const Case& c : cases) {
    Outcome<IntegerSet> got = integer_set_multiple_of(c.n);
    ASSERT_EQ(got.has_value(), c.modulus.has_value()) << c.n;
    if (!got) continue;
    EXPECT_EQ(got->modulus, *c.modulus) << c.n;
    EXPECT_TRUE(integer_set_is_well_formed(*got)) << c.n;
    EXPECT_TRUE(integer_set_eq(*got, full_residues(*c.modulus, {0}))) << c.n;
  }
  // Multiples of 1 are every int; of 0 only 0.
  EXPECT_TRUE(integer_set_eq(*integer_set_multiple_of(-1), integer_set_full()));
  Outcome<IntegerSet> zero = integer_set_multiple_of(0);
  ASSERT_TRUE(zero);
  EXPECT_TRUE(integer_set_eq(*zero, integer_set_single(0)));
}

TEST(IntegerSetTest, ContainsZeroAndOne) {
  IntegerSet odd = full_residues(2, {1});
  EXPECT_FALSE(integer_set_contains(odd, 0));
  EXPECT_TRUE(integer_set_contains(odd, 1));
  IntegerSet up_to_zero = integer_set_range(false, 0, true, 0);
  EXPECT_TRUE(integer_set_contains(up_to_zero, 0));
  EXPECT_FALSE(integer_set_contains(up_to_zero, 1));
}

TEST(IntegerSetTest, ComplementOfTheTrivialSets) {
  IntegerSet none = integer_set_complement(integer_set_full());
  EXPECT_EQ(none.modulus, 1u);
  EXPECT_TRUE(integer_set_is_empty(none));
  EXPECT_TRUE(integer_set_eq(integer_set_complement(integer_set_empty()), integer_set_full()));
  IntegerSet even_complement = integer_set_complement(full_residues(2, {0}));
  EXPECT_EQ(even_complement.modulus, 2u);
  EXPECT_TRUE(integer_set_eq(even_complement, full_residues(2, {1})));
}

TEST(IntegerSetTest, JoinAndMeetAtTheLcm) {
  const IntegerSet twos = *integer_set_multiple_of(2);
  const IntegerSet threes = *integer_set_multiple_of(3);

  Outcome<IntegerSet> join = integer_set_join(twos, threes);
  ASSERT_TRUE(join);
  EXPECT_EQ(join->modulus, 6u);
  EXPECT_EQ(join->residues, full_residues(6, {0, 2, 3, 4}).residues) << text(*join);

  Outcome<IntegerSet> meet = integer_set_meet(twos, threes);
  ASSERT_TRUE(meet);
  EXPECT_EQ(meet->residues, full_residues(6, {0}).residues) << text(*meet);

  // A range meets a residue class quotient by quotient: 0, 4, 8 in [-1, 10].
  Outcome<IntegerSet> fours = integer_set_meet(integer_set_range(true, -1, true, 10), *integer_set_multiple_of(4));
  ASSERT_TRUE(fours);
  EXPECT_EQ(fours->modulus, 4u);
  EXPECT_EQ(fours->residues[0], set_of({{0, 2}})) << text(*fours);
  for (uint64_t r = 1; r < 4; ++r) EXPECT_EQ(fours->residues[r], set_of({})) << text(*fours);
}

TEST(IntegerSetTest, TrivialResultsFoldToModulusOne) {
  const IntegerSet twos = *integer_set_multiple_of(2);
  const IntegerSet rest = integer_set_complement(twos);
  Outcome<IntegerSet> meet = integer_set_meet(twos, rest);
  Outcome<IntegerSet> join = integer_set_join(twos, rest);
  ASSERT_TRUE(meet && join);
  EXPECT_EQ(meet->modulus, 1u);
  EXPECT_TRUE(integer_set_is_empty(*meet));
  EXPECT_EQ(join->modulus, 1u);
  EXPECT_EQ(join->residues[0], interval_set_full());
  // A common residue set other than empty or full stays at the lcm.
  IntegerSet same_everywhere;
  same_everywhere.modulus = 2;
  same_everywhere.residues = {set_of({{0, 5}}), set_of({{0, 5}})};
  Outcome<IntegerSet> kept = integer_set_join(same_everywhere, integer_set_empty());
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->modulus, 2u);
}

TEST(IntegerSetTest, ModulusPastTheLimitGivesUp) {
  const IntegerSet s64 = *integer_set_multiple_of(64);
  const IntegerSet s65 = *integer_set_multiple_of(65);
  EXPECT_FALSE(integer_set_meet(s64, s65));  // lcm 4160
  EXPECT_FALSE(integer_set_join(s64, s65));
  EXPECT_TRUE(integer_set_meet(s64, *integer_set_multiple_of(4096)));  // lcm 4096 is allowed
  EXPECT_FALSE(integer_set_rebase(s64, 4160));
  EXPECT_FALSE(integer_set_rebase(s64, 0));
  EXPECT_FALSE(integer_set_rebase(s64, 96));  // not a multiple
  EXPECT_EQ(modulus_lcm(4, 6), 12u);
  EXPECT_EQ(modulus_lcm(UINT64_MAX, UINT64_MAX - 1), UINT64_MAX);  // overflow reads as too large
}

TEST(IntegerSetTest, RebaseKeepsMembers) {
  // {-5, ..., 7} at modulus 3, re-expressed at modulus 6.
  Outcome<IntegerSet> up = integer_set_rebase(*integer_set_rebase(integer_set_range(true, -5, true, 7), 3), 6);
  ASSERT_TRUE(up);
  EXPECT_TRUE(integer_set_is_well_formed(*up));
  EXPECT_TRUE(integer_set_eq(*up, integer_set_range(true, -5, true, 7)));
  // Residue 1 at modulus 6 holds -5 and 1 and 7: quotients -1..1.
  EXPECT_EQ(up->residues[1], set_of({{-1, 1}})) << text(*up);
}

TEST(IntegerSetTest, EqualityIsSemanticOrderIsNot) {
  const IntegerSet twos = *integer_set_multiple_of(2);
  const IntegerSet twos_at_four = *integer_set_rebase(twos, 4);
  EXPECT_TRUE(integer_set_eq(twos, twos_at_four));
  EXPECT_NE(integer_set_order(twos, twos_at_four), std::strong_ordering::equal);
  EXPECT_FALSE(integer_set_eq(twos, *integer_set_multiple_of(4)));
  // Equal sets whose moduli are too far apart cannot be shown equal.
  EXPECT_FALSE(
      integer_set_eq(*integer_set_rebase(integer_set_full(), 64), *integer_set_rebase(integer_set_full(), 65)));

  // Sorting by the order then removing duplicates by equality.
  std::vector<IntegerSet> sets = {twos_at_four, integer_set_single(3), twos, integer_set_single(3)};
  std::sort(sets.begin(), sets.end(),
            [](const IntegerSet& a, const IntegerSet& b) { return integer_set_order(a, b) < 0; });
  std::vector<IntegerSet> unique;
  for (const IntegerSet& s : sets) {
    if (std::none_of(unique.begin(), unique.end(), [&](const IntegerSet& u) { return integer_set_eq(u, s); }))
      unique.push_back(s);
  }
  EXPECT_EQ(unique.size(), 2u);
}

TEST(IntegerSetTest, OrderComparesRepresentations) {
  // Each row sorts strictly before the next.
  const IntegerSet ordered[] = {
      integer_set_empty(),
      integer_set_range(false, 0, false, 0),  // absent low and high first
      integer_set_range(false, 0, true, 3),
      integer_set_range(true, -2, false, 0),  // absent high before a present one
      integer_set_range(true, -2, true, 0),
      integer_set_range(true, -2, true, 4),
      integer_set_range(true, 1, true, 1),
      full_residues(2, {1}),        // a larger modulus sorts after
      *integer_set_multiple_of(2),  // an empty residue 0 sorts first
  };
  for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
    EXPECT_EQ(integer_set_order(ordered[i], ordered[i + 1]), std::strong_ordering::less)
        << text(ordered[i]) << " vs " << text(ordered[i + 1]);
    EXPECT_EQ(integer_set_order(ordered[i + 1], ordered[i]), std::strong_ordering::greater);
    EXPECT_EQ(integer_set_order(ordered[i], ordered[i]), std::strong_ordering::equal);
  }
}

}  // namespace
}  // namespace tessolin::descr

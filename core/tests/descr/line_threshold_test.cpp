// The 255/256 thresholds of Line and clause lists. Lines are made
// unmergeable on purpose: each requires a different attribute (present,
// any value), so no two share a clause list, none is proved empty and none
// is a duplicate.
#include <gtest/gtest.h>

#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/domain_combine.hpp"
#include "descr/fuel.hpp"
#include "descr/line_meet.hpp"
#include "knot_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

constexpr uint8_t kInt = 2;

AtomClause requires_attribute(const std::string& name) { return attribute_clause(name, nullptr, 0); }

std::vector<Line> distinct_lines(size_t n, const std::string& prefix) {
  std::vector<Line> lines;
  for (size_t i = 0; i < n; ++i) {
    lines.push_back(restricted(integer_set_full(), {requires_attribute(prefix + std::to_string(i))}));
  }
  return lines;
}

bool sorted_strictly(const std::vector<Line>& lines) {
  for (size_t i = 1; i < lines.size(); ++i) {
    if (line_order(lines[i - 1], lines[i]) >= 0) return false;
  }
  return true;
}

TEST(LineThreshold, NormalizeKeeps256AndGivesUpAt257) {
  Outcome<std::vector<Line>> kept = normalize_lines(distinct_lines(256, "a"));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->size(), 256u);
  EXPECT_TRUE(sorted_strictly(*kept));
  EXPECT_FALSE(normalize_lines(distinct_lines(257, "a")));
  // 257 inputs of which one merges into another are 256 Lines.
  std::vector<Line> lines = distinct_lines(256, "a");
  lines.push_back(restricted(integer_set_single(5), {requires_attribute("a7")}));
  kept = normalize_lines(std::move(lines));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->size(), 256u);
}

TEST(LineThreshold, JoinGivesUpPast256) {
  const Descriptor a = slot_descriptor(kInt, distinct_lines(200, "a"));
  const Descriptor b = slot_descriptor(kInt, distinct_lines(56, "b"));
  const Descriptor c = slot_descriptor(kInt, distinct_lines(57, "b"));
  Outcome<Descriptor> joined = combine_descriptors(a, b, CombineMode::Join);
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->slots[kInt].lines.size(), 256u);
  EXPECT_FALSE(combine_descriptors(a, c, CombineMode::Join));
  // The same overflow in slot Other voids the slots combined before it.
  Descriptor other_a = a;
  other_a.slots[kOtherSlot] = KindSlot{distinct_lines(200, "o"), 0};
  for (Line& l : other_a.slots[kOtherSlot].lines) l.domain = FlagDomain{1};
  Descriptor other_b;
  other_b.slots[kOtherSlot] = KindSlot{distinct_lines(57, "p"), 0};
  for (Line& l : other_b.slots[kOtherSlot].lines) l.domain = FlagDomain{1};
  EXPECT_FALSE(combine_descriptors(other_a, other_b, CombineMode::Join));
}

TEST(LineThreshold, MeetOf16By16SucceedsAnd17By16GivesUp) {
  // Each pair's clause requires two attributes; all 256 (or 272) differ.
  FuelWindow window(kUnlimitedFuel);
  Outcome<std::vector<Line>> met = meet_lines(distinct_lines(16, "a"), distinct_lines(16, "b"));
  ASSERT_TRUE(met);
  EXPECT_EQ(met->size(), 256u);
  EXPECT_TRUE(sorted_strictly(*met));
  EXPECT_FALSE(meet_lines(distinct_lines(17, "a"), distinct_lines(16, "b")));
}

TEST(LineThreshold, ProductsPast255AreCompactedOnTheWay) {
  // 300 pairs over one clause list: the product is normalised when it
  // passes 255 Lines (merging them into one), so the meet never holds more
  // than 257 and succeeds although it forms 300 pairs.
  std::vector<Line> points;
  for (int64_t i = 0; i < 300; ++i) points.push_back(line_from_domain(integer_set_single(i)));
  const std::vector<Line> top{kind_top_line(kInt)};
  FuelWindow window(1000);
  Outcome<std::vector<Line>> met = meet_lines(points, top);
  ASSERT_TRUE(met);
  EXPECT_EQ(1000 - fuel_left(), 600u) << "one unit per Line pair and per clause pair";
  ASSERT_EQ(met->size(), 1u);
  EXPECT_TRUE(domain_eq(met->front().domain, integer_set_range(true, 0, true, 299)));
}

TEST(LineThreshold, ClauseListsKeep256AndGiveUpAt257) {
  auto clauses = [](size_t n, const std::string& prefix) {
    ClauseList out;
    for (size_t i = 0; i < n; ++i) out.push_back(requires_attribute(prefix + std::to_string(i)));
    return out;
  };
  Outcome<ClauseList> kept = compact_clauses(clauses(256, "a"));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->size(), 256u);
  EXPECT_FALSE(compact_clauses(clauses(257, "a")));
  FuelWindow window(kUnlimitedFuel);
  Outcome<ClauseList> met = meet_clause_lists(clauses(16, "a"), clauses(16, "b"));
  ASSERT_TRUE(met);
  EXPECT_EQ(met->size(), 256u);
  EXPECT_FALSE(meet_clause_lists(clauses(17, "a"), clauses(16, "b")));
}

}  // namespace
}  // namespace tessolin::descr

// Exact fuel accounting of the descriptor operations through windows of n
// units: the entry unit of a combine, one unit per Line pair and per clause
// pair, the steps that go on without fuel, the limits at 0 and 1, and the
// word restored after a give-up.
#include <gtest/gtest.h>

#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/domain_combine.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/line_meet.hpp"
#include "descr/shared_descriptor.hpp"
#include "knot_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

constexpr uint8_t kInt = 2;

// Runs `op` in a window of `budget` units; returns what it spent.
template <class Op>
uint64_t spent_by(uint64_t budget, Op op) {
  FuelWindow window(budget);
  op();
  return budget - fuel_left();
}

Descriptor int_lines(std::vector<std::pair<int64_t, int64_t>> ranges) {
  std::vector<Line> lines;
  for (auto [low, high] : ranges) lines.push_back(int_range_line(low, high));
  return slot_descriptor(kInt, std::move(lines));
}

TEST(FuelAccounting, CombineSpendsOneUnitOnEntry) {
  const Descriptor empty;
  for (CombineMode mode : {CombineMode::Join, CombineMode::Meet}) {
    Outcome<Descriptor> r;
    EXPECT_EQ(spent_by(0, [&] { r = combine_descriptors(empty, empty, mode); }), 0u);
    EXPECT_FALSE(r) << "no unit for the entry";
    EXPECT_EQ(spent_by(1, [&] { r = combine_descriptors(empty, empty, mode); }), 1u);
    ASSERT_TRUE(r);
    EXPECT_TRUE(descriptor_eq(*r, empty));
  }
}

TEST(FuelAccounting, MeetSpendsOnePerLinePairAndOnePerClausePair) {
  // 3 x 2 Lines with one unrestricted clause each: the entry unit, six Line
  // pairs and six clause pairs.
  const Descriptor a = int_lines({{1, 5}, {10, 20}, {30, 40}});
  const Descriptor b = int_lines({{0, 12}, {35, 50}});
  const uint64_t cost = 1 + 6 + 6;
  Outcome<Descriptor> r;
  EXPECT_EQ(spent_by(cost, [&] { r = combine_descriptors(a, b, CombineMode::Meet); }), cost);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->slots[kInt].lines.size(), 1u) << "the non-empty pairs share one clause list and merge";
  for (uint64_t budget : {cost - 1, uint64_t{1}, uint64_t{0}}) {
    EXPECT_EQ(spent_by(budget, [&] { r = combine_descriptors(a, b, CombineMode::Meet); }), budget);
    EXPECT_FALSE(r) << "budget " << budget;
  }
  // A join of positive slots pairs nothing: the entry unit alone.
  EXPECT_EQ(spent_by(1, [&] { r = combine_descriptors(a, b, CombineMode::Join); }), 1u);
  EXPECT_TRUE(r);
}

TEST(FuelAccounting, OtherLinesMeetForTwoUnits) {
  const std::vector<Line> other{kind_top_line(kOtherCode)};
  Outcome<std::vector<Line>> r;
  EXPECT_EQ(spent_by(2, [&] { r = meet_lines(other, other); }), 2u);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->size(), 1u);
  EXPECT_TRUE(line_eq(r->front(), kind_top_line(kOtherCode)));
  EXPECT_EQ(spent_by(1, [&] { r = meet_lines(other, other); }), 1u);
  EXPECT_FALSE(r);
  EXPECT_EQ(spent_by(0, [&] { r = meet_lines(other, {}); }), 0u);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->empty());
}

TEST(FuelAccounting, ClauseMeetsSpendPerPair) {
  const ClauseList a{classes_clause({class_A()}), classes_clause({class_I()})};
  const ClauseList b{classes_clause({}, {class_B()}), classes_clause({class_S()}), classes_clause({class_F()})};
  Outcome<ClauseList> r;
  EXPECT_EQ(spent_by(6, [&] { r = meet_clause_lists(a, b); }), 6u);
  EXPECT_TRUE(r);
  EXPECT_EQ(spent_by(5, [&] { r = meet_clause_lists(a, b); }), 5u);
  EXPECT_FALSE(r);
  EXPECT_EQ(spent_by(0, [&] { r = meet_clause_lists(a, {}); }), 0u);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->empty());
  // De Morgan over two single-class clauses: two meets of one pair each.
  EXPECT_EQ(spent_by(2,
                     [&] {
                       r = materialize_clauses({classes_clause({class_A()}), classes_clause({class_S()})}, 1);
                     }),
            2u);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->size(), 1u);
  EXPECT_TRUE(clause_eq(r->front(), classes_clause({}, {class_A(), class_S()})));
}

TEST(FuelAccounting, ComplementOfOneLineSpendsThreeUnitsOrStaysLazy) {
  // [top] met with C1 (a Line pair and a clause pair) and with C2 (a Line
  // pair; its clause list is the empty complement of the unrestricted one).
  const Descriptor d = int_lines({{1, 5}});
  Descriptor c;
  EXPECT_EQ(spent_by(3, [&] { c = complement_descriptor(d); }), 3u);
  EXPECT_EQ(c.slots[kInt].negated, 0);
  ASSERT_EQ(c.slots[kInt].lines.size(), 1u);
  EXPECT_TRUE(domain_eq(c.slots[kInt].lines[0].domain, integer_set_complement(integer_set_range(true, 1, true, 5))));
  for (uint64_t budget : {uint64_t{2}, uint64_t{0}}) {
    EXPECT_EQ(spent_by(budget, [&] { c = complement_descriptor(d); }), budget);
    EXPECT_EQ(c.slots[kInt].negated, 1) << "budget " << budget;
    ASSERT_EQ(c.slots[kInt].lines.size(), 1u);
    EXPECT_TRUE(line_eq(c.slots[kInt].lines[0], d.slots[kInt].lines[0]));
    // The empty slots still complement to their kind's top, without fuel.
    EXPECT_TRUE(line_eq(c.slots[kOtherSlot].lines.at(0), kind_top_line(kOtherCode)));
  }
  // Two Lines stay lazy and spend nothing.
  const Descriptor two = int_lines({{1, 5}, {8, 9}});
  EXPECT_EQ(spent_by(10, [&] { c = complement_descriptor(two); }), 0u);
  EXPECT_EQ(c.slots[kInt].negated, 1);
}

TEST(FuelAccounting, FuelRunningOutMidwayLeavesLaterSlotsLazy) {
  // Slot None complements first (three units), then Int finds one unit.
  Descriptor d = int_lines({{1, 5}});
  d.slots[0].lines.push_back(kind_top_line(0));
  Descriptor c;
  EXPECT_EQ(spent_by(4, [&] { c = complement_descriptor(d); }), 4u);
  EXPECT_EQ(c.slots[0].negated, 0);
  EXPECT_TRUE(c.slots[0].lines.empty());
  EXPECT_EQ(c.slots[kInt].negated, 1);
}

TEST(FuelAccounting, ComplementLinesNeedsAUnitPerPair) {
  Outcome<std::vector<Line>> r;
  EXPECT_EQ(spent_by(0, [&] { r = complement_lines({}, kInt); }), 0u);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->size(), 1u);
  EXPECT_TRUE(line_eq(r->front(), kind_top_line(kInt)));
  EXPECT_EQ(spent_by(0, [&] { r = complement_lines({int_range_line(1, 5)}, kInt); }), 0u);
  EXPECT_FALSE(r);
  EXPECT_EQ(spent_by(3, [&] { r = complement_lines({int_range_line(1, 5)}, kInt); }), 3u);
  EXPECT_TRUE(r);
}

TEST(FuelAccounting, SubtractingANegatedTopSpendsOnlyTheEntry) {
  // A negated slot without Lines is the kind's top kept lazily: the meet
  // copies the other side's Lines as they are, unsorted.
  const Descriptor a = int_lines({{5, 6}, {1, 2}});
  const Descriptor top = slot_descriptor(kInt, {}, 1);
  Outcome<Descriptor> r;
  EXPECT_EQ(spent_by(1, [&] { r = combine_descriptors(a, top, CombineMode::Meet); }), 1u);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->slots[kInt].lines.size(), 2u);
  EXPECT_TRUE(line_eq(r->slots[kInt].lines[0], int_range_line(5, 6)));
  EXPECT_EQ(r->slots[kInt].negated, 0);
  // Both negated and without Lines: the one kind top Line.
  EXPECT_EQ(spent_by(1, [&] { r = combine_descriptors(top, top, CombineMode::Meet); }), 1u);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->slots[kInt].lines.size(), 1u);
  EXPECT_TRUE(line_eq(r->slots[kInt].lines[0], kind_top_line(kInt)));
}

TEST(FuelAccounting, SharedComplementsGoOnWithoutFuel) {
  const SharedDescriptor d = shared(int_lines({{1, 5}}));
  SharedDescriptor c;
  EXPECT_EQ(spent_by(0, [&] { c = complement_shared(d); }), 0u);
  EXPECT_EQ(c->slots[kInt].negated, 1) << "no fuel: lazy";
  EXPECT_EQ(spent_by(10, [&] { c = complement_shared(d); }), 4u) << "one unit, then the explicit complement's three";
  EXPECT_EQ(c->slots[kInt].negated, 0);

  Outcome<SharedDescriptor> labels;
  EXPECT_EQ(spent_by(0, [&] { labels = complement_of_labels({}); }), 0u);
  ASSERT_TRUE(labels);
  EXPECT_TRUE(descriptor_eq(**labels, complement_descriptor(Descriptor{})));
  EXPECT_EQ(spent_by(0, [&] { labels = complement_of_labels({{nullptr, 0}, {shared_nothing(), 1}}); }), 0u);
  EXPECT_TRUE(labels) << "joining shared_nothing with itself is free";
  EXPECT_EQ(spent_by(0, [&] { labels = complement_of_labels({{d, 0}}); }), 0u);
  EXPECT_TRUE(labels) << "joining into shared_nothing is free";
  const SharedDescriptor e = shared(int_lines({{7, 9}}));
  EXPECT_EQ(spent_by(0, [&] { labels = complement_of_labels({{d, 0}, {e, 1}}); }), 0u);
  EXPECT_FALSE(labels) << "joining two descriptors takes fuel";
}

TEST(FuelAccounting, NothingMeetsAndJoinsFree) {
  const SharedDescriptor d = shared(int_lines({{1, 5}}));
  Outcome<SharedDescriptor> r;
  EXPECT_EQ(spent_by(0, [&] { r = meet_shared_descriptors(d, shared_nothing()); }), 0u);
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, shared_nothing());
  EXPECT_EQ(spent_by(0, [&] { r = join_shared(shared_nothing(), d); }), 0u);
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, d);
}

TEST(FuelAccounting, SharedIdentityIsFree) {
  const SharedDescriptor d = shared(int_lines({{1, 5}}));
  const SharedDescriptor twin = shared(int_lines({{1, 5}}));
  Outcome<SharedDescriptor> r;
  for (auto op : {meet_shared_descriptors, join_shared}) {
    EXPECT_EQ(spent_by(0, [&] { r = op(d, d); }), 0u);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, d);
    EXPECT_EQ(spent_by(0, [&] { r = op(d, twin); }), 0u);
    EXPECT_FALSE(r) << "equal but separate objects are combined in full";
  }
  Outcome<OptionalDescriptor> label;
  EXPECT_EQ(spent_by(0, [&] { label = meet_labels(nullptr, d); }), 0u);
  ASSERT_TRUE(label);
  EXPECT_EQ(*label, d);
  EXPECT_EQ(spent_by(0, [&] { label = meet_labels(nullptr, nullptr); }), 0u);
  ASSERT_TRUE(label);
  EXPECT_EQ(*label, nullptr);
  EXPECT_EQ(spent_by(0, [&] { EXPECT_EQ(included_in(nullptr, d), Inclusion::Included); }), 0u);
}

TEST(FuelAccounting, EmptinessAtZeroDecidesWhatNeedsNoFuel) {
  FuelWindow window(0);
  EXPECT_EQ(descriptor_emptiness(int_lines({{1, 5}})), Emptiness::Inhabited);
  EXPECT_EQ(descriptor_emptiness(Descriptor{}), Emptiness::Empty);
  // A negated slot with Lines needs complement_lines; without Lines it is
  // the kind's top.
  EXPECT_EQ(slot_emptiness(KindSlot{{int_range_line(1, 5)}, 1}, kInt), Emptiness::Undecided);
  EXPECT_EQ(slot_emptiness(KindSlot{{}, 1}, kInt), Emptiness::Inhabited);
  // A negated clause list needs materialising.
  Line negated = restricted(integer_set_full(), {classes_clause({class_I()})}, 1);
  EXPECT_EQ(line_emptiness(negated, kInt), Emptiness::Undecided);
  EXPECT_FALSE(line_is_empty(negated));
  EXPECT_EQ(fuel_left(), 0u);
}

TEST(FuelAccounting, WindowsRestoreTheWordAfterAGiveUp) {
  FuelWindow outer(100);
  const Descriptor a = int_lines({{1, 5}, {10, 20}});
  ASSERT_TRUE(combine_descriptors(a, a, CombineMode::Meet));
  const uint64_t left = fuel_left();
  EXPECT_EQ(left, 100u - 9u);
  {
    FuelWindow inner(3);
    EXPECT_FALSE(combine_descriptors(a, a, CombineMode::Meet));
    EXPECT_EQ(fuel_left(), 0u);
    {
      FuelWindow innermost;
      EXPECT_EQ(fuel_left(), kAlgebraFuel);
    }
    EXPECT_EQ(fuel_left(), 0u);
  }
  EXPECT_EQ(fuel_left(), left);
}

}  // namespace
}  // namespace tessolin::descr

// The decisions' turn through the descriptor algebra: inclusion and
// emptiness by descriptors, recursion, give-ups, and the fuel word around
// every entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "../descr_lowering/table_oracle.hpp"
#include "decide/decisions.hpp"
#include "decide/descriptor_decisions.hpp"
#include "decide_test_support.hpp"
#include "descr/fuel.hpp"

namespace tessolin::decide {
namespace {

using namespace testing;
using descr::testing::TableOracle;
using ir::Constraint;

constexpr Relation kSub = Relation::Subset;
constexpr Relation kNot = Relation::NotSubset;
constexpr Relation kUnd = Relation::Undecided;
constexpr int64_t k2p53 = int64_t{1} << 53;

// Pool: 0 -> 10, 1 -> 20, 2 -> 9, 3 -> 5, 4 -> 7, 5 -> 1, 6 -> 3, 7 -> True,
// 8 -> 2, 9 -> 2**53 + 1, 10 -> 2.0**53, 11 -> "a". Classes: 20 (id 1, an
// object subclass), 21 (id 2, derived from 20).
class DescriptorDecisionTest : public ::testing::Test {
 protected:
  DescriptorDecisionTest() {
    oracle.set_int(0, 10).set_int(1, 20).set_int(2, 9).set_int(3, 5).set_int(4, 7).set_int(5, 1).set_int(6, 3);
    oracle.set_bool(7, true).set_int(8, 2).set_int(9, k2p53 + 1).set_float(10, 9007199254740992.0);
    oracle.set_str(11, "a");
    oracle.set_class(20, 1, {0}, SlotKind::Unknown);
    oracle.set_class(21, 2, {0, 1}, SlotKind::Unknown);
  }

  Relation by_descriptors(const SchemaNode& a, const SchemaNode& b) {
    return relation_by_descriptors(a, b, oracle, definitions);
  }

  struct Case {
    std::string what;
    SchemaNode a;
    SchemaNode b;
    Relation forward;
    std::vector<Relation> backward;  // the answers allowed b within a
  };

  void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      EXPECT_EQ(by_descriptors(c.a, c.b), c.forward) << c.what << " (forward)";
      const Relation back = by_descriptors(c.b, c.a);
      EXPECT_NE(std::find(c.backward.begin(), c.backward.end(), back), c.backward.end())
          << c.what << " (backward) " << relation_text(back);
    }
  }

  TableOracle oracle;
  std::vector<SchemaNode> definitions;
};

SchemaNode Pattern(SchemaNode base, const std::string& p) { return Refine(std::move(base), {Constraint::pattern(p)}); }

TEST_F(DescriptorDecisionTest, InclusionTable) {
  check({
      {"[10, 20] in > 9",
       Refine(IntN(), {Constraint::ge(0), Constraint::le(1)}),
       Refine(IntN(), {Constraint::gt(2)}),
       kSub,
       {kNot}},
      {"multiples of 10 in multiples of 5",
       Refine(IntN(), {Constraint::multiple_of(0)}),
       Refine(IntN(), {Constraint::multiple_of(3)}),
       kSub,
       {kNot}},
      {"four digits in length 4",
       Pattern(StrN(), "[0-9]{4}"),
       Refine(StrN(), {Constraint::min_len(4), Constraint::max_len(4)}),
       kSub,
       {kNot}},
      {"1, 2, 3 in [1, 3]",
       U({Lit(5), Lit(8), Lit(6)}),
       Refine(IntN(), {Constraint::ge(5), Constraint::le(6)}),
       kSub,
       {kNot}},  // True lies in the range, not in the literal set
      {"True, 1, 2, 3 in [1, 3]",
       U({Lit(7), Lit(5), Lit(8), Lit(6)}),
       Refine(IntN(), {Constraint::ge(5), Constraint::le(6)}),
       kSub,
       {kNot}},  // an int subclass instance equal to 2 lies in the range only
      {"floats >= 2**53 + 1 are floats > 2.0**53",
       Refine(FloatN(), {Constraint::ge(9)}),
       Refine(FloatN(), {Constraint::gt(10)}),
       kSub,
       {kSub}},
      {"ints >= 2**53 + 1 in ints > 9",
       Refine(IntN(), {Constraint::ge(9)}),
       Refine(IntN(), {Constraint::gt(2)}),
       kSub,
       {kNot}},
      {"subclass instances", Inst(21), Inst(20), kSub, {kNot, kUnd}},
      {"object attribute widened",
       Obj({Field("x", IntN())}),
       Obj({Field("x", U({IntN(), StrN()}))}),
       kSub,
       {kNot, kUnd}},
      {"str literal against a pattern", Lit(11), Pattern(StrN(), "[a-z]"), kSub, {kNot}},
  });
}

TEST_F(DescriptorDecisionTest, EmptinessByDescriptors) {
  struct EmptyCase {
    std::string what;
    SchemaNode node;
    bool empty;
  };
  const std::vector<EmptyCase> cases = {
      {"no multiple of 10 in [7, 9]",
       Refine(IntN(), {Constraint::ge(4), Constraint::le(2), Constraint::multiple_of(0)}), true},
      {"x+ meets y*z", RawIntersection({Pattern(StrN(), "x+"), Pattern(StrN(), "y*z")}), true},
      {"x+ meets x*", RawIntersection({Pattern(StrN(), "x+"), Pattern(StrN(), "x*")}), false},
      {"a predicate", Refine(IntN(), {Constraint::predicate(0)}), false},
      {"int", IntN(), false},
  };
  for (const EmptyCase& c : cases) {
    EXPECT_EQ(decide_empty(c.node, oracle, definitions), c.empty) << c.what;
    EXPECT_EQ(descriptors_prove_empty(c.node, definitions, oracle), c.empty) << c.what;
  }
}

TEST_F(DescriptorDecisionTest, GiveUpsAreUndecided) {
  const SchemaNode predicate = Refine(IntN(), {Constraint::predicate(0)});
  EXPECT_EQ(by_descriptors(predicate, IntN()), kUnd);
  EXPECT_EQ(by_descriptors(IntN(), predicate), kUnd);
  EXPECT_EQ(by_descriptors(Lit(99), IntN()), kUnd);  // the oracle declines
  // An empty a lies in b, however b lowers.
  EXPECT_EQ(by_descriptors(RawIntersection({IntN(), StrN()}), predicate), kSub);
}

TEST_F(DescriptorDecisionTest, RecursionNeverRefutes) {
  // Definition 0 holds a back edge; after one unfolding the rest is
  // approximated, so a witness proves nothing.
  definitions = {U({IntN(), Obj({Field("x", Ref(0))})})};
  EXPECT_EQ(by_descriptors(U({StrN(), Ref(0)}), IntN()), kUnd);
  EXPECT_EQ(by_descriptors(U({StrN(), IntN()}), IntN()), kNot);  // the same without recursion
  EXPECT_EQ(by_descriptors(StrN(), U({IntN(), Ref(0)})), kUnd);
  EXPECT_EQ(by_descriptors(Ref(0), U({IntN(), Obj({Field("x", Anything())})})), kSub);
  // Empty and subset still hold with recursion on either side.
  EXPECT_EQ(by_descriptors(RawIntersection({IntN(), StrN(), Ref(0)}), Nothing()), kSub);
  EXPECT_EQ(by_descriptors(Refine(IntN(), {Constraint::ge(0), Constraint::le(1)}),
                           U({Refine(IntN(), {Constraint::gt(2)}), Ref(0)})),
            kSub);
  EXPECT_TRUE(decide_empty(RawIntersection({StrN(), Ref(0), IntN()}), oracle, definitions));
  // Without definitions a back edge reaches the lowering, which gives up.
  definitions.clear();
  EXPECT_EQ(by_descriptors(U({StrN(), Ref(0)}), IntN()), kUnd);
  EXPECT_EQ(by_descriptors(Ph(4), Nothing()), kUnd);
}

// Every entry leaves the thread's fuel word as it found it, after an
// answer, after a give-up, and with the word exhausted by an outer window.
TEST_F(DescriptorDecisionTest, FuelWordRestoredAfterEveryEntry) {
  const SchemaNode a = Refine(IntN(), {Constraint::ge(0), Constraint::le(1)});
  const SchemaNode b = Refine(IntN(), {Constraint::gt(2)});
  const SchemaNode gives_up = Refine(IntN(), {Constraint::predicate(0)});
  for (uint64_t before : {descr::kUnlimitedFuel, uint64_t{12345}, uint64_t{0}}) {
    descr::set_fuel(before);
    EXPECT_EQ(by_descriptors(a, b), kSub) << before;  // an exhausted outer window does not starve it
    EXPECT_EQ(descr::fuel_left(), before);
    EXPECT_EQ(by_descriptors(a, gives_up), kUnd);
    EXPECT_EQ(descr::fuel_left(), before);
    EXPECT_EQ(by_descriptors(gives_up, a), kUnd);
    EXPECT_EQ(descr::fuel_left(), before);
    EXPECT_TRUE(decide_empty(RawIntersection({a, StrN()}), oracle, definitions));
    EXPECT_EQ(descr::fuel_left(), before);
    EXPECT_TRUE(lower_for_decision(a, definitions, UnfoldPolarity::Superset, oracle));
    EXPECT_EQ(descr::fuel_left(), before);
  }
  descr::set_fuel(descr::kUnlimitedFuel);
}

// An oracle whose answer for constant 50 asks a whole decision of its own
// first, as a predicate run by the oracle may.
class NestingOracle : public TableOracle {
 public:
  std::vector<SchemaNode> definitions;
  std::optional<uint64_t> fuel_before_nested;
  std::optional<uint64_t> fuel_after_nested;
  std::optional<uint64_t> fuel_inside_nested;
  std::optional<Relation> nested_answer;

 protected:
  ir::LiteralValue value_of(uint64_t i) override {
    if (i == 50 && !nested_answer) {
      fuel_before_nested = descr::fuel_left();
      nested_answer = relation_by_descriptors(Lit(51), Refine(IntN(), {Constraint::ge(52)}), *this, definitions);
      fuel_after_nested = descr::fuel_left();
      return ir::LiteralValue::of_int(1);
    }
    if (i == 51) fuel_inside_nested = descr::fuel_left();
    return TableOracle::value_of(i);
  }
};

TEST(DescriptorDecisionNesting, NestedDecisionHandsBackTheOuterWindow) {
  NestingOracle oracle;
  oracle.set_int(51, 8).set_int(52, 5);
  std::vector<SchemaNode> definitions;
  descr::set_fuel(777);
  EXPECT_EQ(relation_by_descriptors(Lit(50), IntN(), oracle, definitions), kSub);
  EXPECT_EQ(descr::fuel_left(), 777u);
  ASSERT_TRUE(oracle.nested_answer);
  EXPECT_EQ(*oracle.nested_answer, kSub);
  ASSERT_TRUE(oracle.fuel_before_nested && oracle.fuel_after_nested && oracle.fuel_inside_nested);
  EXPECT_LE(*oracle.fuel_before_nested, descr::kAlgebraFuel);  // asked inside the outer window
  EXPECT_EQ(*oracle.fuel_after_nested, *oracle.fuel_before_nested);
  EXPECT_LE(*oracle.fuel_inside_nested, descr::kAlgebraFuel);
  descr::set_fuel(descr::kUnlimitedFuel);
}

// The schema-level entry points hand what they leave open to the algebra.
TEST_F(DescriptorDecisionTest, DecisionsAskTheAlgebra) {
  WorkBudget budget;
  const SchemaNode a = Refine(IntN(), {Constraint::ge(0), Constraint::le(1)});
  const SchemaNode b = Refine(IntN(), {Constraint::gt(2)});
  EXPECT_EQ(relation(a, b, definitions, oracle, budget), kSub);
  EXPECT_EQ(relation(b, a, definitions, oracle, budget), kNot);
  EXPECT_TRUE(is_equivalent(Refine(FloatN(), {Constraint::ge(9)}), Refine(FloatN(), {Constraint::gt(10)}), definitions,
                            oracle, budget));
  EXPECT_FALSE(is_equivalent(a, b, definitions, oracle, budget));
  const SchemaNode empty = Refine(IntN(), {Constraint::ge(4), Constraint::le(2), Constraint::multiple_of(0)});
  EXPECT_EQ(is_empty(empty, definitions, oracle, budget), Emptiness::Empty);
}

// The algebra answers an emptiness question with Empty or nothing: a value
// it finds is no proof once recursion was unfolded.
TEST_F(DescriptorDecisionTest, AlgebraNeverProvesInhabited) {
  definitions = {U({IntN(), Obj({Field("x", Ref(0))})})};
  WorkBudget budget;
  const SchemaNode n = RawIntersection({Refine(IntN(), {Constraint::ge(0)}), Ref(0)});
  DecisionContext ctx(oracle, definitions, budget);
  ASSERT_EQ(emptiness_with_fresh_stack(n, ctx).emptiness(), Emptiness::Undecided);
  WorkBudget fresh;
  EXPECT_EQ(is_empty(n, definitions, oracle, fresh), Emptiness::Undecided);
}

}  // namespace
}  // namespace tessolin::decide

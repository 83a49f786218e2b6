#include <gtest/gtest.h>

#include <limits>

#include "decide/decisions.hpp"
#include "decide/emptiness.hpp"
#include "decide_test_support.hpp"

namespace tessolin::decide {
namespace {

using namespace testing;

// Pool: 0 -> 1, 1 -> 2, 2 -> 3, 3 -> NaN, 4 -> 5, 5 -> 2.5, 6 -> "a",
// 7 -> an object the oracle knows nothing of. 20: a class with standard
// hooks; 21: a class whose metaclass overrides them.
class EmptinessTest : public ::testing::Test {
 protected:
  EmptinessTest() {
    oracle.constants = {
        {0, IntC(1)}, {1, IntC(2)},     {2, IntC(3)},   {3, FloatC(std::numeric_limits<double>::quiet_NaN())},
        {4, IntC(5)}, {5, FloatC(2.5)}, {6, StrC("a")}, {7, OpaqueC()}};
    oracle.standard_hook_classes = {20};
  }

  EmptinessReport report(const SchemaNode& n, std::vector<SchemaNode> defs = {},
                         int32_t steps = WorkBudget::kQuerySteps) {
    definitions = std::move(defs);
    WorkBudget budget(steps);
    DecisionContext ctx(oracle, definitions, budget);
    return emptiness_with_fresh_stack(n, ctx);
  }
  Emptiness empty(const SchemaNode& n, std::vector<SchemaNode> defs = {}) {
    return report(n, std::move(defs)).emptiness();
  }

  FakeOracle oracle;
  std::vector<SchemaNode> definitions;
};

TEST_F(EmptinessTest, ReportLayout) {
  EmptinessReport exact = EmptinessReport::exact(4);
  EXPECT_EQ(exact.bits(), (4u << 16) | 1u);
  EXPECT_EQ(EmptinessReport::exact(0).bits(), 0u);
  EXPECT_EQ(EmptinessReport::inexact(Emptiness::Undecided).bits(), 0x102u);
}

TEST_F(EmptinessTest, BudgetBoundsTheWalk) {
  WorkBudget none(0);
  DecisionContext ctx(oracle, {}, none);
  EXPECT_EQ(emptiness_with_fresh_stack(IntN(), ctx).emptiness(), Emptiness::Undecided);
  EXPECT_EQ(none.remaining(), 0);

  EmptinessReport leaf = report(StrN(), {}, 1);
  EXPECT_FALSE(leaf.is_inexact());
  EXPECT_EQ(leaf.mask(), 16);
  // The prefix item finds the budget spent; a collection needs no more.
  EXPECT_EQ(report(Tuple({IntN()}), {}, 1).emptiness(), Emptiness::Undecided);
  EXPECT_EQ(report(SetOf(Nothing()), {}, 1).emptiness(), Emptiness::Inhabited);
}

TEST_F(EmptinessTest, MasksOfLatticeNodes) {
  struct Case {
    SchemaNode node;
    Emptiness answer;
    ir::KindMask mask;
  };
  std::vector<Case> cases = {
      {RawIntersection({IntN(), StrN()}), Emptiness::Empty, 0},
      {I({IntN(), Not(BoolN())}), Emptiness::Inhabited, 4},
      {RawComplement(RawUnion({IntN(), RawComplement(BoolN())})), Emptiness::Empty, 0},
      {U({NoneN(), BytesN()}), Emptiness::Inhabited, 33},
      {Refine(FloatN(), {}), Emptiness::Inhabited, 8},
  };
  for (const Case& c : cases) {
    EmptinessReport r = report(c.node);
    EXPECT_EQ(r.emptiness(), c.answer);
    EXPECT_FALSE(r.is_inexact());
    EXPECT_EQ(r.mask(), c.mask);
  }
}

TEST_F(EmptinessTest, StructuralCases) {
  struct Case {
    const char* what;
    SchemaNode node;
    Emptiness answer;
  };
  std::vector<Case> cases = {
      {"NaN literal", Lit(3), Emptiness::Empty},
      {"int literal", Lit(0), Emptiness::Inhabited},
      {"unknown literal", Lit(7), Emptiness::Undecided},
      {"prefix of nothing", Tuple({IntN(), Nothing()}), Emptiness::Empty},
      {"tail of nothing", ListOf(Nothing()), Emptiness::Inhabited},
      {"set of nothing", SetOf(Nothing()), Emptiness::Inhabited},
      {"non-empty list of nothing", Refine(ListOf(Nothing()), {Constraint::min_len(1)}), Emptiness::Empty},
      {"required nothing", Rec({Field("a", Nothing())}), Emptiness::Empty},
      {"optional nothing", Rec({Field("a", Nothing(), false)}), Emptiness::Inhabited},
      {"required nothing attribute", Obj({Field("a", Nothing())}), Emptiness::Empty},
      {"standard class", Inst(20), Emptiness::Inhabited},
      {"hooked class", Inst(21), Emptiness::Undecided},
      {"class with shape", I({Inst(20), Obj({Field("x", IntN())})}), Emptiness::Inhabited},
      {"hooked class with shape", I({Inst(21), Obj({Field("x", IntN())})}), Emptiness::Undecided},
      // Int sorts first, is exact, and the scan stops only after the literal.
      {"undecided literal or int", U({Lit(7), IntN()}), Emptiness::Inhabited},
      {"placeholder", Ph(4), Emptiness::Undecided},
      {"reference past the definitions", Ref(3), Emptiness::Undecided},
      {"closed complement pair", RawIntersection({ListOf(IntN()), RawComplement(ListOf(IntN()))}), Emptiness::Empty},
      {"open complement pair", RawIntersection({Inst(21), RawComplement(Inst(21))}), Emptiness::Undecided},
      {"disjoint members", I({ListOf(IntN()), Rec({Field("a", IntN())})}), Emptiness::Empty},
  };
  for (const Case& c : cases) EXPECT_EQ(empty(c.node), c.answer) << c.what;
}

TEST_F(EmptinessTest, RecursiveDefinitions) {
  // X = tuple[X]: no finite value; X = tuple[X, ...]: the empty tuple.
  EXPECT_EQ(empty(Ref(0), {Tuple({Ref(0)})}), Emptiness::Empty);
  EXPECT_EQ(empty(Ref(0), {Tuple({}, Ref(0))}), Emptiness::Inhabited);
  // Mutual: X = tuple[Y], Y = list[X] | tuple[X].
  EXPECT_EQ(empty(Ref(0), {Tuple({Ref(1)}), U({ListOf(Ref(0)), Tuple({Ref(0)})})}), Emptiness::Inhabited);
  EXPECT_EQ(empty(Ref(0), {Tuple({Ref(1)}), Tuple({Ref(0)})}), Emptiness::Empty);
}

TEST_F(EmptinessTest, NumericBounds) {
  struct Case {
    const char* what;
    SchemaNode node;
    Emptiness answer;
  };
  std::vector<Case> cases = {
      {">= 5 meets <= 3", I({Refine(IntN(), {Constraint::ge(4)}), Refine(IntN(), {Constraint::le(2)})}),
       Emptiness::Empty},
      {"> 2 and < 3", Refine(IntN(), {Constraint::gt(1), Constraint::lt(2)}), Emptiness::Empty},
      {">= 2.5", Refine(IntN(), {Constraint::ge(5)}), Emptiness::Undecided},
      {">= 3", Refine(IntN(), {Constraint::ge(2)}), Emptiness::Inhabited},
      {"2 <= x <= 3", Refine(IntN(), {Constraint::ge(1), Constraint::le(2)}), Emptiness::Inhabited},
      {"3 < x <= 3 on floats", Refine(FloatN(), {Constraint::gt(2), Constraint::le(2)}), Emptiness::Empty},
      {"bounds a string cannot order", Refine(IntN(), {Constraint::ge(0), Constraint::ge(6)}), Emptiness::Undecided},
      {"> 2 meets < 3 across members", I({Refine(IntN(), {Constraint::gt(1)}), Refine(IntN(), {Constraint::lt(2)})}),
       Emptiness::Empty},
      {"> 2 meets < 3 on floats", I({Refine(FloatN(), {Constraint::gt(1)}), Refine(FloatN(), {Constraint::lt(2)})}),
       Emptiness::Undecided},
  };
  for (const Case& c : cases) EXPECT_EQ(empty(c.node), c.answer) << c.what;
}

TEST_F(EmptinessTest, LengthBounds) {
  struct Case {
    const char* what;
    SchemaNode node;
    Emptiness answer;
  };
  auto len = [](uint64_t lo, uint64_t hi) {
    return std::vector<Constraint>{Constraint::min_len(lo), Constraint::max_len(hi)};
  };
  std::vector<Case> cases = {
      {"set of bools, 3 or more", Refine(SetOf(BoolN()), {Constraint::min_len(3)}), Emptiness::Empty},
      {"set of bools, 2 or more", Refine(SetOf(BoolN()), {Constraint::min_len(2)}), Emptiness::Inhabited},
      {"set of two literals, 2 or more", Refine(SetOf(U({Lit(0), Lit(1)})), {Constraint::min_len(2)}),
       Emptiness::Undecided},
      {"set of two literals, 3 or more", Refine(SetOf(U({Lit(0), Lit(1)})), {Constraint::min_len(3)}),
       Emptiness::Empty},
      {"str 3..2", Refine(StrN(), len(3, 2)), Emptiness::Empty},
      {"str 2..3", Refine(StrN(), len(2, 3)), Emptiness::Inhabited},
      {"str 2..3 with a pattern", Refine(StrN(), {Constraint::min_len(2), Constraint::pattern("a+")}),
       Emptiness::Undecided},
      {"lengths across members",
       I({Refine(ListOf(IntN()), {Constraint::min_len(4)}), Refine(ListOf(IntN()), {Constraint::max_len(2)})}),
       Emptiness::Empty},
      {"non-empty tuple tail", Refine(Tuple({}, IntN()), {Constraint::min_len(2)}), Emptiness::Inhabited},
      {"non-empty set of ints", Refine(SetOf(IntN()), {Constraint::min_len(5)}), Emptiness::Inhabited},
      {"non-empty set of frozensets", Refine(SetOf(FrozenSetOf(IntN())), {Constraint::min_len(1)}),
       Emptiness::Inhabited},
      // A set never holds a set (unhashable): not proved inhabited.
      {"non-empty set of sets", Refine(SetOf(SetOf(IntN())), {Constraint::min_len(1)}), Emptiness::Undecided},
      // Nor an object the oracle cannot vouch for.
      {"non-empty set of an opaque literal", Refine(SetOf(Lit(7)), {Constraint::min_len(1)}), Emptiness::Undecided},
  };
  for (const Case& c : cases) EXPECT_EQ(empty(c.node), c.answer) << c.what;
}

TEST_F(EmptinessTest, RecordsMeeting) {
  SchemaNode needs_a = Rec({Field("a", IntN())});
  SchemaNode closed_b = Rec({Field("b", IntN(), false)});
  SchemaNode open_b = Rec({Field("b", IntN(), false)}, {Clause(StrN(), IntN())});
  SchemaNode closed_empty = Rec({});
  EXPECT_EQ(empty(I({needs_a, closed_b})), Emptiness::Empty);
  EXPECT_EQ(empty(I({needs_a, closed_empty})), Emptiness::Empty);
  EXPECT_EQ(empty(I({needs_a, open_b})), Emptiness::Undecided);
  // The same key required with schemas that cannot meet.
  EXPECT_EQ(empty(I({needs_a, Rec({Field("a", StrN(), false)}, {Clause(StrN(), IntN())})})), Emptiness::Empty);
  EXPECT_EQ(empty(I({needs_a, Rec({Field("a", BoolN(), false)}, {Clause(StrN(), IntN())})})), Emptiness::Undecided);
  // A closed record naming the key twice declares it once: every closed
  // record must declare it, whatever the count of its fields by that name.
  SchemaNode a_twice = Rec({Field("a", IntN()), Field("a", IntN(), false)});
  EXPECT_EQ(empty(I({needs_a, a_twice, closed_b})), Emptiness::Empty);
  EXPECT_EQ(empty(I({needs_a, a_twice, open_b})), Emptiness::Undecided);
}

// A record recursing through the meet of two records: deciding the field
// meet on the current path terminates at once instead of restarting the
// expansion at every level.
TEST_F(EmptinessTest, RecursiveRecordMeetStaysShallow) {
  SchemaNode field = U({Ref(0), NoneN()});
  std::vector<SchemaNode> defs{I({Rec({Field("a", field)}), Rec({Field("a", field), Field("b", IntN(), false)})})};
  definitions = defs;
  WorkBudget budget;
  DecisionContext ctx(oracle, definitions, budget);
  EmptinessReport r = emptiness_with_fresh_stack(Ref(0), ctx);
  EXPECT_NE(r.emptiness(), Emptiness::Empty);
  EXPECT_GT(budget.remaining(), WorkBudget::kQuerySteps - 100);
  EXPECT_EQ(ctx.depth, 0u);
}

TEST_F(EmptinessTest, DeepNestingIsUndecidedNotACrash) {
  SchemaNode deep = Nothing();
  for (int i = 0; i < 5000; ++i) deep = Tuple({deep});
  EXPECT_EQ(empty(deep), Emptiness::Undecided);
  SchemaNode shallow = Nothing();
  for (int i = 0; i < 50; ++i) shallow = Tuple({shallow});
  EXPECT_EQ(empty(shallow), Emptiness::Empty);
}

TEST_F(EmptinessTest, BoundsRecordKeepsTheTightest) {
  BoundsRecord b = refinement_bounds(
      std::vector<Constraint>{Constraint::ge(0), Constraint::gt(2), Constraint::le(4), Constraint::lt(4)}, oracle);
  EXPECT_EQ(b.lower, 2u);
  EXPECT_EQ(b.lower_state, BoundState::Strict);
  EXPECT_EQ(b.upper, 4u);
  EXPECT_EQ(b.upper_state, BoundState::Strict);
  EXPECT_TRUE(b.comparable);
  BoundsRecord odd = refinement_bounds(std::vector<Constraint>{Constraint::ge(0), Constraint::ge(6)}, oracle);
  EXPECT_EQ(odd.lower, 0u);
  EXPECT_FALSE(odd.comparable);
}

TEST_F(EmptinessTest, ValueCounts) {
  auto range = [&](const SchemaNode& n) {
    ValueCountRange r = value_count_range(n, oracle);
    return std::make_pair(r.at_least, r.at_most);
  };
  constexpr uint64_t kAll = ValueCountRange::kUnbounded;
  EXPECT_EQ(range(Nothing()), std::make_pair(uint64_t{0}, uint64_t{0}));
  EXPECT_EQ(range(BoolN()), std::make_pair(uint64_t{2}, uint64_t{2}));
  EXPECT_EQ(range(StrN()), std::make_pair(kAll, kAll));
  EXPECT_EQ(range(Lit(3)), std::make_pair(uint64_t{0}, uint64_t{0}));
  EXPECT_EQ(range(U({NoneN(), BoolN(), Lit(0)})), std::make_pair(uint64_t{2}, uint64_t{4}));
  EXPECT_EQ(range(U({BoolN(), StrN()})), std::make_pair(kAll, kAll));
}

TEST_F(EmptinessTest, EntryPoint) {
  WorkBudget budget;
  EXPECT_EQ(is_empty(RawIntersection({IntN(), StrN()}), {}, oracle, budget), Emptiness::Empty);
  EXPECT_EQ(is_empty(Anything(), {}, oracle, budget), Emptiness::Inhabited);
  EXPECT_EQ(is_empty(Lit(7), {}, ir::no_oracle(), budget), Emptiness::Undecided);
}

}  // namespace
}  // namespace tessolin::decide

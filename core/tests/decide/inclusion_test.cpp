#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "decide/decisions.hpp"
#include "decide/inclusion.hpp"
#include "decide_test_support.hpp"

namespace tessolin::decide {
namespace {

using namespace testing;

constexpr Relation kSub = Relation::Subset;
constexpr Relation kNot = Relation::NotSubset;
constexpr Relation kUnd = Relation::Undecided;

// Pool: 0 -> 1, 1 -> 2, 2 -> 3, 3 -> NaN, 4 -> 5, 5 -> 6, 6 -> "a",
// 7 -> opaque, 8 -> 3 (a second copy). Classes: 20 and 21 with standard
// hooks.
class InclusionTest : public ::testing::Test {
 protected:
  InclusionTest() {
    oracle.constants = {
        {0, IntC(1)}, {1, IntC(2)}, {2, IntC(3)},   {3, FloatC(std::numeric_limits<double>::quiet_NaN())},
        {4, IntC(5)}, {5, IntC(6)}, {6, StrC("a")}, {7, OpaqueC()},
        {8, IntC(3)}};
    oracle.standard_hook_classes = {20, 21};
  }

  Relation rel(const SchemaNode& a, const SchemaNode& b, int32_t steps = WorkBudget::kQuerySteps) {
    WorkBudget budget(steps);
    return relation(a, b, definitions, oracle, budget);
  }

  struct Case {
    std::string what;
    SchemaNode a;
    SchemaNode b;
    Relation forward;   // a within b
    Relation backward;  // b within a
  };

  // Each case both ways; then every smaller budget answers the same or
  // undecided, never the other proof.
  void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      EXPECT_EQ(rel(c.a, c.b), c.forward) << c.what << " (forward)";
      EXPECT_EQ(rel(c.b, c.a), c.backward) << c.what << " (backward)";
      for (int32_t steps = 0; steps < 64; ++steps) {
        Relation f = rel(c.a, c.b, steps);
        EXPECT_TRUE(f == c.forward || f == kUnd) << c.what << " forward with budget " << steps;
        Relation g = rel(c.b, c.a, steps);
        EXPECT_TRUE(g == c.backward || g == kUnd) << c.what << " backward with budget " << steps;
      }
    }
  }

  FakeOracle oracle;
  std::vector<SchemaNode> definitions;
};

TEST_F(InclusionTest, KindsAndLiterals) {
  check({
      {"int in int|str", IntN(), U({IntN(), StrN()}), kSub, kNot},
      {"bool in int", BoolN(), IntN(), kSub, kNot},
      {"nothing in a list", Nothing(), ListOf(IntN()), kSub, kNot},
      {"literal subset by index", U({Lit(0), Lit(1)}), U({Lit(0), Lit(1), Lit(2)}), kSub, kNot},
      {"literal subset by value", Lit(8), U({Lit(1), Lit(2)}), kUnd, kNot},
      {"NaN literal in any set", Lit(3), Lit(0), kSub, kNot},
      {"opaque literal", Lit(7), Lit(0), kUnd, kUnd},
      {"anything in int|~bool", Anything(), RawUnion({IntN(), RawComplement(BoolN())}), kSub, kSub},
      {"int in str|list", IntN(), U({StrN(), ListOf(IntN())}), kNot, kNot},
      {"literal in its kind", Lit(0), IntN(), kUnd, kUnd},
      {"str literal outside int", Lit(6), IntN(), kNot, kNot},
  });
}

TEST_F(InclusionTest, LiteralAgainstKindAsksTheOracle) {
  oracle.subset = [](const SchemaNode& a, const SchemaNode& b) {
    return a.is(NodeKind::Literal) && b.is(NodeKind::Int) ? OracleAnswer::Yes : OracleAnswer::Undecided;
  };
  EXPECT_EQ(rel(Lit(0), IntN()), kSub);
  EXPECT_EQ(rel(U({Lit(0), Lit(1)}), IntN()), kSub);
  EXPECT_EQ(rel(U({Lit(0), Lit(6)}), IntN()), kNot);
}

TEST_F(InclusionTest, Sequences) {
  check({
      {"variadic against one item", Tuple({}, IntN()), Tuple({IntN()}), kNot, kSub},
      {"prefix and tail against prefix", Tuple({IntN()}, IntN()), Tuple({IntN()}), kNot, kSub},
      {"lengths differ", Tuple({IntN(), StrN()}), Tuple({IntN()}), kNot, kNot},
      {"tail of nothing", Tuple({}, Nothing()), Tuple({}), kSub, kSub},
      {"lists by element", ListOf(BoolN()), ListOf(IntN()), kSub, kNot},
      {"list against tuple", ListOf(IntN()), Tuple({}, IntN()), kNot, kNot},
      {"items meet the tail", Tuple({BoolN(), IntN(), BoolN()}), Tuple({IntN()}, IntN()), kSub, kNot},
      {"product of a union", Tuple({U({IntN(), StrN()}), IntN()}),
       U({Tuple({IntN(), IntN()}), Tuple({StrN(), IntN()})}), kSub, kSub},
      {"product not covered", Tuple({U({IntN(), StrN()}), U({IntN(), StrN()})}),
       U({Tuple({IntN(), IntN()}), Tuple({StrN(), StrN()})}), kNot, kSub},
  });
}

TEST_F(InclusionTest, Collections) {
  check({
      {"set by element", SetOf(BoolN()), SetOf(IntN()), kSub, kNot},
      {"set against frozenset", SetOf(IntN()), FrozenSetOf(IntN()), kNot, kNot},
      // A set holds instances of a list subclass that defines __hash__.
      {"set of lists", SetOf(ListOf(IntN())), SetOf(StrN()), kNot, kNot},
      {"set of tuples of ints", SetOf(Tuple({IntN()})), SetOf(Tuple({StrN()})), kNot, kNot},
  });
}

TEST_F(InclusionTest, Records) {
  SchemaNode a_int = Rec({Field("a", IntN())});
  check({
      {"optional extra field", a_int, Rec({Field("a", IntN()), Field("b", StrN(), false)}), kSub, kNot},
      {"required extra field", a_int, Rec({Field("a", IntN()), Field("b", StrN())}), kNot, kNot},
      {"optional in a, required in b", Rec({Field("a", IntN(), false)}), a_int, kNot, kSub},
      {"field against a clause", Rec({Field("x", BoolN())}), Rec({}, {Clause(StrN(), IntN())}), kSub, kNot},
      {"clause against an optional field", Rec({}, {Clause(StrN(), IntN())}), Rec({Field("x", IntN(), false)}), kNot,
       kSub},
      {"clause value too wide for a field", Rec({}, {Clause(StrN(), IntN())}), Rec({Field("x", BoolN(), false)}), kNot,
       kSub},
      {"dicts by key and value", Rec({}, {Clause(StrN(), BoolN())}), Rec({}, {Clause(StrN(), IntN())}), kSub, kNot},
      {"field forbidden by a closed record", Rec({Field("x", IntN(), false)}), Rec({}), kNot, kSub},
  });
}

// A key matched by several catch-all clauses is admitted when its value
// matches any of them: {"x": int | str} lies within {str: int, object: str}.
TEST_F(InclusionTest, FieldCoveredByClausesTogether) {
  SchemaNode b = Rec({}, {Clause(StrN(), IntN()), Clause(Anything(), StrN())});
  EXPECT_EQ(rel(Rec({Field("x", U({IntN(), StrN()}))}), b), kSub);
  EXPECT_EQ(rel(Rec({Field("x", U({IntN(), StrN()}), false)}), b), kSub);
  EXPECT_EQ(rel(Rec({Field("x", U({IntN(), BytesN()}))}), b), kNot);
  // Values the clauses cannot settle together stay open.
  EXPECT_EQ(rel(Rec({Field("x", Lit(7))}), b), kUnd);
}

TEST_F(InclusionTest, Objects) {
  check({
      {"fewer attributes", Obj({Field("x", IntN()), Field("y", StrN())}), Obj({Field("x", IntN())}), kSub, kNot},
      {"attribute schemas", Obj({Field("x", BoolN())}), Obj({Field("x", IntN())}), kSub, kNot},
      {"optional against required", Obj({Field("x", IntN(), false)}), Obj({Field("x", IntN())}), kNot, kSub},
      // An unlisted attribute may hold any value, which b's optional
      // attribute of every value admits.
      {"optional attribute of anything", Obj({}), Obj({Field("x", Anything(), false)}), kSub, kSub},
      {"optional attribute of ints", Obj({}), Obj({Field("x", IntN(), false)}), kNot, kSub},
  });
}

TEST_F(InclusionTest, Refinements) {
  auto ge = [](uint64_t i) { return Refine(IntN(), {Constraint::ge(i)}); };
  check({
      {">= 5 within >= 3", ge(4), ge(2), kSub, kUnd},
      {">= 5 against > 5", ge(4), Refine(IntN(), {Constraint::gt(4)}), kUnd, kSub},
      {"< 3 within <= 3", Refine(IntN(), {Constraint::lt(2)}), Refine(IntN(), {Constraint::le(8)}), kSub, kUnd},
      {"multiple of 6 within 3", Refine(IntN(), {Constraint::multiple_of(5)}),
       Refine(IntN(), {Constraint::multiple_of(2)}), kSub, kUnd},
      {"refined within its base", ge(4), IntN(), kSub, kUnd},
      {"refined outside another kind", ge(4), StrN(), kNot, kNot},
      {"list against non-empty list", ListOf(IntN()), Refine(ListOf(IntN()), {Constraint::min_len(1)}), kNot, kSub},
      {"list against list of length 0+", ListOf(IntN()), Refine(ListOf(IntN()), {Constraint::min_len(0)}), kSub, kSub},
      {"same predicate", Refine(StrN(), {Constraint::predicate(7)}), Refine(StrN(), {Constraint::predicate(7)}), kSub,
       kSub},
  });
}

TEST_F(InclusionTest, Complements) {
  check({
      {"int within not str", IntN(), Not(StrN()), kSub, kNot},
      {"list within not str", ListOf(IntN()), RawComplement(StrN()), kSub, kNot},
      {"complements swap", RawComplement(ListOf(IntN())), RawComplement(ListOf(BoolN())), kSub, kNot},
      // Both hold the empty list.
      {"list within not list", ListOf(IntN()), RawComplement(ListOf(StrN())), kNot, kNot},
  });
}

// A value outside each of a's complemented sets lies outside their union,
// so a meets no value of the union's complement; each answer is checked
// against the values the two sides hold.
TEST_F(InclusionTest, ComplementsMetAgainstTheComplementOfTheirUnion) {
  auto outside = [](std::vector<uint64_t> constants) {
    std::vector<SchemaNode> members;
    for (uint64_t i : constants) members.push_back(Not(Lit(i)));
    return I(members);
  };
  auto outside_all = [](std::vector<uint64_t> constants) {
    std::vector<SchemaNode> literals;
    for (uint64_t i : constants) literals.push_back(Lit(i));
    return Not(U(literals));
  };
  check({
      {"the same constants", outside({0, 1, 2}), outside_all({0, 1, 2}), kSub, kSub},
      // a holds 3, which b does not.
      {"one left out", outside({0, 1}), outside_all({0, 1, 2}), kUnd, kSub},
      {"NaN holds no value", outside({3, 0, 1}), outside_all({0, 1}), kSub, kSub},
      {"NaN on the other side", outside({0, 1}), outside_all({0, 1, 3}), kSub, kSub},
      {"an opaque constant on both sides", outside({7, 0}), outside_all({7, 0}), kSub, kSub},
      // Whether 7 is 1 or 2 is not known.
      {"an opaque constant on one side", outside({0, 1}), outside_all({7, 0}), kUnd, kUnd},
      // 3 at two indices: equal values, which only the oracle tells.
      {"an equal constant at another index", outside({8, 0}), outside_all({2, 0}), kUnd, kUnd},
      {"with a kind beside", I({IntN(), Not(Lit(0)), Not(Lit(1))}), outside_all({0, 1}), kSub, kUnd},
  });
}

TEST_F(InclusionTest, ComplementAgainstAClassAsksEveryOtherKind) {
  oracle.within_class[{SlotKind::Str, 20}] = OracleAnswer::No;
  EXPECT_EQ(rel(Not(IntN()), Inst(20)), kNot);
  EXPECT_EQ(oracle.within_class_asked, (std::vector<SlotKind>{SlotKind::None, SlotKind::Float, SlotKind::Str}));
  oracle.within_class_asked.clear();
  EXPECT_EQ(rel(Not(U({IntN(), StrN()})), Inst(20)), kUnd);
  EXPECT_TRUE(oracle.within_class_asked.empty());
}

TEST_F(InclusionTest, ClassWithShapeAgainstAnotherClass) {
  oracle.subset = [](const SchemaNode& a, const SchemaNode& b) {
    return a.is(NodeKind::Instance) && a.number() == 20 && b.is(NodeKind::Instance) && b.number() == 21
               ? OracleAnswer::No
               : OracleAnswer::Undecided;
  };
  SchemaNode shaped = I({Inst(20), Obj({Field("x", IntN())})});
  EXPECT_EQ(rel(shaped, Inst(21)), kNot);
  EXPECT_EQ(rel(shaped, Inst(20)), kSub);
}

TEST_F(InclusionTest, RecursionIsAssumedIncluded) {
  // X = list[X], Y = list[Y]; Z = list[Z] | int.
  definitions = {ListOf(Ref(0)), ListOf(Ref(1)), U({ListOf(Ref(2)), IntN()})};
  check({
      {"two equal recursions", Ref(0), Ref(1), kSub, kSub},
      {"within a wider recursion", Ref(0), Ref(2), kSub, kNot},
      {"recursion against a plain list", Ref(0), ListOf(Anything()), kSub, kNot},
  });
}

TEST_F(InclusionTest, SameNodeNeedsNoBudget) {
  SchemaNode l = ListOf(IntN());
  WorkBudget none(0);
  DecisionContext ctx(oracle, {}, none);
  AssumedPairs assumed;
  EXPECT_EQ(decide_inclusion(l, l, ctx, assumed), kSub);
  EXPECT_EQ(decide_inclusion(IntN(), StrN(), ctx, assumed), kUnd);
}

TEST_F(InclusionTest, Equivalence) {
  struct Pair {
    SchemaNode a, b;
    bool equivalent;
  };
  std::vector<Pair> cases = {
      {U({BoolN(), IntN()}), IntN(), true},
      {IntN(), BoolN(), false},
      {BoolN(), IntN(), false},
      {Tuple({U({IntN(), StrN()})}), U({Tuple({IntN()}), Tuple({StrN()})}), true},
      {Rec({Field("a", IntN())}), Rec({Field("a", IntN(), false)}), false},
  };
  for (const Pair& c : cases) {
    WorkBudget budget;
    EXPECT_EQ(is_equivalent(c.a, c.b, {}, oracle, budget), c.equivalent);
  }
  // One budget for both directions: enough for one is not enough for both.
  // Two names of one recursive set, which the descriptor algebra does not
  // decide: X = list[X] | int, Y = list[Y] | int.
  definitions = {U({ListOf(Ref(0)), IntN()}), U({ListOf(Ref(1)), IntN()})};
  WorkBudget probe;
  ASSERT_EQ(relation(Ref(0), Ref(1), definitions, oracle, probe), kSub);
  const int32_t one_way = WorkBudget::kQuerySteps - probe.remaining();
  WorkBudget enough(2 * one_way);
  EXPECT_TRUE(is_equivalent(Ref(0), Ref(1), definitions, oracle, enough));
  WorkBudget tight(one_way);
  EXPECT_FALSE(is_equivalent(Ref(0), Ref(1), definitions, oracle, tight));
}

TEST_F(InclusionTest, DeepNestingIsUndecidedNotACrash) {
  SchemaNode a = IntN(), b = StrN();
  for (int i = 0; i < 3000; ++i) {
    a = Tuple({a});
    b = Tuple({b});
  }
  EXPECT_EQ(rel(a, b), kUnd);
  EXPECT_EQ(rel(a, a), kSub);
}

TEST_F(InclusionTest, ManyProductAlternativesStayBounded) {
  std::vector<SchemaNode> alternatives;
  for (uint64_t i = 100; i < 2100; ++i) alternatives.push_back(Tuple({Lit(i)}));
  SchemaNode a = Tuple({U({IntN(), StrN()})});
  WorkBudget budget;
  EXPECT_EQ(relation(a, U(alternatives), {}, ir::no_oracle(), budget), kUnd);
}

// Without an oracle only pool indices and structure count.
TEST(WithoutAnOracle, ClaimsNothingAboutConstants) {
  struct Case {
    SchemaNode a, b;
    Relation expected;
  };
  std::vector<Case> cases = {
      {Lit(0), U({Lit(0), Lit(1)}), kSub},
      {Lit(2), U({Lit(0), Lit(1)}), kUnd},
      {Lit(0), IntN(), kUnd},
      {Inst(3), Inst(4), kUnd},
      {Refine(IntN(), {Constraint::ge(1)}), Refine(IntN(), {Constraint::ge(2)}), kUnd},
      {Refine(IntN(), {Constraint::ge(1)}), Refine(IntN(), {Constraint::ge(1)}), kSub},
      {IntN(), StrN(), kNot},
      {Tuple({IntN()}), Tuple({}, U({IntN(), Lit(4)})), kSub},
  };
  for (const Case& c : cases) {
    WorkBudget budget;
    EXPECT_EQ(relation(c.a, c.b, {}, ir::no_oracle(), budget), c.expected);
  }
}

TEST_F(InclusionTest, RelationTexts) {
  EXPECT_EQ(relation_text(kSub), "subset");
  EXPECT_EQ(relation_text(kNot), "not_subset");
  EXPECT_EQ(relation_text(kUnd), "undecided");
}

}  // namespace
}  // namespace tessolin::decide

#include <gtest/gtest.h>

#include "ir/list_facts.hpp"
#include "ir/node_walk.hpp"
#include "ir/value_kinds.hpp"
#include "ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

TEST(KindMask, Table) {
  struct Case {
    const char* what;
    SchemaNode node;
    bool unknown;
    KindMask mask;
  };
  std::vector<Case> cases;
  cases.push_back({"int|str", U({IntN(), StrN()}), false, 22});
  cases.push_back({"int & ~bool", I({IntN(), Not(BoolN())}), false, 4});
  cases.push_back({"~None", Not(NoneN()), false, 126});
  cases.push_back({"anything", Any(), false, 127});
  cases.push_back({"nothing", Nothing(), false, 0});
  cases.push_back({"list[int]", ListOf(IntN()), true, 0});
  cases.push_back({"~list[int]", Not(ListOf(IntN())), true, 0});
  cases.push_back({"int|list[int]", U({IntN(), ListOf(IntN())}), true, 0});
  cases.push_back({"bounded int", Refine(IntN(), {Constraint::ge(0)}), true, 0});
  cases.push_back(
      {"constraint-free refinement", SchemaNode::refinement(In(FloatN()), ConstraintList::from_vector({})), false, 8});
  for (const Case& c : cases) {
    KindMaskResult r = kind_mask(c.node);
    EXPECT_EQ(r.unknown, c.unknown) << c.what;
    if (!c.unknown) {
      EXPECT_EQ(r.mask, c.mask) << c.what;
    }
  }
}

TEST(SlotKinds, NodesAndClassExclusion) {
  ScriptedOracle o;
  o.scalar_kinds[1] = SlotKind::Str;
  EXPECT_EQ(node_slot_kind(Lit(1), o), SlotKind::Str);
  EXPECT_EQ(node_slot_kind(Lit(2), o), SlotKind::Unknown);
  EXPECT_EQ(node_slot_kind(TupleOf({}), o), SlotKind::Tuple);
  EXPECT_EQ(node_slot_kind(FrozenSetOf(IntN()), o), SlotKind::FrozenSet);
  EXPECT_EQ(
      node_slot_kind(Refine(Refine(DictOf(StrN(), IntN()), {Constraint::min_len(1)}), {Constraint::max_len(2)}), o),
      SlotKind::Dict);
  EXPECT_EQ(node_slot_kind(U({IntN(), StrN()}), o), SlotKind::Unknown);

  o.kind_matches_strict[{7, SlotKind::Str}] = OracleAnswer::No;
  o.kind_matches_strict[{7, SlotKind::Int}] = OracleAnswer::Yes;
  EXPECT_TRUE(kind_excludes_class(StrN(), 7, o, {}));
  EXPECT_FALSE(kind_excludes_class(IntN(), 7, o, {}));
  EXPECT_FALSE(kind_excludes_class(BytesN(), 7, o, {}));  // undecided
  EXPECT_FALSE(kind_excludes_class(U({StrN(), IntN()}), 7, o, {}));
  EXPECT_TRUE(kind_excludes_class(U({StrN(), Lit(1)}), 7, o, {}));
  std::vector<SchemaNode> defs{StrN(), U({StrN(), IntN()})};
  EXPECT_TRUE(kind_excludes_class(Ref(0), 7, o, defs));
  EXPECT_FALSE(kind_excludes_class(Ref(1), 7, o, defs));
  EXPECT_FALSE(kind_excludes_class(Ref(2), 7, o, defs));
  EXPECT_FALSE(kind_excludes_class(Inst(3), 7, o, defs));
}

TEST(NodesDisjoint, RulesWithNoOracle) {
  struct Case {
    const char* what;
    SchemaNode a;
    SchemaNode b;
    bool disjoint;
  };
  std::vector<Case> cases;
  cases.push_back({"nothing, nothing", Nothing(), Nothing(), true});
  cases.push_back({"anything, nothing", Any(), Nothing(), true});
  cases.push_back({"anything, int", Any(), IntN(), false});
  cases.push_back({"int, bool", IntN(), BoolN(), false});
  cases.push_back({"int, float", IntN(), FloatN(), true});
  cases.push_back({"list vs tuple", ListOf(IntN()), TupleOf({}, IntN()), true});
  cases.push_back({"set vs frozenset", SetOf(IntN()), FrozenSetOf(IntN()), true});
  cases.push_back({"record vs list", DictOf(StrN(), IntN()), ListOf(IntN()), true});
  cases.push_back({"list[int] vs list[str]", ListOf(IntN()), ListOf(StrN()), false});
  cases.push_back({"min_len 1 makes element schemas count", Refine(ListOf(IntN()), {Constraint::min_len(1)}),
                   ListOf(StrN()), true});
  cases.push_back({"min_len 0 does not", Refine(ListOf(IntN()), {Constraint::min_len(0)}), ListOf(StrN()), false});
  cases.push_back({"bounded ints are not proven apart", Refine(IntN(), {Constraint::ge(10)}),
                   Refine(IntN(), {Constraint::lt(0)}), false});
  cases.push_back({"union all members apart", U({IntN(), StrN()}), FloatN(), true});
  cases.push_back({"union one member overlaps", U({IntN(), StrN()}), BoolN(), false});
  cases.push_back({"right union", FloatN(), U({IntN(), StrN()}), true});
  cases.push_back({"instance vs str undecided", Inst(2), StrN(), false});
  cases.push_back({"two unknown kinds", Inst(2), Obj({}), false});
  for (const Case& c : cases) EXPECT_EQ(nodes_disjoint(c.a, c.b, no_oracle()), c.disjoint) << c.what;
}

TEST(NodesDisjoint, OracleBackedRules) {
  ScriptedOracle o;
  o.scalar_kinds[1] = SlotKind::Int;
  // A literal of known kind against another kind.
  EXPECT_TRUE(nodes_disjoint(Lit(1), StrN(), o));
  // Literal sets: the bulk question first; yes decides.
  o.disjoint_answer = OracleAnswer::Yes;
  EXPECT_TRUE(nodes_disjoint(U({Lit(1), Lit(2)}), Lit(3), o));
  EXPECT_EQ(o.disjoint_calls, 1);
  // No decides too, without splitting.
  o.disjoint_answer = OracleAnswer::No;
  o.disjoint_calls = 0;
  EXPECT_FALSE(nodes_disjoint(U({Lit(1), Lit(2)}), Lit(3), o));
  EXPECT_EQ(o.disjoint_calls, 1);
  // Undecided splits the union; single pairs ask both operations.
  o.disjoint_answer = OracleAnswer::Undecided;
  o.disjoint_calls = 0;
  o.distinct = {{1, 3}, {2, 3}};
  EXPECT_TRUE(nodes_disjoint(U({Lit(1), Lit(2)}), Lit(3), o));
  EXPECT_EQ(o.disjoint_calls, 3);
  EXPECT_EQ(o.distinct_calls, 2);
  o.distinct = {{1, 3}};
  EXPECT_FALSE(nodes_disjoint(U({Lit(1), Lit(2)}), Lit(3), o));
  // An instance of a class based on int against str.
  o.kind_matches[{9, SlotKind::Str}] = OracleAnswer::No;
  EXPECT_TRUE(nodes_disjoint(Inst(9), StrN(), o));
  EXPECT_TRUE(nodes_disjoint(StrN(), Inst(9), o));
  EXPECT_FALSE(nodes_disjoint(Inst(10), StrN(), o));
}

TEST(LiteralMembersAndElements, Accessors) {
  ListFacts facts(no_oracle());
  EXPECT_FALSE(literal_members(U({Lit(1), NoneN()}), facts));  // None sorts first
  auto two = literal_members(U({Lit(5), Lit(2)}), facts);
  ASSERT_TRUE(two);
  EXPECT_EQ(std::vector<uint64_t>(two->begin(), two->end()), (std::vector<uint64_t>{2, 5}));
  auto one = literal_members(Lit(8), facts);
  ASSERT_TRUE(one);
  EXPECT_TRUE(one->single());
  EXPECT_EQ((*one)[0], 8u);
  EXPECT_FALSE(literal_members(IntN(), facts));

  SchemaNode tuple_tail = TupleOf({}, IntN());
  ASSERT_NE(element_schema(tuple_tail), nullptr);
  EXPECT_TRUE(element_schema(tuple_tail)->is(NodeKind::Int));
  EXPECT_EQ(element_schema(TupleOf({IntN(), StrN()})), nullptr);
  EXPECT_EQ(element_schema(TupleOf({})), nullptr);
  SchemaNode refined_set = Refine(SetOf(BytesN()), {Constraint::min_len(1)});
  ASSERT_NE(element_schema(refined_set), nullptr);
  EXPECT_TRUE(element_schema(refined_set)->is(NodeKind::Bytes));
}

}  // namespace
}  // namespace tessolin::ir

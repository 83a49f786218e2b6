#include <gtest/gtest.h>

#include <algorithm>

#include "ir/constructors.hpp"
#include "ir/node_walk.hpp"
#include "ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

TEST(MakeUnion, IdentitiesAndAbsorption) {
  EXPECT_TRUE(U({}).is(NodeKind::Nothing));
  EXPECT_TRUE(U({Nothing(), Nothing()}).is(NodeKind::Nothing));
  SchemaNode any = U({IntN(), Any(), StrN()});
  EXPECT_TRUE(any.is_typing_any());
  SchemaNode plain = U({IntN(), Anything(), Any()});
  EXPECT_TRUE(plain.is(NodeKind::Anything));
  EXPECT_EQ(plain.flag(), 0);  // the first Anything met wins
  EXPECT_TRUE(U({IntN(), IntN()}).is(NodeKind::Int));
  EXPECT_TRUE(U({Nothing(), StrN()}).is(NodeKind::Str));
}

TEST(MakeUnion, FlattensSortsAndDedupes) {
  SchemaNode u = U({StrN(), U({IntN(), NoneN()}), IntN(), Inst(3)});
  ASSERT_TRUE(u.is(NodeKind::Union));
  EXPECT_EQ(kinds_of(u.members()),
            (std::vector<NodeKind>{NodeKind::None, NodeKind::Int, NodeKind::Str, NodeKind::Instance}));
  // Written in another order: an equal node, sharing the interned list.
  SchemaNode v = U({Inst(3), NoneN(), StrN(), IntN()});
  EXPECT_TRUE(node_eq(u, v));
  EXPECT_TRUE(u.members().same_as(v.members()));
  // Int and Bool stay apart: no decision about values.
  EXPECT_EQ(U({IntN(), BoolN()}).members().size(), 2u);
}

TEST(MakeUnion, ComplementFoldNeedsAClosedNode) {
  EXPECT_TRUE(U({IntN(), Not(IntN())}).is(NodeKind::Anything));
  EXPECT_EQ(U({IntN(), Not(IntN())}).flag(), 0);
  EXPECT_TRUE(U({ListOf(StrN()), Not(ListOf(StrN()))}).is(NodeKind::Anything));
  // Open nodes never fold.
  std::vector<SchemaNode> open_nodes{Inst(1), Refine(IntN(), {Constraint::predicate(4)}), Ph(9), Ref(0),
                                     ListOf(Inst(1))};
  for (const SchemaNode& x : open_nodes) {
    SchemaNode u = U({x, Not(x)});
    EXPECT_TRUE(u.is(NodeKind::Union)) << kind_display_name(x);
    EXPECT_EQ(u.members().size(), 2u);
  }
  // A reference folds when its definition is closed, also a recursive one.
  std::vector<SchemaNode> defs{ListOf(Ref(0))};
  EXPECT_TRUE(make_union({Ref(0), Not(Ref(0))}, defs).is(NodeKind::Anything));
  std::vector<SchemaNode> open_defs{ListOf(Inst(2))};
  EXPECT_TRUE(make_union({Ref(0), Not(Ref(0))}, open_defs).is(NodeKind::Union));
  // A refinement without a predicate is closed.
  SchemaNode bounded = Refine(IntN(), {Constraint::ge(1)});
  EXPECT_TRUE(U({bounded, Not(bounded)}).is(NodeKind::Anything));
}

TEST(HasComplementaryPair, InstanceClosedOnlyWhenTheCallbackSaysYes) {
  std::vector<SchemaNode> members{Inst(5), RawComplement(Inst(5))};
  EXPECT_FALSE(has_complementary_pair(members, no_oracle(), {}));
  ScriptedOracle hooks;
  hooks.standard_hook_classes.insert(5);
  EXPECT_TRUE(has_complementary_pair(members, hooks, {}));
  std::vector<SchemaNode> unrelated{Inst(5), RawComplement(Inst(6))};
  hooks.standard_hook_classes.insert(6);
  EXPECT_FALSE(has_complementary_pair(unrelated, hooks, {}));
}

// The pairwise reference: each complement's inner looked for among all members.
bool naive_complementary_pair(const std::vector<SchemaNode>& members) {
  for (const SchemaNode& m : members) {
    if (!m.is(NodeKind::Complement)) continue;
    for (const SchemaNode& other : members)
      if (node_eq(other, *m.inner()) && node_is_closed(other, no_oracle(), {})) return true;
  }
  return false;
}

TEST(HasComplementaryPair, AgreesWithThePairwiseReferenceInAnyOrder) {
  // Open and closed inners, a complement of a complement, and an inner that
  // differs from a member only below the top.
  const std::vector<SchemaNode> pool{Lit(1),
                                     Lit(2),
                                     Inst(1),
                                     ListOf(Lit(1)),
                                     RawComplement(Lit(1)),
                                     RawComplement(Lit(2)),
                                     RawComplement(Inst(1)),
                                     RawComplement(ListOf(Lit(2))),
                                     RawComplement(RawComplement(Lit(2)))};
  for (uint32_t subset = 0; subset < (1u << pool.size()); ++subset) {
    std::vector<SchemaNode> members;
    for (size_t i = 0; i < pool.size(); ++i)
      if (subset & (1u << i)) members.push_back(pool[i]);
    const bool expected = naive_complementary_pair(members);
    EXPECT_EQ(has_complementary_pair(members, no_oracle(), {}), expected) << "subset " << subset;
    std::reverse(members.begin(), members.end());
    EXPECT_EQ(has_complementary_pair(members, no_oracle(), {}), expected) << "reversed subset " << subset;
  }
}

TEST(MakeIntersection, IdentitiesAndAbsorption) {
  SchemaNode top = I({});
  EXPECT_TRUE(top.is(NodeKind::Anything));
  EXPECT_EQ(top.flag(), 0);
  SchemaNode of_any = I({Any()});
  EXPECT_TRUE(of_any.is(NodeKind::Anything));
  EXPECT_EQ(of_any.flag(), 0);  // loses the flag
  EXPECT_TRUE(I({IntN(), Nothing(), StrN()}).is(NodeKind::Nothing));
  EXPECT_TRUE(I({IntN(), Not(IntN())}).is(NodeKind::Nothing));
  EXPECT_TRUE(I({Inst(1), Not(Inst(1))}).is(NodeKind::Intersection));
  EXPECT_TRUE(I({StrN(), Any()}).is(NodeKind::Str));
  SchemaNode nested = I({I({Inst(2), StrN()}), IntN(), StrN()});
  EXPECT_EQ(kinds_of(nested.members()), (std::vector<NodeKind>{NodeKind::Int, NodeKind::Str, NodeKind::Instance}));
}

TEST(MakeComplement, Folds) {
  EXPECT_TRUE(Not(Any()).is(NodeKind::Nothing));
  SchemaNode top = Not(Nothing());
  EXPECT_TRUE(top.is(NodeKind::Anything));
  EXPECT_EQ(top.flag(), 0);
  SchemaNode list_any = ListOf(Any());
  SchemaNode twice = Not(Not(list_any));
  EXPECT_TRUE(node_eq(twice, list_any));
  EXPECT_TRUE(twice.tail()->is_typing_any());
  SchemaNode c = Not(IntN());
  ASSERT_TRUE(c.is(NodeKind::Complement));
  EXPECT_TRUE(c.inner()->is(NodeKind::Int));
}

TEST(MakeRefinement, SortsAndDedupes) {
  SchemaNode r = Refine(IntN(), {Constraint::lt(7), Constraint::ge(3), Constraint::lt(7)});
  ASSERT_TRUE(r.is(NodeKind::Refinement));
  ASSERT_EQ(r.constraints().size(), 2u);
  EXPECT_EQ(r.constraints()[0].kind(), ConstraintKind::Ge);
  EXPECT_EQ(r.constraints()[1].kind(), ConstraintKind::Lt);
  EXPECT_TRUE(Refine(IntN(), {}).is(NodeKind::Int));
  // Nested refinements are not merged here.
  SchemaNode nested = Refine(r, {Constraint::multiple_of(2)});
  EXPECT_TRUE(nested.base()->is(NodeKind::Refinement));
  // Many constraints take the merge-sort path with the same result.
  std::vector<Constraint> many;
  for (int i = 30; i > 0; --i) many.push_back(Constraint::pattern(std::string(1, static_cast<char>('a' + i % 5))));
  SchemaNode p = Refine(StrN(), many);
  ASSERT_EQ(p.constraints().size(), 5u);
  EXPECT_EQ(p.constraints()[0].pattern_text(), "a");
  EXPECT_EQ(p.constraints()[4].pattern_text(), "e");
}

TEST(MakeRecord, SortsFieldsAndClauses) {
  SchemaNode r =
      Rec({Field("b", IntN()), Field("a", StrN(), false)}, {{StrN(), IntN()}, {IntN(), StrN()}, {StrN(), IntN()}});
  ASSERT_EQ(r.fields().size(), 2u);
  EXPECT_EQ(r.fields()[0].name.view(), "a");
  EXPECT_FALSE(r.fields()[0].required);
  ASSERT_EQ(r.clauses().size(), 2u);
  EXPECT_TRUE(r.clauses()[0].key.is(NodeKind::Int));
  SchemaNode open = Rec({}, {{Any(), Any()}});
  EXPECT_TRUE(open.clauses().same_as(top_catch_all_list()));
}

TEST(Constructors, RepeatingSequenceAndClassShape) {
  RepeatingSequence rs = repeating_sequence(IntN());
  EXPECT_TRUE(rs.prefix.same_as(empty_node_list()));
  EXPECT_TRUE(rs.tail->is(NodeKind::Int));

  SchemaNode shaped = I({Inst(4), Obj({Field("x", IntN())}), Refine(IntN(), {Constraint::ge(0)})});
  EXPECT_EQ(match_class_with_shape(shaped), std::optional<uint64_t>(4));
  EXPECT_EQ(match_class_with_shape(I({Inst(4), TupleOf({IntN()})})), std::optional<uint64_t>(4));
  EXPECT_FALSE(match_class_with_shape(I({Inst(4), Obj({Field("x", IntN())}), Obj({Field("y", IntN())})})));
  EXPECT_FALSE(match_class_with_shape(I({Inst(4), Inst(5), TupleOf({IntN()})})));
  EXPECT_FALSE(match_class_with_shape(I({Inst(4), StrN()})));
  EXPECT_FALSE(match_class_with_shape(Inst(4)));
}

}  // namespace
}  // namespace tessolin::ir

#include <gtest/gtest.h>

#include "decide/unfold.hpp"
#include "decide_test_support.hpp"
#include "ir/node_order.hpp"

namespace tessolin::decide {
namespace {

using namespace testing;

constexpr UnfoldPolarity kWider = UnfoldPolarity::Superset;
constexpr UnfoldPolarity kNarrower = UnfoldPolarity::Subset;

TEST(HasRecursion, FindsBackEdgesAtAnyDepth) {
  EXPECT_FALSE(has_recursion(Rec({Field("a", ListOf(U({IntN(), StrN()})))}, {Clause(StrN(), SetOf(BoolN()))})));
  EXPECT_TRUE(has_recursion(Ref(0)));
  EXPECT_TRUE(has_recursion(Rec({Field("a", IntN())}, {Clause(StrN(), Tuple({IntN()}, Ph(3)))})));
  EXPECT_TRUE(has_recursion(Refine(ListOf(Not(Ref(2))), {Constraint::min_len(1)})));
}

TEST(UnfoldRecursion, Table) {
  std::vector<SchemaNode> one_list{ListOf(Ref(0))};
  std::vector<SchemaNode> two{ListOf(Ref(1)), SetOf(Ref(0))};
  struct Case {
    const char* what;
    SchemaNode node;
    std::vector<SchemaNode> defs;
    int32_t count;
    UnfoldPolarity polarity;
    SchemaNode expected;
  };
  std::vector<Case> cases = {
      {"list of itself, wider", Ref(0), one_list, 1, kWider, ListOf(Anything())},
      {"list of itself, narrower", Ref(0), one_list, 1, kNarrower, ListOf(Nothing())},
      {"complement flips, wider", RawComplement(Ref(0)), one_list, 0, kWider, RawComplement(Nothing())},
      {"complement flips, narrower", RawComplement(Ref(0)), one_list, 0, kNarrower, RawComplement(Anything())},
      {"union of two approximations merges", RawUnion({Ref(0), Ref(1)}), two, 0, kWider, RawUnion({Anything()})},
      {"each member unfolds once", RawUnion({Ref(0), Ref(1)}), two, 1, kWider,
       RawUnion({ListOf(Anything()), SetOf(Anything())})},
      {"count spent along the path", Ref(0), two, 2, kNarrower, ListOf(SetOf(Nothing()))},
      {"reference past the definitions", Tuple({Ref(5)}), one_list, 1, kWider, Tuple({Anything()})},
      {"placeholder with count left", ListOf(Ph(1)), one_list, 3, kNarrower, ListOf(Nothing())},
      {"a definition that is a reference", Ref(0), {Ref(1), IntN()}, 1, kWider, Anything()},
      {"a definition that is a reference, count 2", Ref(0), {Ref(1), IntN()}, 2, kWider, IntN()},
      {"record field and clause", Rec({Field("a", Ref(0))}, {Clause(StrN(), Ref(0))}), one_list, 0, kNarrower,
       Rec({Field("a", Nothing())}, {Clause(StrN(), Nothing())})},
  };
  for (const Case& c : cases) {
    SchemaNode got = unfold_recursion(c.node, c.defs, c.count, c.polarity);
    EXPECT_TRUE(ir::node_eq(got, c.expected)) << c.what;
    EXPECT_FALSE(has_recursion(got)) << c.what;
  }
}

TEST(UnfoldRecursion, NoBackEdgeKeepsTheNode) {
  SchemaNode n =
      Rec({Field("a", ListOf(IntN()))}, {Clause(StrN(), U({BoolN(), Refine(StrN(), {Constraint::min_len(2)})}))});
  SchemaNode got = unfold_recursion(n, {}, 1, kWider);
  EXPECT_TRUE(ir::node_eq(got, n));
  EXPECT_TRUE(got.fields().same_as(n.fields()));  // nothing was copied
  EXPECT_TRUE(got.clauses().same_as(n.clauses()));
}

}  // namespace
}  // namespace tessolin::decide

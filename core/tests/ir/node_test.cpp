#include <gtest/gtest.h>

#include <chrono>

#include "ir/node_walk.hpp"
#include "ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

TEST(SchemaNode, IsASmallValue) {
  EXPECT_LE(sizeof(SchemaNode), 24u);
  EXPECT_EQ(sizeof(NodeRef), sizeof(void*));
}

TEST(SchemaNode, KindTexts) {
  struct Case {
    SchemaNode node;
    std::string_view code;
    std::string_view name;
  };
  std::vector<Case> cases;
  cases.push_back({Any(), "anything", "anything"});
  cases.push_back({Anything(), "anything", "anything"});
  cases.push_back({Nothing(), "no_match", "nothing"});
  cases.push_back({NoneN(), "none_type", "None"});
  cases.push_back({IntN(), "int_type", "int"});
  cases.push_back({StrN(), "string_type", "str"});
  cases.push_back({Lit(3), "literal_error", "literal"});
  cases.push_back({ListOf(IntN()), "list_type", "list"});
  cases.push_back({TupleOf({IntN()}), "tuple_type", "tuple"});
  cases.push_back({SetOf(IntN()), "set_type", "set"});
  cases.push_back({FrozenSetOf(IntN()), "frozen_set_type", "frozenset"});
  cases.push_back({DictOf(StrN(), IntN()), "dict_type", "dict"});
  cases.push_back({U({IntN(), StrN()}), "union_error", "union"});
  cases.push_back({RawComplement(IntN()), "unexpected_match", "complement"});
  cases.push_back({Inst(1), "instance_type", "instance"});
  cases.push_back({Ref(0), "recursion", "value"});
  cases.push_back({Ph(0), "unresolved_recursion", "recursive value"});
  // A refinement of a refinement answers for the base at the bottom.
  SchemaNode inner = Refine(TupleOf({}, IntN()), {Constraint::min_len(1)});
  cases.push_back({SchemaNode::refinement(In(inner), ConstraintList::from_vector({Constraint::max_len(3)})),
                   "tuple_type", "tuple"});
  for (const Case& c : cases) {
    EXPECT_EQ(kind_error_code(c.node), c.code) << c.code;
    EXPECT_EQ(kind_display_name(c.node), c.name) << c.name;
  }
}

TEST(SchemaNode, PushChildrenOrder) {
  std::vector<CatchAll> clauses{{Lit(10), Lit(11)}, {Lit(20), Lit(21)}};
  SchemaNode rec = SchemaNode::record(
      [] {
        std::vector<RecordField> f{Field("a", Lit(1)), Field("b", Lit(2))};
        return intern_field_list(f);
      }(),
      intern_catch_all_list(clauses));
  std::vector<const SchemaNode*> out;
  push_children(rec, out);
  std::vector<uint64_t> got;
  for (auto* n : out) got.push_back(n->number());
  EXPECT_EQ(got, (std::vector<uint64_t>{1, 2, 10, 11, 20, 21}));

  out.clear();
  SchemaNode tuple = TupleOf({Lit(1), Lit(2)}, Lit(3));
  push_children(tuple, out);
  got.clear();
  for (auto* n : out) got.push_back(n->number());
  EXPECT_EQ(got, (std::vector<uint64_t>{1, 2, 3}));

  out.clear();
  push_children(Ref(0), out);
  EXPECT_TRUE(out.empty());
}

TEST(SchemaNode, Measures) {
  SchemaNode refined = Refine(IntN(), {Constraint::ge(0), Constraint::lt(1)});
  EXPECT_EQ(count_nodes(refined), 4u);
  EXPECT_EQ(node_depth(refined), 2u);
  SchemaNode rec = Rec({Field("a", IntN()), Field("b", StrN())}, {{Anything(), Anything()}});
  EXPECT_EQ(count_nodes(rec), 5u);
  EXPECT_EQ(count_nodes(Ref(7)), 1u);
  EXPECT_EQ(node_depth(Ref(7)), 1u);
  EXPECT_EQ(node_depth(ListOf(IntN())), 2u);
  EXPECT_EQ(node_depth(U({IntN(), ListOf(StrN())})), 3u);
  // Depth follows the deepest child wherever it sits.
  SchemaNode lopsided = TupleOf({IntN(), ListOf(ListOf(IntN())), StrN()});
  EXPECT_EQ(node_depth(lopsided), 4u);
}

// 60 levels, each a tuple holding the previous level twice: a tree of about
// 2^61 nodes held in 61 shared nodes. Both measures must not walk the tree.
TEST(SchemaNode, MeasuresOfSharedGraphAreFast) {
  SchemaNode level = IntN();
  for (int i = 0; i < 60; ++i) level = TupleOf({level, level});
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(node_depth(level), 61u);
  uint64_t count = count_nodes(level);
  EXPECT_GT(count, kMaxSchemaNodes);
  EXPECT_LE(count, kMaxSchemaNodes + 2);
  // A caller-given limit bounds the work; a small tree stays exact under it.
  EXPECT_GT(count_nodes(level, 10), 10u);
  EXPECT_EQ(count_nodes(TupleOf({IntN(), IntN()})), 3u);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(2));
}

}  // namespace
}  // namespace tessolin::ir

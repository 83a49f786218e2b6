#include <gtest/gtest.h>

#include "ir/rebuild.hpp"
#include "ir/renumber.hpp"
#include "ir/node_walk.hpp"

#include <functional>
#include "ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

TEST(RenumberReferences, MapsKeptReferencesOnly) {
  std::vector<ReferenceRenumbering> table{{true, 0}, {false, 0}, {true, 1}};
  SchemaNode tree = Rec({Field("a", Ref(0)), Field("b", Ref(1)), Field("c", ListOf(Ref(2))), Field("d", Ref(7))});
  SchemaNode out = renumber_references(tree, table);
  SchemaNode expected = Rec({Field("a", Ref(0)), Field("b", Ref(1)), Field("c", ListOf(Ref(1))), Field("d", Ref(7))});
  EXPECT_TRUE(node_eq(out, expected));
  std::vector<ReferenceRenumbering> identity{{true, 0}, {true, 1}, {true, 2}};
  EXPECT_TRUE(node_eq(renumber_references(tree, identity), tree));
}

// What finalisation does: keep the definitions reachable from the root,
// renumber them in order.
TEST(RenumberReferences, DropsUnreachableDefinitions) {
  std::vector<SchemaNode> defs{ListOf(Ref(0)), IntN(), ListOf(Ref(3)), SetOf(Ref(2))};
  SchemaNode root = U({NoneN(), Ref(3)});
  std::vector<bool> marked(defs.size(), false);
  std::vector<const SchemaNode*> stack{&root};
  while (!stack.empty()) {
    const SchemaNode* n = stack.back();
    stack.pop_back();
    if (n->is(NodeKind::Reference) && n->number() < defs.size() && !marked[n->number()]) {
      marked[n->number()] = true;
      stack.push_back(&defs[n->number()]);
    }
    push_children(*n, stack);
  }
  std::vector<ReferenceRenumbering> table;
  uint64_t next = 0;
  for (bool m : marked) table.push_back({m, m ? next++ : 0});
  std::vector<SchemaNode> kept;
  for (size_t i = 0; i < defs.size(); ++i)
    if (marked[i]) kept.push_back(renumber_references(defs[i], table));
  SchemaNode new_root = renumber_references(root, table);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_TRUE(node_eq(kept[0], ListOf(Ref(1))));
  EXPECT_TRUE(node_eq(kept[1], SetOf(Ref(0))));
  EXPECT_TRUE(node_eq(new_root, U({NoneN(), Ref(1)})));
}

TEST(RenumberIndices, CopyOnWrite) {
  std::vector<uint64_t> identity{0, 1, 2, 3};
  SchemaNode tree = Rec({Field("a", U({Lit(1), Lit(2)})), Field("b", Ref(3))},
                        {{StrN(), Refine(IntN(), {Constraint::ge(0), Constraint::predicate(3)})}});
  EXPECT_FALSE(renumber_indices(tree, {identity, 0}));

  // Only the changed path is rebuilt; untouched siblings keep their handles.
  SchemaNode pair = TupleOf({ListOf(StrN()), Lit(1)});
  std::vector<uint64_t> swap{0, 2, 1};
  std::optional<SchemaNode> moved = renumber_indices(pair, {swap, 0});
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->prefix()[1].number(), 2u);
  EXPECT_TRUE(moved->prefix()[0].tail().same_as(pair.prefix()[0].tail()));

  // Members are re-sorted after their literals move.
  std::optional<SchemaNode> u = renumber_indices(U({Lit(1), Lit(2)}), {swap, 0});
  ASSERT_TRUE(u);
  EXPECT_EQ(u->members()[0].number(), 1u);
  EXPECT_EQ(u->members()[1].number(), 2u);
  std::vector<uint64_t> far{0, 9, 2};
  std::optional<SchemaNode> v = renumber_indices(U({Lit(1), Lit(2), StrN()}), {far, 0});
  ASSERT_TRUE(v);
  EXPECT_EQ(kinds_of(v->members()), (std::vector<NodeKind>{NodeKind::Str, NodeKind::Literal, NodeKind::Literal}));
  EXPECT_EQ(v->members()[1].number(), 2u);
  EXPECT_EQ(v->members()[2].number(), 9u);
}

TEST(RenumberIndices, ConstraintsKeepTheirPositions) {
  std::vector<uint64_t> table{0, 5, 4, 3, 2, 1};
  SchemaNode r = Refine(StrN(), {Constraint::min_len(1), Constraint::predicate(1), Constraint::predicate(2),
                                 Constraint::pattern("x+"), Constraint::max_len(4)});
  std::optional<SchemaNode> out = renumber_indices(r, {table, 0});
  ASSERT_TRUE(out);
  const ConstraintList& cs = out->constraints();
  ASSERT_EQ(cs.size(), 5u);
  // Canonical on entry: MinLen, MaxLen, Predicate(1), Predicate(2), Pattern.
  EXPECT_EQ(cs[0].kind(), ConstraintKind::MinLen);
  EXPECT_EQ(cs[0].word(), 1u);  // counts are not renumbered
  EXPECT_EQ(cs[1].kind(), ConstraintKind::MaxLen);
  EXPECT_EQ(cs[1].word(), 4u);
  EXPECT_EQ(cs[2].word(), 5u);
  EXPECT_EQ(cs[3].word(), 4u);  // now out of canonical order, kept in place
  EXPECT_EQ(cs[4].pattern_text(), "x+");
}

TEST(RenumberIndices, ReferenceOffsetAndPlaceholders) {
  std::vector<uint64_t> none;
  std::optional<SchemaNode> r = renumber_indices(Ref(3), {none, 5});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->number(), 8u);
  EXPECT_FALSE(renumber_indices(Ph(3), {none, 5}));
  EXPECT_FALSE(renumber_indices(Lit(3), {none, 0}));  // past the table
}

TEST(Rebuild, UnchangedSubtreesKeepTheirHandles) {
  SchemaNode tree = Rec({Field("a", ListOf(IntN())), Field("b", SetOf(Lit(4)))}, {{StrN(), ListOf(BytesN())}});
  uint32_t depth = 0;
  std::function<std::optional<SchemaNode>(const SchemaNode&)> swap_lit;
  swap_lit = [&](const SchemaNode& n) -> std::optional<SchemaNode> {
    RewriteDepthGuard guard(depth);
    if (n.is(NodeKind::Literal)) return Lit(n.number() + 1);
    return rebuild_children(n, swap_lit);
  };
  std::optional<SchemaNode> out = swap_lit(tree);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->fields()[1].schema.element()->number(), 5u);
  EXPECT_TRUE(out->fields()[0].schema.tail().same_as(tree.fields()[0].schema.tail()));
  EXPECT_TRUE(out->clauses().same_as(tree.clauses()));
  EXPECT_FALSE(swap_lit(ListOf(IntN())));
  EXPECT_EQ(depth, 0u);
}

TEST(Rebuild, DepthGuardRefusesPathologicalNesting) {
  uint32_t depth = kMaxRewriteDepth;
  EXPECT_THROW(RewriteDepthGuard g(depth), InternalError);
  EXPECT_EQ(depth, kMaxRewriteDepth);
}

// Sixty levels, each a pair of the level below: a DAG of 60 shared nodes
// that spans 2^60 as a tree. Both renumberings must rewrite each shared node
// once (the walk would never end otherwise).
TEST(Renumbering, CostsWhatTheSharedGraphHoldsNotWhatItSpans) {
  SchemaNode level = TupleOf({Lit(1), Ref(0)});
  for (int i = 0; i < 60; ++i) level = TupleOf({level, level});
  std::vector<uint64_t> shift{0, 5};
  std::optional<SchemaNode> moved = renumber_indices(level, {shift, 3});
  ASSERT_TRUE(moved);
  const SchemaNode* n = &*moved;
  while (n->prefix()[0].is(NodeKind::Sequence) && n->prefix()[0].prefix().size() == 2 &&
         n->prefix()[0].prefix()[0].is(NodeKind::Sequence))
    n = &n->prefix()[0];
  EXPECT_EQ(n->prefix()[0].prefix()[0].number(), 5u);
  EXPECT_EQ(n->prefix()[0].prefix()[1].number(), 3u);

  std::vector<ReferenceRenumbering> table{{true, 7}};
  SchemaNode renamed = renumber_references(level, table);
  n = &renamed;
  while (n->prefix()[0].prefix()[0].is(NodeKind::Sequence)) n = &n->prefix()[0];
  EXPECT_EQ(n->prefix()[0].prefix()[1].number(), 7u);
}

}  // namespace
}  // namespace tessolin::ir

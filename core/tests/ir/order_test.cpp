#include <gtest/gtest.h>

#include "ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

struct OrderCase {
  const char* what;
  SchemaNode less;
  SchemaNode greater;
};

// Each pair must order strictly, in both directions, and be unequal.
TEST(CanonicalOrder, StrictPairs) {
  std::vector<OrderCase> cases;
  cases.push_back({"kind tag first", NoneN(), IntN()});
  cases.push_back({"Int before Instance", IntN(), Inst(0)});
  cases.push_back({"literals by pool index, not value", Lit(1), Lit(2)});
  cases.push_back({"Reference by number", Ref(1), Ref(5)});
  cases.push_back({"no tail before tail", Seq(SequenceKind::List, {IntN()}, std::nullopt),
                   Seq(SequenceKind::List, {IntN()}, StrN())});
  cases.push_back({"prefix decides before tail", Seq(SequenceKind::List, {IntN()}, StrN()),
                   Seq(SequenceKind::List, {IntN(), IntN()}, std::nullopt)});
  cases.push_back({"List before Tuple", Seq(SequenceKind::List, {StrN(), StrN()}, StrN()), TupleOf({IntN()})});
  cases.push_back({"Set before FrozenSet", SetOf(StrN()), FrozenSetOf(IntN())});
  cases.push_back({"field names byte order", Rec({Field("B", IntN())}), Rec({Field("a", IntN())})});
  cases.push_back({"a before ab", Rec({Field("a", IntN())}), Rec({Field("ab", IntN())})});
  cases.push_back({"ab before b", Rec({Field("ab", IntN())}), Rec({Field("b", IntN())})});
  cases.push_back({"same name: schema", Rec({Field("a", IntN())}), Rec({Field("a", StrN())})});
  cases.push_back(
      {"same name and schema: optional first", Rec({Field("a", IntN(), false)}), Rec({Field("a", IntN(), true)})});
  cases.push_back({"fields before clauses", Rec({}, {{StrN(), StrN()}}), Rec({Field("a", IntN())})});
  cases.push_back({"clause key first", DictOf(IntN(), StrN()), DictOf(StrN(), IntN())});
  cases.push_back({"clause value next", DictOf(StrN(), IntN()), DictOf(StrN(), StrN())});
  cases.push_back({"shorter constraint list first", Refine(IntN(), {Constraint::ge(5)}),
                   Refine(IntN(), {Constraint::ge(5), Constraint::lt(0)})});
  cases.push_back(
      {"Ge before Gt whatever the bounds", Refine(IntN(), {Constraint::ge(9)}), Refine(IntN(), {Constraint::gt(1)})});
  cases.push_back(
      {"refinement base first", Refine(IntN(), {Constraint::pattern("z")}), Refine(StrN(), {Constraint::ge(0)})});
  cases.push_back(
      {"patterns by bytes", Refine(StrN(), {Constraint::pattern("a")}), Refine(StrN(), {Constraint::pattern("ab")})});
  cases.push_back({"members lexicographic", U({NoneN(), IntN()}), U({NoneN(), StrN()})});
  cases.push_back({"object attributes", Obj({Field("x", IntN())}), Obj({Field("y", IntN())})});
  for (const OrderCase& c : cases) {
    EXPECT_EQ(node_cmp(c.less, c.greater), std::strong_ordering::less) << c.what;
    EXPECT_EQ(node_cmp(c.greater, c.less), std::strong_ordering::greater) << c.what;
    EXPECT_FALSE(node_eq(c.less, c.greater)) << c.what;
  }
}

TEST(CanonicalOrder, EqualPairs) {
  std::vector<std::pair<SchemaNode, SchemaNode>> cases;
  cases.push_back({Any(), Anything()});
  cases.push_back({ListOf(Any()), ListOf(Anything())});
  // Separately built constraint lists, different allocations.
  cases.push_back({Refine(IntN(), {Constraint::ge(1), Constraint::pattern("x")}),
                   Refine(IntN(), {Constraint::pattern("x"), Constraint::ge(1)})});
  // Names with different text handles but the same bytes.
  cases.push_back({Rec({Field("name", IntN())}), Rec({Field("name", IntN())})});
  // Unshared children of equal structure.
  cases.push_back({SchemaNode::collection(CollectionKind::Set, NodeRef::make_unshared(ListOf(IntN()))),
                   SchemaNode::collection(CollectionKind::Set, NodeRef::make_unshared(ListOf(IntN())))});
  for (auto& [a, b] : cases) {
    EXPECT_EQ(node_cmp(a, b), std::strong_ordering::equal);
    EXPECT_TRUE(node_eq(a, b));
    EXPECT_TRUE(node_eq(b, a));
  }
}

// Sorted look-ups in member lists find a node by node_cmp and confirm it by
// node_eq: the two must agree on every pair, and the order be antisymmetric.
TEST(CanonicalOrder, EqualExactlyWhereOrderedEqual) {
  const std::vector<SchemaNode> pool{
      Any(), Anything(), Nothing(), NoneN(), BoolN(), IntN(), FloatN(), StrN(), BytesN(), Lit(1), Lit(2), Inst(1),
      Ref(1), Ph(1), ListOf(Any()), ListOf(Anything()), ListOf(IntN()), TupleOf({IntN()}), TupleOf({IntN()}, StrN()),
      TupleOf({}), SetOf(IntN()), FrozenSetOf(IntN()), Rec({Field("a", IntN())}), Rec({Field("a", IntN(), false)}),
      Rec({Field("a", IntN())}, {{StrN(), IntN()}}), DictOf(StrN(), IntN()), Obj({Field("a", IntN())}), Obj({}),
      U({IntN(), StrN()}), RawUnion({StrN(), IntN()}), I({ListOf(IntN()), Inst(1)}), Not(IntN()), Not(Lit(1)),
      Refine(IntN(), {Constraint::ge(1), Constraint::pattern("x")}),
      Refine(IntN(), {Constraint::pattern("x"), Constraint::ge(1)}), Refine(IntN(), {Constraint::gt(1)}),
      Refine(StrN(), {Constraint::pattern("x")}), Refine(StrN(), {Constraint::pattern("xy")}),
      SchemaNode::collection(CollectionKind::Set, NodeRef::make_unshared(ListOf(IntN())))};
  for (const SchemaNode& a : pool)
    for (const SchemaNode& b : pool) {
      EXPECT_EQ(node_eq(a, b), node_cmp(a, b) == 0);
      EXPECT_EQ(node_cmp(a, b) < 0, node_cmp(b, a) > 0);
    }
}

TEST(CanonicalOrder, DeepChainsNeedNoNativeRecursion) {
  // Deeper than any native recursion budget would allow per level.
  SchemaNode a = IntN();
  SchemaNode b = IntN();
  for (int i = 0; i < 200000; ++i) {
    a = SchemaNode::complement_of(NodeRef::make_unshared(std::move(a)));
    b = SchemaNode::complement_of(NodeRef::make_unshared(std::move(b)));
  }
  EXPECT_TRUE(node_eq(a, b));
  EXPECT_EQ(node_cmp(a, b), std::strong_ordering::equal);
  // Release iteratively-built chains: dropping them recurses per level in the
  // destructor, so unwind by hand.
  auto unwind = [](SchemaNode n) {
    while (n.is(NodeKind::Complement)) {
      SchemaNode next = *n.inner();
      n = std::move(next);
    }
  };
  unwind(std::move(a));
  unwind(std::move(b));
}

TEST(CanonicalOrder, ConstraintOrderAndEquality) {
  EXPECT_TRUE(constraint_cmp(Constraint::ge(100), Constraint::gt(0)) < 0);
  EXPECT_TRUE(constraint_cmp(Constraint::max_len(9), Constraint::multiple_of(0)) < 0);
  EXPECT_TRUE(constraint_cmp(Constraint::predicate(9), Constraint::pattern("")) < 0);
  EXPECT_TRUE(constraint_cmp(Constraint::pattern("ab"), Constraint::pattern("b")) < 0);
  EXPECT_TRUE(constraint_eq(Constraint::pattern("ab"), Constraint::pattern("ab")));
  EXPECT_FALSE(constraint_eq(Constraint::min_len(1), Constraint::max_len(1)));
}

TEST(CanonicalOrder, SortIsStableAndDedupeKeepsFirst) {
  // Any and Anything compare equal, so input order decides which survives.
  std::vector<SchemaNode> v{ListOf(Any()), IntN(), ListOf(Anything())};
  sort_and_dedupe_members(v);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_TRUE(v[1].tail()->is_typing_any());
  std::vector<SchemaNode> w{ListOf(Anything()), ListOf(Any())};
  sort_and_dedupe_members(w);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_FALSE(w[0].tail()->is_typing_any());

  // Above the insertion-sort threshold the result is the same stable order.
  std::vector<SchemaNode> many;
  for (int i = 0; i < 40; ++i) many.push_back(Lit(static_cast<uint64_t>((i * 7) % 13)));
  many.push_back(StrN());
  sort_and_dedupe_members(many);
  ASSERT_EQ(many.size(), 14u);
  EXPECT_TRUE(many[0].is(NodeKind::Str));
  for (uint64_t i = 0; i < 13; ++i) EXPECT_EQ(many[i + 1].number(), i);
}

TEST(CanonicalOrder, FieldsSortByNameOnly) {
  std::vector<RecordField> f{Field("b", IntN()), Field("a", StrN()), Field("a", IntN())};
  sort_fields_by_name(f);
  EXPECT_EQ(f[0].name.view(), "a");
  EXPECT_TRUE(f[0].schema.is(NodeKind::Str));  // equal names keep input order
  EXPECT_TRUE(f[1].schema.is(NodeKind::Int));
  EXPECT_EQ(f[2].name.view(), "b");
}

}  // namespace
}  // namespace tessolin::ir

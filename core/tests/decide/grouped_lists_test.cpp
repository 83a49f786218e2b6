// The grouped answers about long member lists (ListFacts) against the same
// questions asked member by member and pair by pair, on random lists drawn
// from nodes of every role: the two must agree, and a grouped answer cut
// short by the steps may only claim less.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "decide/decisions.hpp"
#include "decide_test_support.hpp"
#include "ir/list_facts.hpp"
#include "ir/value_kinds.hpp"

namespace tessolin::decide {
namespace {

using namespace testing;
using ir::ListFacts;
using ir::NodeList;

constexpr size_t kEveryList = std::numeric_limits<size_t>::max();

// Constant 12 has no key, as an object whose class defines __eq__: the
// questions about sets of constants holding it are not answered, while the
// one about the pair of it and another constant is (they differ).
class KeylessOracle : public FakeOracle {
 public:
  static constexpr uint64_t kKeyless = 12;
  OracleAnswer constants_disjoint(const ir::LiteralMembers& a, const ir::LiteralMembers& b) override {
    for (uint64_t i : a)
      for (uint64_t j : b) {
        OracleAnswer d = i == kKeyless || j == kKeyless ? OracleAnswer::Undecided : constants_distinct(i, j);
        if (d != OracleAnswer::Yes) return d;
      }
    return OracleAnswer::Yes;
  }
  OracleAnswer constants_distinct(uint64_t i, uint64_t j) override {
    if ((i == kKeyless) != (j == kKeyless)) return OracleAnswer::Yes;
    return FakeOracle::constants_distinct(i, j);
  }
};

// Pool: 0-4 -> 0..4, 5 -> True, 6 -> False, 7 -> 1.0, 8 -> NaN, 9 -> "a",
// 10 -> "b", 11 and 12 -> objects of no known kind (12 keyless), 13 -> 1 and
// 14 -> "a" again (equal to 1 and 9 at other indices). Class 20 is based on
// int, 22 on str (as far as asked); 21 and 23 are unknown.
class GroupedListsTest : public ::testing::Test {
 protected:
  GroupedListsTest() {
    oracle.constants = {{0, IntC(0)},   {1, IntC(1)},   {2, IntC(2)},    {3, IntC(3)},
                        {4, IntC(4)},   {5, BoolC(true)}, {6, BoolC(false)}, {7, FloatC(1.0)},
                        {8, FloatC(std::numeric_limits<double>::quiet_NaN())}, {9, StrC("a")},
                        {10, StrC("b")}, {11, OpaqueC()}, {12, OpaqueC()}, {13, IntC(1)}, {14, StrC("a")}};
    for (SlotKind k : {SlotKind::None, SlotKind::Float, SlotKind::Str, SlotKind::Bytes, SlotKind::List,
                       SlotKind::Tuple, SlotKind::Set, SlotKind::FrozenSet, SlotKind::Dict})
      oracle.kind_matches[{20, k}] = OracleAnswer::No;
    oracle.kind_matches[{20, SlotKind::Int}] = OracleAnswer::Yes;
    oracle.kind_matches[{20, SlotKind::Bool}] = OracleAnswer::Yes;
    for (SlotKind k : {SlotKind::Int, SlotKind::Bool, SlotKind::List}) oracle.kind_matches[{22, k}] = OracleAnswer::No;
    oracle.kind_matches[{22, SlotKind::Str}] = OracleAnswer::Yes;
  }

  // Members of every role: Literals of each kind (and of none), Kinded
  // nodes with and without element schemas and MinLen, Instances, Inert
  // nodes and Open ones.
  std::vector<SchemaNode> every_role() {
    std::vector<SchemaNode> nodes;
    for (uint64_t i = 0; i <= 14; ++i) nodes.push_back(Lit(i));
    for (SchemaNode n : {IntN(), BoolN(), FloatN(), StrN(), NoneN(), BytesN()}) nodes.push_back(n);
    const Constraint one = Constraint::min_len(1);
    nodes.push_back(ListOf(Lit(0)));
    nodes.push_back(ListOf(Lit(9)));
    nodes.push_back(ListOf(IntN()));
    nodes.push_back(Refine(ListOf(Lit(1)), {one}));
    nodes.push_back(Refine(ListOf(Lit(9)), {one}));
    nodes.push_back(Refine(ListOf(U({Lit(2), Lit(3)})), {one}));
    nodes.push_back(Refine(ListOf(Lit(13)), {one}));
    nodes.push_back(TupleOf({}, StrN()));
    nodes.push_back(TupleOf({IntN()}));
    nodes.push_back(Refine(SetOf(Lit(2)), {one}));
    nodes.push_back(SetOf(Lit(3)));
    nodes.push_back(DictOf(StrN(), IntN()));
    nodes.push_back(Rec({Field("x", IntN())}));
    nodes.push_back(Refine(IntN(), {Constraint::ge(0)}));
    nodes.push_back(Refine(Lit(2), {Constraint::ge(0)}));
    nodes.push_back(Inst(20));
    nodes.push_back(Inst(21));
    nodes.push_back(Not(IntN()));
    nodes.push_back(Not(Lit(0)));
    nodes.push_back(Obj({}));
    nodes.push_back(Ref(0));
    nodes.push_back(Any());
    nodes.push_back(RawUnion({Lit(0), StrN()}));
    nodes.push_back(RawUnion({Lit(9), Lit(10)}));
    nodes.push_back(RawUnion({Nothing(), Nothing()}));
    nodes.push_back(Nothing());
    return nodes;
  }

  // Pools of a few kinds each, so that lists of many members drawn from one
  // meet every answer and not only the one some member forces: Kinded lists
  // with and without elements held; Instances beside kinds; Literals (the
  // keyless one among them); Inert and Open
  // members; and members no two of which are disjoint, so that a search for
  // a disjoint pair must look at them all.
  std::vector<std::vector<SchemaNode>> pools() {
    const Constraint one = Constraint::min_len(1);
    return {every_role(),
            {ListOf(Lit(0)), ListOf(Lit(9)), ListOf(IntN()), Refine(ListOf(Lit(1)), {one}),
             Refine(ListOf(Lit(9)), {one}), Refine(ListOf(U({Lit(2), Lit(3)})), {one}), Refine(ListOf(Lit(13)), {one}),
             Refine(ListOf(Lit(0)), {one})},
            {Inst(20), Inst(21), Inst(22), Inst(23), IntN(), StrN(), Lit(1), Lit(9), Lit(5), ListOf(IntN())},
            {Lit(0), Lit(2), Lit(5), Lit(7), Lit(9), Lit(11), Lit(12), Lit(13), Lit(14)},
            {Not(IntN()), Not(Lit(0)), Obj({}), Ref(0), Any(), Nothing(), RawUnion({Nothing(), Nothing()}), Inst(21),
             RawUnion({Lit(0), StrN()})},
            {ListOf(Lit(0)), ListOf(IntN()), Refine(ListOf(IntN()), {one}), Refine(ListOf(U({Lit(0), Lit(1)})), {one}),
             Not(IntN()), Not(Lit(0)), Inst(21), Obj({}), Ref(0), Any(), RawUnion({ListOf(IntN()), Inst(21)})}};
  }

  static std::vector<SchemaNode> draw(std::mt19937& rng, const std::vector<SchemaNode>& from, size_t count) {
    std::vector<SchemaNode> out;
    for (size_t i = 0; i < count; ++i) out.push_back(from[rng() % from.size()]);
    return out;
  }
  // Many members drawn from a few nodes of one of the pools, and maybe one
  // more of that pool, met once.
  std::vector<SchemaNode> drawn_list(std::mt19937& rng) {
    std::vector<std::vector<SchemaNode>> all = pools();
    const std::vector<SchemaNode>& pool = all[rng() % all.size()];
    std::vector<SchemaNode> members = draw(rng, draw(rng, pool, 1 + rng() % 5), 16 + rng() % 30);
    if (rng() % 2) members.insert(members.begin() + static_cast<long>(rng() % members.size()), pool[rng() % pool.size()]);
    return members;
  }

  KeylessOracle oracle;
};

TEST_F(GroupedListsTest, UnionAgainstANodeAgreesWithEachMemberAsked) {
  const std::vector<SchemaNode> pool = every_role();
  std::vector<SchemaNode> probes = pool;
  probes.push_back(U({Lit(0), Lit(1), Lit(9)}));
  std::mt19937 rng(5);
  for (int round = 0; round < 600; ++round) {
    std::vector<SchemaNode> members = drawn_list(rng);
    // Canonical (sorted, no repeats) and as drawn; a whole run of Literals
    // and a run beside other members.
    std::vector<SchemaNode> unions{RawUnion(members), U(members)};
    std::vector<SchemaNode> literals;
    for (uint64_t i = 0; i < 16 + rng() % 20; ++i) literals.push_back(Lit(rng() % 15));
    unions.push_back(U(literals));
    literals.push_back(pool[rng() % pool.size()]);
    unions.push_back(U(literals));
    for (const SchemaNode& u : unions) {
      if (!u.is(NodeKind::Union)) continue;
      ListFacts grouped(oracle);
      ListFacts each(oracle, {}, kEveryList);
      for (const SchemaNode& x : probes) {
        EXPECT_EQ(ir::nodes_disjoint(u, x, grouped), ir::nodes_disjoint(u, x, each)) << "round " << round;
        EXPECT_EQ(ir::nodes_disjoint(x, u, grouped), ir::nodes_disjoint(x, u, each)) << "round " << round;
      }
      EXPECT_EQ(ir::nodes_disjoint(u, unions[0], grouped), ir::nodes_disjoint(u, unions[0], each));
    }
  }
}

TEST_F(GroupedListsTest, PairSearchAgreesWithEveryPairAsked) {
  std::mt19937 rng(9);
  int found = 0;
  for (int round = 0; round < 1000; ++round) {
    NodeList members = NodeList::copy_of(drawn_list(rng));
    ListFacts grouped(oracle);
    ListFacts each(oracle, {}, kEveryList);
    const OracleAnswer expected = ir::some_pair_disjoint(members, each);
    EXPECT_NE(expected, OracleAnswer::Undecided);
    EXPECT_EQ(ir::some_pair_disjoint(members, grouped), expected) << "round " << round;
    if (expected == OracleAnswer::Yes) ++found;
  }
  // Both answers were met.
  EXPECT_GT(found, 100);
  EXPECT_LT(found, 900);
}

TEST_F(GroupedListsTest, OutOfStepsClaimsNothing) {
  const std::vector<SchemaNode> pool = every_role();
  std::mt19937 rng(13);
  for (int round = 0; round < 400; ++round) {
    std::vector<SchemaNode> drawn = drawn_list(rng);
    NodeList members = NodeList::copy_of(drawn);
    SchemaNode u = RawUnion(drawn);
    const SchemaNode& x = pool[rng() % pool.size()];
    int steps = static_cast<int>(rng() % 4);
    ListFacts short_of_steps(oracle, [&steps] { return steps-- > 0; });
    ListFacts each(oracle, {}, kEveryList);
    const OracleAnswer pair = ir::some_pair_disjoint(members, short_of_steps);
    if (pair != OracleAnswer::Undecided) {
      EXPECT_EQ(pair, ir::some_pair_disjoint(members, each)) << "round " << round;
    }
    if (ir::nodes_disjoint(u, x, short_of_steps)) {
      EXPECT_TRUE(ir::nodes_disjoint(u, x, each)) << "round " << round;
    }
  }
}

TEST_F(GroupedListsTest, ContainsAgreesWithAScan) {
  const std::vector<SchemaNode> pool = every_role();
  std::mt19937 rng(17);
  for (int round = 0; round < 100; ++round) {
    std::vector<SchemaNode> drawn = draw(rng, pool, 16 + rng() % 30);
    // Sorted, as drawn, and reversed: only the first is in canonical order.
    std::vector<SchemaNode> sorted = drawn;
    ir::sort_and_dedupe_members(sorted);
    std::vector<SchemaNode> reversed(drawn.rbegin(), drawn.rend());
    for (const std::vector<SchemaNode>& members : {sorted, drawn, reversed}) {
      NodeList list = NodeList::copy_of(members);
      ListFacts grouped(oracle);
      ListFacts each(oracle, {}, kEveryList);
      for (const SchemaNode& x : pool) EXPECT_EQ(grouped.contains(list, x), each.contains(list, x));
    }
  }
}

TEST_F(GroupedListsTest, OnSightAndJoinedComplementsAgreeWithAScan) {
  std::mt19937 rng(21);
  int inhabited = 0, joined = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<SchemaNode> drawn = drawn_list(rng);
    // A few members complemented, so that a list holds none, one or more.
    const size_t flips = rng() % 2 ? rng() % 2 : 2 + rng() % 4;
    for (size_t i = 0; i < flips; ++i) {
      SchemaNode& m = drawn[rng() % drawn.size()];
      m = Not(m);
    }
    NodeList list = NodeList::copy_of(drawn);
    SchemaNode u = RawUnion(drawn);
    ListFacts kept(oracle);
    ListFacts each(oracle, {}, kEveryList);
    // The second ask answers from what the first kept.
    for (int ask = 0; ask < 2; ++ask) {
      const bool on_sight = each.inhabited_on_sight(u);
      EXPECT_EQ(kept.inhabited_on_sight(u), on_sight) << "round " << round;
      const std::optional<SchemaNode> expected = each.complements_joined(list);
      const std::optional<SchemaNode> got = kept.complements_joined(list);
      ASSERT_EQ(got.has_value(), expected.has_value()) << "round " << round;
      if (got) {
        EXPECT_TRUE(ir::node_eq(*got, *expected)) << "round " << round;
      }
      if (ask == 0) {
        inhabited += on_sight;
        joined += expected.has_value();
      }
    }
  }
  // Both answers were met.
  EXPECT_GT(inhabited, 30);
  EXPECT_LT(inhabited, 270);
  EXPECT_GT(joined, 30);
  EXPECT_LT(joined, 270);
}

// The meet of the complements of constants s against the complement of the
// union of constants t, long lists and short, both ways: a within b exactly
// when every value of t is a value of s. Each answer given must hold; with
// every index of t among s's, the answer must be given.
TEST_F(GroupedListsTest, ComplementsMetAgainstTheComplementOfAUnion) {
  // 30 and on: more ints, so that lists are long without repeats.
  for (uint64_t i = 30; i < 70; ++i) oracle.constants[i] = IntC(static_cast<int64_t>(i));
  std::vector<uint64_t> constants;
  for (uint64_t i = 0; i <= 14; ++i) constants.push_back(i);
  for (uint64_t i = 30; i < 70; ++i) constants.push_back(i);
  enum class Truth { Yes, No, Unknown };
  // Whether every value of a Literal of `from` is one of a Literal of `into`.
  auto covered = [&](const std::vector<uint64_t>& from, const std::vector<uint64_t>& into) {
    Truth all = Truth::Yes;
    for (uint64_t t : from) {
      if (t == 8) continue;  // NaN: no value
      Truth here = Truth::No;
      for (uint64_t s : into) {
        if (s == t) {
          here = Truth::Yes;
          break;
        }
        const OracleAnswer d = oracle.constants_distinct(s, t);
        if (d == OracleAnswer::No) {
          here = Truth::Yes;
          break;
        }
        if (d == OracleAnswer::Undecided) here = Truth::Unknown;
      }
      if (here == Truth::No) return Truth::No;
      if (here == Truth::Unknown) all = Truth::Unknown;
    }
    return all;
  };
  auto holds = [](Relation r, Truth t) {
    if (r == Relation::Subset) return t == Truth::Yes;
    if (r == Relation::NotSubset) return t == Truth::No;
    return true;
  };
  std::mt19937 rng(23);
  int subsets = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint64_t> s, t;
    const size_t size = rng() % 2 ? 2 + rng() % 6 : 16 + rng() % 30;
    for (size_t i = 0; i < size; ++i) s.push_back(constants[rng() % constants.size()]);
    // t from s, maybe with a few constants more.
    for (size_t i = 0; i < size; ++i) t.push_back(s[rng() % s.size()]);
    if (rng() % 2)
      for (int i = 0; i < 3; ++i) t.push_back(constants[rng() % constants.size()]);
    std::vector<SchemaNode> met, joined;
    for (uint64_t i : s) met.push_back(Not(Lit(i)));
    for (uint64_t i : t) joined.push_back(Lit(i));
    const SchemaNode a = I(met), b = Not(U(joined));
    const int32_t steps = rng() % 4 ? WorkBudget::kQuerySteps : static_cast<int32_t>(rng() % 64);
    WorkBudget forward_budget(steps), backward_budget(steps);
    const Relation forward = relation(a, b, {}, oracle, forward_budget);
    const Relation backward = relation(b, a, {}, oracle, backward_budget);
    EXPECT_TRUE(holds(forward, covered(t, s))) << "round " << round;
    EXPECT_TRUE(holds(backward, covered(s, t))) << "round " << round;
    bool t_within_s = true;
    for (uint64_t i : t) t_within_s = t_within_s && std::find(s.begin(), s.end(), i) != s.end();
    if (t_within_s && steps == WorkBudget::kQuerySteps) {
      EXPECT_EQ(forward, Relation::Subset) << "round " << round;
      ++subsets;
    }
  }
  EXPECT_GT(subsets, 50);
}

}  // namespace
}  // namespace tessolin::decide

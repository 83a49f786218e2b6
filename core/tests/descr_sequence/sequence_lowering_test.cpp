// Lowering of list, tuple, set and frozenset nodes, and the list and tuple
// length bounds, checked by membership and by the automata they build.
#include <gtest/gtest.h>

#include "../descr_lowering/table_oracle.hpp"
#include "../ir/ir_test_support.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/lowering.hpp"
#include "descr/sequence_lowering.hpp"
#include "sequence_test_support.hpp"

namespace tessolin::descr::testing {
namespace {

using namespace ir::testing;
using Kind = Value::Kind;

Outcome<Descriptor> lower(const ir::SchemaNode& node) {
  TableOracle oracle;
  FuelWindow window;
  uint32_t allowance = kLoweringAllowance;
  return lower_node(node, oracle, allowance, kLoweringDepth);
}

std::vector<size_t> filled(const Descriptor& d) {
  std::vector<size_t> out;
  for (size_t i = 0; i < kSlotCount; ++i)
    if (!d.slots[i].lines.empty() || d.slots[i].negated) out.push_back(i);
  return out;
}

const SequenceAutomaton& automaton_in(const Descriptor& d, uint8_t code) {
  return std::get<SequenceAutomaton>(d.slots[code].lines.at(0).domain);
}

std::vector<Value> elements() { return {Value::none(), Value::boolean(true), Value::integer(1), Value::str("a")}; }

TEST(SequenceLowering, NodesAgainstMembership) {
  auto is_int = [](const Value& x) { return x.kind == Kind::Int || x.kind == Kind::Bool; };
  auto is_str = [](const Value& x) { return x.kind == Kind::Str; };
  struct Case {
    const char* what;
    ir::SchemaNode node;
    uint8_t code;
    Kind kind;
    std::function<bool(const std::vector<Value>&)> holds;
  };
  const std::vector<Case> cases = {
      {"list[int]", ListOf(IntN()), kList, Kind::List,
       [&](const std::vector<Value>& xs) { return std::all_of(xs.begin(), xs.end(), is_int); }},
      {"tuple[int, str]", TupleOf({IntN(), StrN()}), kTuple, Kind::Tuple,
       [&](const std::vector<Value>& xs) { return xs.size() == 2 && is_int(xs[0]) && is_str(xs[1]); }},
      {"tuple[str, *tuple[int, ...]]", TupleOf({StrN()}, IntN()), kTuple, Kind::Tuple,
       [&](const std::vector<Value>& xs) {
         return !xs.empty() && is_str(xs[0]) && std::all_of(xs.begin() + 1, xs.end(), is_int);
       }},
      {"tuple[()]", TupleOf({}), kTuple, Kind::Tuple, [](const std::vector<Value>& xs) { return xs.empty(); }},
      {"tuple[Never, ...]", TupleOf({}, Nothing()), kTuple, Kind::Tuple,
       [](const std::vector<Value>& xs) { return xs.empty(); }},
      {"list[Any]", ListOf(Any()), kList, Kind::List, [](const std::vector<Value>&) { return true; }},
  };
  for (const Case& c : cases) {
    Outcome<Descriptor> d = lower(c.node);
    ASSERT_TRUE(d) << c.what;
    EXPECT_EQ(filled(*d), std::vector<size_t>{c.code}) << c.what;
    EXPECT_TRUE(sequence_invariant_holds(automaton_in(*d, c.code))) << c.what;
    for (const Value& v : small_sequences(c.kind, elements(), 3))
      EXPECT_EQ(member(*d, v), c.holds(v.items)) << c.what << " " << describe(v);
  }
}

TEST(SequenceLowering, ShapesOfTheAutomata) {
  // tuple[int, str]: position 0 takes ints to 1, 1 takes strs to the
  // accepting 3, everything else goes to the dead 2.
  const Outcome<Descriptor> lowered = lower(TupleOf({IntN(), StrN()}));
  const SequenceAutomaton& pair = automaton_in(*lowered, kTuple);
  ASSERT_EQ(pair.positions.size(), 4u);
  EXPECT_EQ(pair.accepting, (std::vector<uint8_t>{0, 0, 0, 1}));
  // A tail of every value needs no label: the list top.
  EXPECT_TRUE(sequence_eq(automaton_in(*lower(ListOf(Any())), kList), sequence_top()));
}

TEST(SequenceLowering, Collections) {
  Outcome<Descriptor> ints_set = lower(SetOf(IntN()));
  ASSERT_TRUE(ints_set);
  EXPECT_EQ(filled(*ints_set), std::vector<size_t>{kSet});
  Outcome<Descriptor> any_frozen = lower(FrozenSetOf(Any()));
  ASSERT_TRUE(any_frozen);
  EXPECT_EQ(filled(*any_frozen), std::vector<size_t>{kFrozenSet});
  // The bound is present even when the element schema admits every value.
  const auto& domain = std::get<CollectionDomain>(any_frozen->slots[kFrozenSet].lines.at(0).domain);
  ASSERT_EQ(domain.shapes.size(), 1u);
  EXPECT_TRUE(domain.shapes[0].bound);
  EXPECT_TRUE(domain.shapes[0].not_within.empty());
  for (const Value& v : small_sets(Kind::Set, elements())) {
    const bool all_int = std::all_of(v.items.begin(), v.items.end(),
                                     [](const Value& x) { return x.kind == Kind::Int || x.kind == Kind::Bool; });
    EXPECT_EQ(member(*ints_set, v), all_int) << describe(v);
  }
  EXPECT_FALSE(collection_descriptor(ints(), kList));
}

TEST(SequenceLowering, ChildrenThatGiveUp) {
  EXPECT_FALSE(lower(ListOf(Ref(0))));
  EXPECT_FALSE(lower(TupleOf({IntN(), Ref(0)}, StrN())));
  EXPECT_FALSE(lower(SetOf(Ref(0))));
  // Five levels: the innermost int is met at depth 0.
  EXPECT_FALSE(lower(ListOf(ListOf(ListOf(ListOf(ListOf(IntN())))))));
  EXPECT_TRUE(lower(ListOf(ListOf(ListOf(ListOf(IntN()))))));
}

TEST(SequenceLowering, LengthBounds) {
  for (uint8_t code : {kList, kTuple}) {
    const Kind kind = code == kList ? Kind::List : Kind::Tuple;
    for (uint64_t n : {0, 1, 3}) {
      FuelWindow window;
      Outcome<Descriptor> at_least = min_length_sequences(n, code);
      Outcome<Descriptor> at_most = max_length_sequences(n, code);
      ASSERT_TRUE(at_least && at_most) << n;
      EXPECT_EQ(filled(*at_least), std::vector<size_t>{code});
      EXPECT_EQ(filled(*at_most), std::vector<size_t>{code});
      for (const Value& v : small_sequences(kind, elements(), 4)) {
        EXPECT_EQ(member(*at_least, v), v.items.size() >= n) << n << " " << describe(v);
        EXPECT_EQ(member(*at_most, v), v.items.size() <= n) << n << " " << describe(v);
      }
    }
  }
  EXPECT_FALSE(min_length_sequences(2, kSet));
  EXPECT_FALSE(max_length_sequences(2, kSet));
}

TEST(SequenceLowering, LengthBoundLimits) {
  FuelWindow unset(kUnlimitedFuel);
  EXPECT_TRUE(min_length_sequences(kMaxLengthBound, kList));
  EXPECT_FALSE(min_length_sequences(kMaxLengthBound + 1, kList));
  EXPECT_FALSE(max_length_sequences(UINT64_MAX, kList));
  // At most n items is the complement of at least n + 1 within the kind:
  // its product with the kind's top needs n + 2 position pairs.
  EXPECT_TRUE(max_length_sequences(kMaxProductStates - 1, kList));
  EXPECT_FALSE(max_length_sequences(kMaxProductStates, kList));
}

TEST(SequenceLowering, OneFuelUnitPerPosition) {
  FuelWindow window(100);
  const SharedDescriptor label = shared(ints());
  ASSERT_TRUE(sequence_descriptor({label, label, label}, std::nullopt, kTuple));
  // Three prefix positions and no tail: three units for the labels, and
  // what the complements, emptiness tests and normalisation spend.
  EXPECT_LE(fuel_left(), 97u);
  FuelWindow none(0);
  EXPECT_TRUE(sequence_descriptor({label}, label, kList));  // never gives up for want of fuel
}

}  // namespace
}  // namespace tessolin::descr::testing

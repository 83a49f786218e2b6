// Lowering of schema nodes: leaves, literals, lattice nodes, instances,
// objects, the allowance and the depth.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "../ir/ir_test_support.hpp"
#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "lowering_cases.hpp"
#include "table_oracle.hpp"

namespace tessolin::descr {
namespace {

using namespace ir::testing;
using namespace descr::testing;
using ir::SchemaNode;

constexpr size_t kNone = 0, kBool = 1, kInt = 2, kFloat = 3, kStr = 4, kBytes = 5;
const std::vector<size_t> kEverySlot = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const std::vector<size_t> kNoSlot;
using Slots = std::vector<size_t>;

const char kSurrogate[] = "\xed\xa0\x80";  // U+D800 in the three-byte form a str may hold

TEST(LowerNode, LeafKindsFillTheirSlots) {
  TableOracle oracle;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  check_cases(
      {
          {"anything", Anything(), {NoneV(), BoolV(true), IntV(5), FloatV(nan), StrV("a"), BytesV("")}, {}, kEverySlot},
          {"nothing", Nothing(), {}, {NoneV(), BoolV(false), IntV(0), StrV("")}, kNoSlot},
          {"none", NoneN(), {NoneV()}, {IntV(0), BoolV(false)}, Slots{kNone}},
          {"bool", BoolN(), {BoolV(true), BoolV(false)}, {IntV(1)}, Slots{kBool}},
          // An Int node admits the bools as well.
          {"int", IntN(), {IntV(-7), IntV(INT64_MAX), BoolV(true), BoolV(false)}, {FloatV(1.0)}, Slots{kBool, kInt}},
          {"float", FloatN(), {FloatV(nan), FloatV(-inf), FloatV(-0.0)}, {IntV(1)}, Slots{kFloat}},
          {"str", StrN(), {StrV(""), StrV("\xc3\xa9"), StrV(kSurrogate)}, {BytesV("a")}, Slots{kStr}},
          {"bytes", BytesN(), {BytesV(""), BytesV("\xff")}, {StrV("a")}, Slots{kBytes}},
      },
      oracle);
}

TEST(LowerNode, LiteralsAreExactTypeValues) {
  TableOracle oracle;
  oracle.set_bool(0, true).set_int(1, 1).set_bool(2, false).set_float(3, std::numeric_limits<double>::quiet_NaN());
  oracle.set_float(4, -0.0).set_str(5, "ab").set_bytes(6, "ab").set(7, ir::LiteralValue::none());
  oracle.set_int(8, INT64_MIN);
  check_cases(
      {
          {"True", Lit(0), {BoolV(true)}, {BoolV(false), IntV(1)}, Slots{kBool}},
          // The literal 1 does not admit True.
          {"1", Lit(1), {IntV(1)}, {BoolV(true), IntV(2), FloatV(1.0)}, Slots{kInt}},
          {"False", Lit(2), {BoolV(false)}, {BoolV(true), IntV(0)}, Slots{kBool}},
          {"NaN admits nothing", Lit(3), {}, {FloatV(std::numeric_limits<double>::quiet_NaN())}, kNoSlot},
          {"-0.0 is 0.0", Lit(4), {FloatV(0.0), FloatV(-0.0)}, {FloatV(5e-324), IntV(0)}, Slots{kFloat}},
          {"str", Lit(5), {StrV("ab")}, {StrV("a"), StrV("abc"), BytesV("ab")}, Slots{kStr}},
          {"bytes", Lit(6), {BytesV("ab")}, {BytesV("a"), StrV("ab")}, Slots{kBytes}},
          {"None", Lit(7), {NoneV()}, {}, Slots{kNone}},
          {"smallest int", Lit(8), {IntV(INT64_MIN)}, {IntV(INT64_MIN + 1)}, Slots{kInt}},
      },
      oracle);
}

TEST(LowerNode, LiteralsTheOracleCannotDescribeGiveUp) {
  TableOracle oracle;
  ir::LiteralValue klass;
  klass.tag = static_cast<uint8_t>(SlotKind::Int);  // a class constant used as a literal
  ir::LiteralValue odd_text = ir::LiteralValue::of_text(SlotKind::Float, "x");
  oracle.set(1, klass).set(2, odd_text);
  for (uint64_t i : {0u, 1u, 2u}) EXPECT_FALSE(lower(Lit(i), oracle).has_value()) << i;
}

// A text literal longer than any product can hold gives up before its
// automaton is built; one byte shorter still lowers.
TEST(LowerNode, TextLiteralsPastTheProductLimitGiveUp) {
  TableOracle oracle;
  oracle.set_str(0, std::string(4094, 'a')).set_bytes(1, std::string(4095, 'b'));
  EXPECT_TRUE(lower(Lit(0), oracle).has_value());
  EXPECT_FALSE(lower(Lit(1), oracle).has_value());
}

TEST(LowerNode, RewrittenTreesThatAreNotRefolded) {
  TableOracle oracle;
  const ir::ConstraintList no_constraints;
  check_cases(
      {
          {"union of one", RawUnion({IntN()}), {IntV(3), BoolV(true)}, {StrV("")}, Slots{kBool, kInt}},
          {"union of none", RawUnion({}), {}, {NoneV(), IntV(0)}, kNoSlot},
          {"intersection of one", RawIntersection({StrN()}), {StrV("x")}, {IntV(0)}, Slots{kStr}},
          {"intersection of none", RawIntersection({}), {NoneV(), StrV("x")}, {}, kEverySlot},
          {"refinement without constraints",
           SchemaNode::refinement(In(IntN()), no_constraints),
           {IntV(9), BoolV(false)},
           {FloatV(0.0)},
           Slots{kBool, kInt}},
          {"int meets str", RawIntersection({IntN(), StrN()}), {}, {IntV(0), StrV("")}, kNoSlot},
      },
      oracle);
}

TEST(LowerNode, ComplementHoldsEveryOtherValue) {
  TableOracle oracle;
  Outcome<Descriptor> d = lower(RawComplement(StrN()), oracle);
  ASSERT_TRUE(d);
  EXPECT_EQ(holds(*d, StrV("a")), std::optional<bool>(false));
  EXPECT_EQ(holds(*d, StrV("")), std::optional<bool>(false));
  for (const Sample& v : {NoneV(), BoolV(true), IntV(3), FloatV(2.5), BytesV("a")}) {
    EXPECT_EQ(holds(*d, v), std::optional<bool>(true));
  }
}

TEST(LowerNode, BackEdgesGiveUp) {
  TableOracle oracle;
  EXPECT_FALSE(lower(Ref(0), oracle));
  EXPECT_FALSE(lower(Ph(3), oracle));
  EXPECT_FALSE(lower(RawUnion({IntN(), Ref(0)}), oracle));
}

// A union of n distinct int literals (pool indices 100..100+n-1).
SchemaNode literal_union(TableOracle& oracle, int n) {
  std::vector<SchemaNode> members;
  for (int k = 0; k < n; ++k) {
    oracle.set_int(100 + k, 3 * k);
    members.push_back(Lit(100 + k));
  }
  return RawUnion(std::move(members));
}

TEST(LowerNode, AllowanceCountsEveryNode) {
  TableOracle oracle;
  // The union spends one unit, so 63 members use the whole allowance...
  uint32_t allowance = kLoweringAllowance;
  Outcome<Descriptor> d = lower_node(literal_union(oracle, 63), oracle, allowance, kLoweringDepth);
  ASSERT_TRUE(d);
  EXPECT_EQ(allowance, 0u);
  EXPECT_EQ(holds(*d, IntV(3 * 62)), std::optional<bool>(true));
  EXPECT_EQ(holds(*d, IntV(1)), std::optional<bool>(false));
  // ...and the 64th finds it spent.
  allowance = kLoweringAllowance;
  EXPECT_FALSE(lower_node(literal_union(oracle, 64), oracle, allowance, kLoweringDepth));
  EXPECT_EQ(allowance, 0u);
  // A node met with nothing left gives up; one unit per node otherwise.
  allowance = 0;
  EXPECT_FALSE(lower_node(IntN(), oracle, allowance, kLoweringDepth));
  allowance = 3;
  EXPECT_TRUE(lower_node(RawUnion({IntN(), StrN()}), oracle, allowance, kLoweringDepth));
  EXPECT_EQ(allowance, 0u);
}

SchemaNode complement_chain(int complements, SchemaNode n = IntN()) {
  for (int k = 0; k < complements; ++k) n = RawComplement(std::move(n));
  return n;
}

TEST(LowerNode, DepthBoundsNesting) {
  TableOracle oracle;
  // Five nodes deep lower at depth 5; a sixth is met at depth 0.
  Outcome<Descriptor> d = lower(complement_chain(4), oracle);
  ASSERT_TRUE(d);
  EXPECT_EQ(holds(*d, IntV(1)), std::optional<bool>(true));
  EXPECT_EQ(holds(*d, StrV("")), std::optional<bool>(false));
  EXPECT_FALSE(lower(complement_chain(5), oracle));
  // Containers count like any other node: their items sit one level down.
  EXPECT_TRUE(lower(complement_chain(3, ListOf(IntN())), oracle));
  EXPECT_FALSE(lower(complement_chain(4, ListOf(IntN())), oracle));
  EXPECT_TRUE(lower(complement_chain(3, SetOf(StrN())), oracle));
  EXPECT_FALSE(lower(complement_chain(4, SetOf(StrN())), oracle));
  EXPECT_TRUE(lower(complement_chain(3, DictOf(StrN(), IntN())), oracle));
  EXPECT_FALSE(lower(complement_chain(4, DictOf(StrN(), IntN())), oracle));
  // The unit of a node met at depth 0 stays spent.
  uint32_t allowance = 10;
  EXPECT_FALSE(lower_node(IntN(), oracle, allowance, 0));
  EXPECT_EQ(allowance, 9u);
}

TEST(LowerNode, InstancesThroughClassAnswers) {
  TableOracle oracle;
  oracle.set_class(20, 7, {1}, SlotKind::Int);      // an int subclass
  oracle.set_class(21, 8, {1}, SlotKind::Unknown);  // a plain class
  Outcome<Descriptor> int_sub = lower(Inst(20), oracle);
  ASSERT_TRUE(int_sub);
  ASSERT_EQ(filled_slots(*int_sub), std::vector<size_t>{kInt});
  const KindSlot& slot = int_sub->slot(SlotKind::Int);
  ASSERT_EQ(slot.lines.size(), 1u);
  ASSERT_EQ(slot.lines[0].clauses.size(), 1u);
  ASSERT_EQ(slot.lines[0].clauses[0].classes.size(), 1u);
  EXPECT_EQ(slot.lines[0].clauses[0].classes[0].class_id, 7u);
  EXPECT_EQ(holds(*int_sub, IntV(1)), std::nullopt);  // depends on the class

  Outcome<Descriptor> plain = lower(Inst(21), oracle);
  ASSERT_TRUE(plain);
  EXPECT_EQ(filled_slots(*plain), kEverySlot);
  for (const KindSlot& s : plain->slots) {
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0].clauses[0].classes[0].class_id, 8u);
  }
  EXPECT_FALSE(lower(Inst(22), oracle));  // declined
}

TEST(LowerNode, ObjectAttributesRestrictEveryKind) {
  TableOracle oracle;
  Outcome<Descriptor> d = lower(Obj({Field("x", IntN()), Field("y", StrN(), false)}), oracle);
  ASSERT_TRUE(d);
  EXPECT_EQ(filled_slots(*d), kEverySlot);
  const KindSlot& other = d->slots[kOtherSlot];
  ASSERT_EQ(other.lines.size(), 1u);
  ASSERT_EQ(other.lines[0].clauses.size(), 1u);
  const auto& attributes = other.lines[0].clauses[0].attributes;
  ASSERT_EQ(attributes.size(), 2u);
  EXPECT_EQ(attributes.at("x").absent_allowed, 0);
  EXPECT_EQ(attributes.at("y").absent_allowed, 1);
  ASSERT_TRUE(attributes.at("x").value);
  EXPECT_EQ(holds(*attributes.at("x").value, IntV(4)), std::optional<bool>(true));
  EXPECT_EQ(holds(*attributes.at("y").value, IntV(4)), std::optional<bool>(false));
}

TEST(LowerNode, SameNodeLowersToTheSameDescriptor) {
  TableOracle oracle;
  oracle.set_int(1, 5).set_str(2, "q");
  const SchemaNode n = RawUnion({Lit(1), Lit(2), RawIntersection({IntN(), RawComplement(Lit(1))})});
  Outcome<Descriptor> a = lower(n, oracle);
  Outcome<Descriptor> b = lower(n, oracle);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(descriptor_eq(*a, *b));
  // Every int: the exact 5 by the literal, the rest by the intersection.
  Outcome<Descriptor> ints_outside =
      combine_descriptors(kind_top_descriptor(2), complement_descriptor(*a), CombineMode::Meet);
  ASSERT_TRUE(ints_outside);
  EXPECT_EQ(descriptor_emptiness(*ints_outside), Emptiness::Empty);
  EXPECT_EQ(holds(*a, StrV("q")), std::optional<bool>(true));
  EXPECT_EQ(holds(*a, StrV("r")), std::optional<bool>(false));
}

}  // namespace
}  // namespace tessolin::descr

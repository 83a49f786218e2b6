// Lowering of refinements: int and float bounds (around 2**53 too),
// residues and float divisors, str and bytes lengths, patterns.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "../ir/ir_test_support.hpp"
#include "descr/emptiness.hpp"
#include "lowering_cases.hpp"
#include "table_oracle.hpp"

namespace tessolin::descr {
namespace {

using namespace ir::testing;
using namespace descr::testing;
using ir::Constraint;
using ir::SchemaNode;

constexpr size_t kBool = 1, kInt = 2, kStr = 4, kBytes = 5;
constexpr int64_t k2p53 = int64_t{1} << 53;
const double kF2p53 = 9007199254740992.0;  // 2**53 as a float; the next float is 2**53 + 2

// Pool: ints, floats and odd constants the bound tests share.
class RefinementTest : public ::testing::Test {
 protected:
  RefinementTest() {
    oracle.set_int(0, 0).set_int(1, 10).set_int(2, 1).set_int(3, INT64_MAX).set_int(4, INT64_MIN);
    oracle.set_float(5, 0.5).set_int(6, k2p53).set_int(7, k2p53 + 1).set_float(8, kF2p53);
    oracle.set_str(9, "a").set_bool(10, true).set_int(11, 7).set_int(12, 9);
    oracle.set_int(13, 3).set_int(14, -3).set_int(15, 4096).set_int(16, 4097).set_float(17, 3.0);
    oracle.set_int(18, -k2p53).set_float(19, 2.5);
  }
  TableOracle oracle;
};

TEST_F(RefinementTest, IntBoundsSplitIntsAndBools) {
  check_cases(
      {
          {"[0, 10)",
           Refine(IntN(), {Constraint::ge(0), Constraint::lt(1)}),
           {IntV(0), IntV(9), BoolV(false), BoolV(true)},
           {IntV(10), IntV(-1)}},
          {"> 1 leaves no bool", Refine(IntN(), {Constraint::gt(2)}), {IntV(2)}, {BoolV(true), BoolV(false), IntV(1)}},
          {"<= 0 keeps False", Refine(IntN(), {Constraint::le(0)}), {BoolV(false), IntV(-5)}, {BoolV(true), IntV(1)}},
          {"bound on a bool base", Refine(BoolN(), {Constraint::ge(2)}), {BoolV(true)}, {BoolV(false)}},
          {"largest int", Refine(IntN(), {Constraint::ge(3)}), {IntV(INT64_MAX)}, {IntV(INT64_MAX - 1)}},
          {"> 2**53", Refine(IntN(), {Constraint::gt(6)}), {IntV(k2p53 + 1)}, {IntV(k2p53)}},
          {"< 2**53 + 1", Refine(IntN(), {Constraint::lt(7)}), {IntV(k2p53)}, {IntV(k2p53 + 1)}},
      },
      oracle);
  Outcome<Descriptor> positive = lower(Refine(IntN(), {Constraint::gt(2)}), oracle);
  ASSERT_TRUE(positive);
  EXPECT_EQ(filled_slots(*positive), std::vector<size_t>{kInt});
}

TEST_F(RefinementTest, FloatBoundsCompareIntsExactly) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  check_cases(
      {
          {"int bound on floats",
           Refine(FloatN(), {Constraint::ge(2)}),
           {FloatV(1.0), FloatV(INFINITY)},
           {FloatV(0.5), FloatV(nan)}},
          {">= 2**53 + 1", Refine(FloatN(), {Constraint::ge(7)}), {FloatV(kF2p53 + 2)}, {FloatV(kF2p53)}},
          {"< 2**53 + 1", Refine(FloatN(), {Constraint::lt(7)}), {FloatV(kF2p53)}, {FloatV(kF2p53 + 2)}},
          {"> 2.0**53", Refine(FloatN(), {Constraint::gt(8)}), {FloatV(kF2p53 + 2)}, {FloatV(kF2p53)}},
      },
      oracle);
}

TEST_F(RefinementTest, BoundsOutsideTheirExactKindsGiveUp) {
  check_give_ups(
      {
          {"> largest int", Refine(IntN(), {Constraint::gt(3)})},
          {"< smallest int", Refine(IntN(), {Constraint::lt(4)})},
          {"float bound on ints", Refine(IntN(), {Constraint::ge(5)})},
          {"ints and floats", Refine(U({IntN(), FloatN()}), {Constraint::ge(0)})},
          {"str bound", Refine(IntN(), {Constraint::ge(9)})},
          {"bool bound", Refine(IntN(), {Constraint::ge(10)})},
          {"declined bound", Refine(IntN(), {Constraint::ge(99)})},
          {"bound on strs", Refine(StrN(), {Constraint::ge(0)})},
      },
      oracle);
}

TEST_F(RefinementTest, Residues) {
  check_cases(
      {
          {"multiples of 3",
           Refine(IntN(), {Constraint::multiple_of(13)}),
           {IntV(0), IntV(-3), IntV(9), IntV(INT64_MAX - 1), BoolV(false)},
           {IntV(1), IntV(2), BoolV(true)}},
          {"multiples of -3", Refine(IntN(), {Constraint::multiple_of(14)}), {IntV(-9), IntV(6)}, {IntV(4)}},
          {"multiples of 4096", Refine(IntN(), {Constraint::multiple_of(15)}), {IntV(8192)}, {IntV(4095)}},
          {"bounds then residue",
           Refine(IntN(), {Constraint::ge(0), Constraint::le(1), Constraint::multiple_of(13)}),
           {IntV(9), IntV(0)},
           {IntV(12), IntV(-3)}},
      },
      oracle);
  const SchemaNode none_in_range = Refine(IntN(), {Constraint::ge(11), Constraint::le(12), Constraint::multiple_of(1)});
  Outcome<Descriptor> empty = lower(none_in_range, oracle);
  ASSERT_TRUE(empty);
  EXPECT_EQ(descriptor_emptiness(*empty), Emptiness::Empty);  // no multiple of 10 in [7, 9]
  check_give_ups(
      {
          {"divisor 4097", Refine(IntN(), {Constraint::multiple_of(16)})},
          {"divisor 0", Refine(IntN(), {Constraint::multiple_of(0)})},
          {"smallest int divisor", Refine(IntN(), {Constraint::multiple_of(4)})},
          {"bool divisor", Refine(IntN(), {Constraint::multiple_of(10)})},
          {"int divisor on floats", Refine(FloatN(), {Constraint::multiple_of(13)})},
      },
      oracle);
}

// Python's int % float rounds the int to a double first: 2**53 + 3 becomes
// 2**53 + 4, a multiple of 3, so MultipleOf(3.0) holds 2**53 + 3 while
// MultipleOf(3) does not. A float divisor lowers only where every int is a
// double.
TEST_F(RefinementTest, FloatDivisorOnlyWhereIntsAreDoubles) {
  check_cases(
      {
          {"within +-2**53",
           Refine(IntN(), {Constraint::ge(18), Constraint::le(6), Constraint::multiple_of(17)}),
           {IntV(9), IntV(-k2p53 + 2), BoolV(false)},
           {IntV(k2p53 - 1), IntV(10), BoolV(true)}},
          {"on bools", Refine(BoolN(), {Constraint::multiple_of(17)}), {BoolV(false)}, {BoolV(true)}},
      },
      oracle);
  check_give_ups(
      {
          {"unbounded ints", Refine(IntN(), {Constraint::multiple_of(17)})},
          {"2**53 + 1 reachable", Refine(IntN(), {Constraint::ge(0), Constraint::le(7), Constraint::multiple_of(17)})},
          {"not a whole number", Refine(IntN(), {Constraint::ge(0), Constraint::le(1), Constraint::multiple_of(19)})},
      },
      oracle);
}

TEST_F(RefinementTest, TextLengthsCountCodePointsOrBytes) {
  const std::string e_acute = "\xc3\xa9";
  const std::string surrogate = "\xed\xa0\x80";
  check_cases(
      {
          {"exactly two code points",
           Refine(StrN(), {Constraint::min_len(2), Constraint::max_len(2)}),
           {StrV("ab"), StrV(e_acute + e_acute), StrV(surrogate + "a")},
           {StrV("a"), StrV("abc"), StrV(e_acute)}},
          {"bytes of at most one",
           Refine(BytesN(), {Constraint::max_len(1)}),
           {BytesV(""), BytesV("\xff")},
           {BytesV("ab")}},
          {"str or bytes of at least one",
           Refine(U({StrN(), BytesN()}), {Constraint::min_len(1)}),
           {StrV("x"), BytesV("x")},
           {StrV(""), BytesV("")}},
      },
      oracle);
  check_give_ups({{"length of an int", Refine(IntN(), {Constraint::min_len(1)})}}, oracle);
}

TEST_F(RefinementTest, PatternsFillOnlyTheStrSlot) {
  check_cases(
      {
          {"four digits",
           Refine(StrN(), {Constraint::pattern("[0-9]{4}")}),
           {StrV("1234"), StrV("0000")},
           {StrV("123"), StrV("12345"), StrV("abcd")}},
          // The walk fails every non-str value against a pattern.
          {"str or bytes",
           Refine(U({StrN(), BytesN()}), {Constraint::pattern("[0-9]{4}")}),
           {StrV("1234")},
           {BytesV("1234")}},
          {"lone surrogates never match",
           Refine(StrN(), {Constraint::pattern("(?s:.*)")}),
           {StrV(""), StrV("a\n")},
           {StrV("\xed\xa0\x80")}},
          {"lengths and pattern",
           Refine(StrN(), {Constraint::min_len(2), Constraint::pattern("x+")}),
           {StrV("xx")},
           {StrV("x"), StrV("xy")}},
      },
      oracle);
  Outcome<Descriptor> both = lower(Refine(U({StrN(), BytesN()}), {Constraint::pattern("a")}), oracle);
  ASSERT_TRUE(both);
  EXPECT_EQ(filled_slots(*both), std::vector<size_t>{kStr});
  check_give_ups(
      {
          {"pattern on ints", Refine(U({StrN(), IntN()}), {Constraint::pattern("a")})},
          {"pattern on bytes alone", Refine(BytesN(), {Constraint::pattern("a")})},
          {"pattern matching nothing", Refine(StrN(), {Constraint::pattern("[^\\s\\S]")})},
          {"pattern that does not compile", Refine(StrN(), {Constraint::pattern("(")})},
      },
      oracle);
}

TEST_F(RefinementTest, PredicateGivesUpAfterOtherConstraints) {
  check_give_ups({{"predicate", Refine(IntN(), {Constraint::ge(0), Constraint::le(1), Constraint::predicate(9)})}},
                 oracle);
}

TEST_F(RefinementTest, ConstraintsSpendNoAllowance) {
  uint32_t allowance = 2;
  Outcome<Descriptor> d = lower_node(
      Refine(IntN(), {Constraint::ge(0), Constraint::le(1), Constraint::multiple_of(13)}), oracle, allowance, 5);
  ASSERT_TRUE(d);
  EXPECT_EQ(allowance, 0u);  // the refinement and its base
  EXPECT_EQ(filled_slots(*d), (std::vector<size_t>{kBool, kInt}));
}

}  // namespace
}  // namespace tessolin::descr

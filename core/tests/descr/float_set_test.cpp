// Tables for float sets: normal form (with the gap between adjacent floats),
// complement, -0.0, NaN, the orders, and numeric bounds read through a
// scripted oracle (int bounds that no float equals, such as 2**53 + 1).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "descr/float_set.hpp"

namespace tessolin::descr {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
const double kAfterOne = std::nextafter(1.0, 2.0);
const double kTwoTo53 = 9007199254740992.0;

FloatInterval closed(double low, double high) { return {low, 1, high, 1}; }
FloatInterval open(double low, double high) { return {low, 0, high, 0}; }
FloatInterval closed_open(double low, double high) { return {low, 1, high, 0}; }
FloatInterval open_closed(double low, double high) { return {low, 0, high, 1}; }

std::string end_text(double x) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return std::signbit(x) && x == 0.0 ? "-0" : buffer;
}

// Debug text for failures, e.g. "[1,2) (2,3] nan".
std::string text(const FloatSet& s) {
  std::string out;
  for (const FloatInterval& i : s.intervals) {
    out += (i.low_closed ? "[" : "(") + end_text(i.low) + "," + end_text(i.high) + (i.high_closed ? "]" : ")") + " ";
  }
  return out + (s.nan ? "nan" : "no-nan");
}

// Equal representations; -0.0 and 0.0 told apart.
bool same_representation(const FloatSet& a, const FloatSet& b) {
  return float_set_eq(a, b) && float_set_order(a, b) == 0;
}

struct NormalizeCase {
  const char* name;
  std::vector<FloatInterval> input;
  std::vector<FloatInterval> expected;
};

TEST(FloatSetTest, NormalForm) {
  const NormalizeCase cases[] = {
      {"shared closed point", {closed(1, 2), closed(2, 3)}, {closed(1, 3)}},
      {"one side holds the point", {closed_open(1, 2), closed(2, 3)}, {closed(1, 3)}},
      {"point excluded by both", {closed_open(1, 2), open_closed(2, 3)}, {closed_open(1, 2), open_closed(2, 3)}},
      {"empty half-open point", {open_closed(1, 1)}, {}},
      {"closed point", {closed(1, 1)}, {closed(1, 1)}},
      {"inverted", {closed(3, 2)}, {}},
      {"closed low first at equal lows", {open_closed(1, 2), closed(1, 1)}, {closed(1, 2)}},
      {"contained", {closed(0, 10), open(2, 3)}, {closed(0, 10)}},
      {"equal highs or their flags", {closed_open(0, 5), open_closed(1, 5)}, {closed(0, 5)}},
      // No float lies strictly between two adjacent floats.
      {"adjacent floats, open", {open(1.0, kAfterOne)}, {}},
      {"adjacent floats, half open", {closed_open(1.0, kAfterOne)}, {closed_open(1.0, kAfterOne)}},
      {"adjacent floats not merged", {closed(0, 1.0), closed(kAfterOne, 2)}, {closed(0, 1.0), closed(kAfterOne, 2)}},
      {"only -0.0 between", {open(-kTiny, 0.0)}, {}},
      {"only zero between", {open(-kTiny, kTiny)}, {open(-kTiny, kTiny)}},
      {"-0.0 ends become 0.0", {closed(-0.0, -0.0), open_closed(-1, -0.0)}, {open_closed(-1, 0.0)}},
      {"-0.0 is the excluded zero",
       {closed_open(-1, -0.0), open_closed(0.0, 1)},
       {closed_open(-1, 0.0), open_closed(0.0, 1)}},
      {"nothing above +inf", {open_closed(kInf, kInf)}, {}},
      {"nothing below -inf", {closed_open(-kInf, -kInf)}, {}},
      {"the infinities are members",
       {closed(kInf, kInf), closed(-kInf, -kInf)},
       {closed(-kInf, -kInf), closed(kInf, kInf)}},
      {"largest finite to +inf, open", {open(std::numeric_limits<double>::max(), kInf)}, {}},
      {"a NaN end admits nothing", {closed(kNan, kNan), closed(0, kNan), closed(kNan, 1)}, {}},
  };
  for (const NormalizeCase& c : cases) {
    FloatSet got = float_set_normalize(c.input, 0);
    EXPECT_TRUE(same_representation(got, FloatSet{c.expected, 0})) << c.name << ": " << text(got);
    EXPECT_TRUE(float_set_is_normalized(got)) << c.name;
  }
  EXPECT_EQ(float_set_normalize({}, 1).nan, 1);
}

TEST(FloatSetTest, InhabitedSkipsTheGapBetweenAdjacentFloats) {
  // Raw sets, as a caller might build them before normalising.
  EXPECT_FALSE(float_set_is_inhabited(FloatSet{{open(1.0, kAfterOne)}, 0}));
  EXPECT_FALSE(float_set_is_inhabited(FloatSet{{open(-kTiny, -0.0), open(0.0, kTiny)}, 0}));
  EXPECT_TRUE(float_set_is_inhabited(FloatSet{{open(1.0, kAfterOne)}, 1}));
  EXPECT_TRUE(float_set_is_inhabited(FloatSet{{open(1.0, kAfterOne), open_closed(1.0, kAfterOne)}, 0}));
  EXPECT_TRUE(float_set_is_inhabited(FloatSet{{closed(kInf, kInf)}, 0}));
  // An intersection that leaves only such a gap is empty.
  FloatSet meet = float_set_intersection(float_set_from_interval(closed_open(0, 2)),
                                         float_set_from_interval(open_closed(std::nextafter(2.0, 0.0), 3)));
  EXPECT_FALSE(float_set_is_inhabited(meet)) << text(meet);
}

struct ComplementCase {
  const char* name;
  FloatSet input;
  FloatSet expected;
};

TEST(FloatSetTest, Complement) {
  const ComplementCase cases[] = {
      {"empty", float_set_empty(), float_set_full()},
      {"full", float_set_full(), float_set_empty()},
      {"every float but not NaN", {{closed(-kInf, kInf)}, 0}, {{}, 1}},
      {"zero", {{closed(0.0, 0.0)}, 0}, {{closed_open(-kInf, 0.0), open_closed(0.0, kInf)}, 1}},
      {"above -inf", {{open_closed(-kInf, 5)}, 1}, {{closed(-kInf, -kInf), open_closed(5, kInf)}, 0}},
      {"+inf only", {{closed(kInf, kInf)}, 0}, {{closed_open(-kInf, kInf)}, 1}},
      {"point between two pieces",
       {{closed_open(1, 2), open_closed(2, 3)}, 0},
       {{closed_open(-kInf, 1), closed(2, 2), open_closed(3, kInf)}, 1}},
      // The gap between 1.0 and the next float holds nothing.
      {"adjacent floats",
       {{closed(0, 1.0), closed(kAfterOne, 2)}, 0},
       {{closed_open(-kInf, 0), open_closed(2, kInf)}, 1}},
  };
  for (const ComplementCase& c : cases) {
    FloatSet got = complement_float_set(c.input);
    EXPECT_TRUE(same_representation(got, c.expected)) << c.name << ": " << text(got);
  }
}

TEST(FloatSetTest, PointsAndZero) {
  EXPECT_TRUE(same_representation(float_set_point(-0.0), FloatSet{{closed(0.0, 0.0)}, 0}));
  EXPECT_TRUE(same_representation(float_set_point(1.5), FloatSet{{closed(1.5, 1.5)}, 0}));
  // A NaN equals nothing, so its point holds nothing (not even NaN).
  EXPECT_FALSE(float_set_is_inhabited(float_set_point(kNan)));
  EXPECT_TRUE(same_representation(float_set_union(float_set_point(-0.0), float_set_point(0.0)), float_set_point(0.0)));
}

TEST(FloatSetTest, UnionAndIntersectionCombineNan) {
  FloatSet with_nan{{closed(0, 1)}, 1};
  FloatSet without{{closed(2, 3)}, 0};
  EXPECT_EQ(float_set_union(with_nan, without).nan, 1);
  EXPECT_EQ(float_set_intersection(with_nan, without).nan, 0);
  EXPECT_EQ(float_set_intersection(with_nan, float_set_full()).nan, 1);
  FloatSet overlap =
      float_set_intersection(FloatSet{{closed_open(0, 2), closed(3, 4)}, 0}, FloatSet{{open_closed(1, 3)}, 0});
  EXPECT_TRUE(same_representation(overlap, FloatSet{{open(1, 2), closed(3, 3)}, 0})) << text(overlap);
}

TEST(FloatSetTest, TotalOrderKeys) {
  const double ascending[] = {-kNan, -kInf, -1.0, -kTiny, -0.0, 0.0, kTiny, 1.0, kAfterOne, kInf, kNan};
  for (size_t i = 0; i + 1 < std::size(ascending); ++i)
    EXPECT_LT(float_order_key(ascending[i]), float_order_key(ascending[i + 1])) << i;
}

TEST(FloatSetTest, EqualityAndOrder) {
  const FloatSet ordered[] = {
      float_set_empty(),
      FloatSet{{}, 1},
      FloatSet{{open_closed(-kInf, 0)}, 0},  // flags compare as bytes: open first
      FloatSet{{closed(-kInf, 0)}, 0},
      FloatSet{{closed(-1, 0)}, 0},
      FloatSet{{closed(-1, 0), closed(2, 2)}, 0},
      FloatSet{{closed_open(-1, 1)}, 0},
      FloatSet{{closed(-1, 1)}, 0},
      FloatSet{{closed(-1, 1)}, 1},
  };
  for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
    EXPECT_EQ(float_set_order(ordered[i], ordered[i + 1]), std::strong_ordering::less) << i;
    EXPECT_FALSE(float_set_eq(ordered[i], ordered[i + 1])) << i;
    EXPECT_TRUE(float_set_eq(ordered[i], ordered[i])) << i;
  }
  // Stored sets never hold -0.0; compared as numbers it equals 0.0.
  EXPECT_TRUE(float_set_eq(FloatSet{{closed(-0.0, 1)}, 0}, FloatSet{{closed(0.0, 1)}, 0}));
}

// Answers constraint_value from a fixed value; every other question is
// declined as the default oracle would.
class ScriptedOracle final : public ir::Oracle {
 public:
  explicit ScriptedOracle(ir::LiteralValue value) : value_(std::move(value)) {}
  ir::LiteralValue constraint_value(uint64_t) override { return value_; }
  ir::LiteralValue literal_value(uint64_t i) override { return none_.literal_value(i); }
  ir::ClassAnswer class_answer(uint64_t i) override { return none_.class_answer(i); }
  ir::OracleAnswer decide_subset(const ir::SchemaNode& a, const ir::SchemaNode& b) override {
    return none_.decide_subset(a, b);
  }
  ir::ConstantOrder compare_constants(uint64_t i, uint64_t j) override { return none_.compare_constants(i, j); }
  ir::OracleAnswer constants_disjoint(const ir::LiteralMembers& a, const ir::LiteralMembers& b) override {
    return none_.constants_disjoint(a, b);
  }
  ir::OracleAnswer integer_range_empty(uint64_t i, bool low, uint64_t j, bool high) override {
    return none_.integer_range_empty(i, low, j, high);
  }
  ir::OracleAnswer is_multiple(uint64_t i, uint64_t j) override { return none_.is_multiple(i, j); }
  ir::OracleAnswer class_hooks_standard(const ir::SchemaNode& n) override { return none_.class_hooks_standard(n); }
  ir::SlotKind scalar_kind(uint64_t i) override { return none_.scalar_kind(i); }
  ir::OracleAnswer class_kind_matches(uint64_t i, ir::SlotKind k) override { return none_.class_kind_matches(i, k); }
  ir::OracleAnswer class_kind_matches_strict(uint64_t i, ir::SlotKind k) override {
    return none_.class_kind_matches_strict(i, k);
  }
  ir::OracleAnswer builtin_within_class(ir::SlotKind k, uint64_t i) override {
    return none_.builtin_within_class(k, i);
  }
  ir::OracleAnswer constants_distinct(uint64_t i, uint64_t j) override { return none_.constants_distinct(i, j); }

 private:
  ir::LiteralValue value_;
  ir::NoOracle none_;
};

using ir::Constraint;
using ir::LiteralValue;

struct BoundCase {
  const char* name;
  LiteralValue value;
  Constraint bound;
  FloatInterval expected;  // the one interval, or...
  bool empty = false;      // ...no interval at all
};

TEST(FloatBoundTest, BoundsBecomeIntervals) {
  const int64_t two53 = int64_t{1} << 53;
  const double below_two53 = std::nextafter(kTwoTo53, 0.0);
  const double two63 = 9223372036854775808.0;
  const BoundCase cases[] = {
      {"int exactly a float keeps strictness", LiteralValue::of_int(5), Constraint::gt(0), open_closed(5, kInf)},
      {"int 0", LiteralValue::of_int(0), Constraint::lt(0), closed_open(-kInf, 0.0)},
      // 2**53 + 1 lies between 2**53 and 2**53 + 2 and rounds down to 2**53.
      {"ge 2**53+1", LiteralValue::of_int(two53 + 1), Constraint::ge(0), closed(kTwoTo53 + 2, kInf)},
      {"gt 2**53+1", LiteralValue::of_int(two53 + 1), Constraint::gt(0), closed(kTwoTo53 + 2, kInf)},
      {"le 2**53+1", LiteralValue::of_int(two53 + 1), Constraint::le(0), closed(-kInf, kTwoTo53)},
      {"lt 2**53+1", LiteralValue::of_int(two53 + 1), Constraint::lt(0), closed(-kInf, kTwoTo53)},
      // 2**53 + 3 rounds up to 2**53 + 4 (ties to even).
      {"ge 2**53+3", LiteralValue::of_int(two53 + 3), Constraint::ge(0), closed(kTwoTo53 + 4, kInf)},
      {"le 2**53+3", LiteralValue::of_int(two53 + 3), Constraint::le(0), closed(-kInf, kTwoTo53 + 2)},
      {"le -(2**53+1)", LiteralValue::of_int(-two53 - 1), Constraint::le(0), closed(-kInf, -kTwoTo53 - 2)},
      {"gt -(2**53+1)", LiteralValue::of_int(-two53 - 1), Constraint::gt(0), closed(-kTwoTo53, kInf)},
      {"2**53-1 is a float", LiteralValue::of_int(two53 - 1), Constraint::lt(0), closed_open(-kInf, below_two53)},
      // INT64_MAX rounds up to 2**63, above every int64.
      {"le int64 max", LiteralValue::of_int(INT64_MAX), Constraint::le(0), closed(-kInf, std::nextafter(two63, 0.0))},
      {"ge int64 max", LiteralValue::of_int(INT64_MAX), Constraint::ge(0), closed(two63, kInf)},
      {"ge int64 min", LiteralValue::of_int(INT64_MIN), Constraint::ge(0), closed(-two63, kInf)},
      {"gt -0.0", LiteralValue::of_float(-0.0), Constraint::gt(0), open_closed(0.0, kInf)},
      {"le -0.0", LiteralValue::of_float(-0.0), Constraint::le(0), closed(-kInf, 0.0)},
      {"ge 1.5", LiteralValue::of_float(1.5), Constraint::ge(0), closed(1.5, kInf)},
      {"lt 1.5", LiteralValue::of_float(1.5), Constraint::lt(0), closed_open(-kInf, 1.5)},
      {"ge +inf", LiteralValue::of_float(kInf), Constraint::ge(0), closed(kInf, kInf)},
      {"gt -inf", LiteralValue::of_float(-kInf), Constraint::gt(0), open_closed(-kInf, kInf)},
      {"le -inf", LiteralValue::of_float(-kInf), Constraint::le(0), closed(-kInf, -kInf)},
      {"gt +inf", LiteralValue::of_float(kInf), Constraint::gt(0), {}, true},
      {"lt -inf", LiteralValue::of_float(-kInf), Constraint::lt(0), {}, true},
      {"NaN admits nothing", LiteralValue::of_float(kNan), Constraint::ge(0), {}, true},
  };
  for (const BoundCase& c : cases) {
    ScriptedOracle oracle(c.value);
    Outcome<FloatSet> got = float_bound_domain(oracle, c.bound);
    ASSERT_TRUE(got) << c.name;
    FloatSet expected = c.empty ? float_set_empty() : FloatSet{{c.expected}, 0};
    EXPECT_TRUE(same_representation(*got, expected)) << c.name << ": " << text(*got);
  }
}

TEST(FloatBoundTest, LowerAndUpperBoundsMeet) {
  // x < 0.0 and x >= -0.0 admit no float.
  ScriptedOracle zero(LiteralValue::of_float(0.0));
  ScriptedOracle negative_zero(LiteralValue::of_float(-0.0));
  Outcome<FloatSet> below = float_bound_domain(zero, Constraint::lt(0));
  Outcome<FloatSet> from = float_bound_domain(negative_zero, Constraint::ge(0));
  ASSERT_TRUE(below && from);
  EXPECT_FALSE(float_set_is_inhabited(float_set_intersection(*below, *from)));
}

TEST(FloatBoundTest, UnreadableBoundsGiveUp) {
  const LiteralValue values[] = {LiteralValue::declined(), LiteralValue::of_bool(true), LiteralValue::none(),
                                 LiteralValue::of_text(ir::SlotKind::Str, "5")};
  for (const LiteralValue& v : values) {
    ScriptedOracle oracle(v);
    EXPECT_FALSE(float_bound_domain(oracle, Constraint::ge(0))) << int(v.tag);
  }
  ScriptedOracle five(LiteralValue::of_int(5));
  EXPECT_FALSE(float_bound_domain(five, Constraint::multiple_of(0)));
  EXPECT_FALSE(float_bound_domain(five, Constraint::min_len(1)));
}

}  // namespace
}  // namespace tessolin::descr

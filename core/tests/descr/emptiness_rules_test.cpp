// The emptiness rules for slots, lines, domains and clauses, and the
// answers that must stay Undecided rather than claim too much.
#include <gtest/gtest.h>

#include "descr/descriptor_complement.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/shared_descriptor.hpp"
#include "knot_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

constexpr Emptiness kEmpty = Emptiness::Empty;
constexpr Emptiness kInhabited = Emptiness::Inhabited;
constexpr Emptiness kUndecided = Emptiness::Undecided;

constexpr uint8_t kNone = 0;
constexpr uint8_t kBool = 1;
constexpr uint8_t kInt = 2;
constexpr uint8_t kFloat = 3;
constexpr uint8_t kStr = 4;

TEST(EmptinessRules, DescriptorWalk) {
  EXPECT_EQ(descriptor_emptiness(Descriptor{}), kEmpty);
  EXPECT_EQ(descriptor_emptiness(kind_top_descriptor(kOtherCode)), kInhabited);
  // Other undecided (two unrelated required classes), the rest empty.
  const Descriptor other_undecided =
      slot_descriptor(kOtherCode, {restricted(FlagDomain{1}, {classes_clause({class_B(), class_S()})})});
  EXPECT_EQ(descriptor_emptiness(other_undecided), kUndecided);
  Descriptor mixed = other_undecided;
  mixed.slots[kInt].lines.push_back(int_range_line(1, 2));
  EXPECT_EQ(descriptor_emptiness(mixed), kInhabited);
  // A negated slot without Lines is its kind's top.
  EXPECT_EQ(slot_emptiness(KindSlot{{}, 1}, kBool), kInhabited);
  EXPECT_EQ(slot_emptiness(KindSlot{{bool_line(3)}, 1}, kBool), kEmpty);
  EXPECT_EQ(slot_emptiness(KindSlot{{bool_line(1)}, 1}, kBool), kInhabited);
}

TEST(EmptinessRules, Domains) {
  struct Case {
    const char* what;
    Domain domain;
    Emptiness answer;
  };
  const double next = std::nextafter(1.0, 2.0);
  const std::vector<Case> cases{
      {"flag 0", FlagDomain{0}, kEmpty},
      {"bool mask 0", BoolMaskDomain{0}, kEmpty},
      {"bool mask 2", BoolMaskDomain{2}, kInhabited},
      {"no int", integer_set_empty(), kEmpty},
      {"one int", integer_set_single(-4), kInhabited},
      {"nan only", FloatSet{{}, 1}, kInhabited},
      {"no float", float_set_empty(), kEmpty},
      // An open interval between two adjacent floats holds none, even when
      // a set is built by hand and not normalised.
      {"adjacent floats, open", FloatSet{{FloatInterval{1.0, 0, next, 0}}, 0}, kEmpty},
      {"adjacent floats, one end closed", FloatSet{{FloatInterval{1.0, 1, next, 0}}, 0}, kInhabited},
      {"empty str literal", AutomatonDomain{literal_automaton("")}, kInhabited},
      {"no str", AutomatonDomain{complement_automaton(*any_bytes_automaton())}, kEmpty},
      {"list top", top_domain(6), kInhabited},
  };
  for (const Case& c : cases) EXPECT_EQ(domain_emptiness(c.domain), c.answer) << c.what;
}

TEST(EmptinessRules, ClauseParts) {
  const Domain ints = integer_set_full();
  // A positive empty clause list is empty whatever the domain; a negated
  // empty one holds every value.
  EXPECT_EQ(line_emptiness(restricted(ints, {}), kInt), kEmpty);
  EXPECT_TRUE(line_is_empty(restricted(ints, {})));
  EXPECT_EQ(line_emptiness(restricted(ints, {}, 1), kInt), kInhabited);
  // Both halves are decided: an empty domain with an undecided clause part.
  EXPECT_EQ(line_emptiness(restricted(integer_set_empty(), {classes_clause({class_A(), class_S()})}), kInt), kEmpty);
  // A negated list holding the unrestricted clause is empty.
  EXPECT_EQ(line_emptiness(restricted(ints, {classes_clause({class_I()}), AtomClause{}}, 1), kInt), kEmpty);
}

TEST(EmptinessRules, Clauses) {
  const SharedDescriptor ints = int_values();
  const SharedDescriptor nothing = shared_nothing();
  // An attribute value Undecided: the Other slot with two unrelated classes.
  const SharedDescriptor undecided =
      shared(slot_descriptor(kOtherCode, {restricted(FlagDomain{1}, {classes_clause({class_B(), class_S()})})}));
  struct Case {
    const char* what;
    AtomClause clause;
    uint8_t code;
    Emptiness answer;
  };
  const std::vector<Case> cases{
      {"int-derived in Int", classes_clause({class_I()}), kInt, kInhabited},
      {"int-derived in Str", classes_clause({class_I()}), kStr, kUndecided},
      {"plain class in Int", classes_clause({class_A()}), kInt, kUndecided},
      {"plain class in Other", classes_clause({class_A()}), kOtherCode, kInhabited},
      // Instances of int-derived classes are not in slot Other.
      {"int-derived in Other", classes_clause({class_I()}), kOtherCode, kUndecided},
      {"int-derived and str-derived", classes_clause({class_I(), class_S()}), kOtherCode, kEmpty},
      {"two plain unrelated", classes_clause({class_B(), class_C()}), kOtherCode, kUndecided},
      // Different builtin bases are no contradiction when one class derives
      // from the other (fabricated: Python forbids most such layouts).
      {"str-derived deriving from int-derived", classes_clause({class_I(), make_class(60, {class_id::kI}, 2, 4)}), kStr,
       kUndecided},
      {"same builtin base, unrelated", classes_clause({class_I(), make_class(61, {class_id::kInt}, 1, 2)}), kInt,
       kUndecided},
      {"required and excluded", classes_clause({class_A()}, {class_A()}), kOtherCode, kEmpty},
      {"required and an excluded base", classes_clause({class_J()}, {class_I()}), kInt, kEmpty},
      {"only excluded", classes_clause({}, {class_I()}), kInt, kInhabited},
      {"required attribute, empty value", attribute_clause("x", nothing, 0), kInt, kEmpty},
      {"optional attribute, empty value", attribute_clause("x", nothing, 1), kInt, kInhabited},
      {"required attribute, undecided value", attribute_clause("x", undecided, 0), kInt, kUndecided},
      {"required attribute, some value", attribute_clause("x", ints, 0), kInt, kInhabited},
      {"required attribute in Other", attribute_clause("x", ints, 0), kOtherCode, kInhabited},
      // None and the bools have no attributes of their own to set.
      {"required attribute in None", attribute_clause("x", ints, 0), kNone, kUndecided},
      {"optional attribute in Bool", attribute_clause("x", ints, 1), kBool, kUndecided},
      {"any attribute in None", attribute_clause("x", nullptr, 1), kNone, kInhabited},
      {"a class in Bool", classes_clause({class_I()}), kBool, kUndecided},
      {"no kind test", classes_clause({class_I()}), kAnyKind, kInhabited},
  };
  for (const Case& c : cases) EXPECT_EQ(clause_emptiness(c.clause, c.code), c.answer) << c.what;
  EXPECT_EQ(line_emptiness(restricted(FloatSet{{}, 1}, {classes_clause({class_F()})}), kFloat), kInhabited);
}

TEST(EmptinessRules, IncludedIn) {
  const SharedDescriptor ints = int_values();
  Descriptor small;
  set_single_line(small, kInt, integer_set_range(true, 0, true, 9));
  const SharedDescriptor digits = shared(small);
  EXPECT_EQ(included_in(ints, digits), Inclusion::Included);
  EXPECT_EQ(included_in(digits, ints), Inclusion::NotIncluded);
  EXPECT_EQ(included_in(nullptr, ints), Inclusion::Included);
  EXPECT_EQ(included_in(shared_nothing(), nullptr), Inclusion::NotIncluded);
  FuelWindow window(0);
  EXPECT_EQ(included_in(ints, digits), Inclusion::Unsettled) << "the meet gives up";
}

}  // namespace
}  // namespace tessolin::descr

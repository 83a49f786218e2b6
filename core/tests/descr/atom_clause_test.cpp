// Clause operations: complement, pair meet, De Morgan materialisation and
// compaction, on fabricated class answers.
#include <gtest/gtest.h>

#include "descr/descriptor_complement.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/fuel.hpp"
#include "knot_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

bool same_list(const ClauseList& a, const ClauseList& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), clause_eq);
}

TEST(AtomClause, Complement) {
  EXPECT_TRUE(complement_clause(AtomClause{}).empty());
  const SharedDescriptor ints = int_values();
  AtomClause c = attribute_clause("x", ints, 0);
  c.classes.push_back(class_A());
  const ClauseList k = complement_clause(c);
  ASSERT_EQ(k.size(), 2u);
  ASSERT_EQ(k[0].attributes.size(), 1u);
  const AttributeAtom& negated = k[0].attributes.at("x");
  EXPECT_EQ(negated.absent_allowed, 1);
  EXPECT_TRUE(descriptor_eq(*negated.value, complement_descriptor(*ints)));
  EXPECT_TRUE(clause_eq(k[1], classes_clause({}, {class_A()})));
  // An absent value (any value) complements to no value.
  const ClauseList any = complement_clause(attribute_clause("x", nullptr, 1));
  ASSERT_EQ(any.size(), 1u);
  EXPECT_EQ(any[0].attributes.at("x").value, shared_nothing());
  EXPECT_EQ(any[0].attributes.at("x").absent_allowed, 0);
  // Excluded classes come back required, after the required ones.
  const ClauseList classes = complement_clause(classes_clause({class_I()}, {class_S()}));
  ASSERT_EQ(classes.size(), 2u);
  EXPECT_TRUE(clause_eq(classes[0], classes_clause({}, {class_I()})));
  EXPECT_TRUE(clause_eq(classes[1], classes_clause({class_S()})));
}

TEST(AtomClause, PairMeet) {
  const SharedDescriptor ints = int_values();
  Descriptor small;
  set_single_line(small, 2, integer_set_range(true, 0, true, 9));
  const SharedDescriptor digits = shared(small);
  AtomClause a = attribute_clause("x", ints, 1);
  a.classes.push_back(class_A());
  AtomClause b = attribute_clause("x", digits, 0);
  b.attributes.emplace("y", AttributeAtom{nullptr, 1});
  b.classes.push_back(class_A());
  b.excluded_classes.push_back(class_S());
  Outcome<AtomClause> m = meet_clause_pair(a, b);
  ASSERT_TRUE(m);
  const AttributeAtom& x = m->attributes.at("x");
  EXPECT_EQ(x.absent_allowed, 0);
  EXPECT_TRUE(descriptor_eq(*x.value, small));
  EXPECT_EQ(m->attributes.count("y"), 1u);
  ASSERT_EQ(m->classes.size(), 1u);
  EXPECT_EQ(m->excluded_classes.size(), 1u);
  // A meet of two present values needs fuel.
  FuelWindow window(0);
  EXPECT_FALSE(meet_clause_pair(a, b));
  EXPECT_TRUE(meet_clause_pair(attribute_clause("x", ints, 0), attribute_clause("x", nullptr, 1)));
}

TEST(AtomClause, Materialize) {
  // not (A or B) = not A and not B; when B derives from A, not A suffices.
  Outcome<ClauseList> m = materialize_clauses({classes_clause({class_A()}), classes_clause({class_S()})}, 1);
  ASSERT_TRUE(m);
  EXPECT_TRUE(same_list(*m, {classes_clause({}, {class_A(), class_S()})}));
  m = materialize_clauses({classes_clause({class_A()}), classes_clause({class_B()})}, 1);
  ASSERT_TRUE(m);
  EXPECT_TRUE(same_list(*m, {classes_clause({}, {class_A()})}));
  m = materialize_clauses({}, 1);
  ASSERT_TRUE(m);
  EXPECT_TRUE(same_list(*m, {AtomClause{}}));
  m = materialize_clauses({classes_clause({class_A()}), AtomClause{}}, 1);
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->empty());
  m = materialize_clauses({classes_clause({class_A()})}, 0);
  ASSERT_TRUE(m);
  EXPECT_TRUE(same_list(*m, {classes_clause({class_A()})}));
}

TEST(AtomClause, Compact) {
  Descriptor empty_value;
  struct Case {
    const char* what;
    ClauseList in;
    ClauseList out;
  };
  const std::vector<Case> cases{
      {"required and excluded", {classes_clause({class_A()}, {class_A()})}, {}},
      {"required and an excluded base", {classes_clause({class_B()}, {class_A()})}, {}},
      {"a required base is implied", {classes_clause({class_A(), class_B()})}, {classes_clause({class_B()})}},
      {"an excluded subclass is implied",
       {classes_clause({}, {class_A(), class_B()})},
       {classes_clause({}, {class_A()})}},
      {"any value or absent holds always", {attribute_clause("x", nullptr, 1)}, {AtomClause{}}},
      {"int-derived and str-derived", {classes_clause({class_I(), class_S()})}, {}},
      {"int-derived and a plain class",
       {classes_clause({class_I(), class_A()})},
       {classes_clause({class_A(), class_I()})}},
      {"two plain unrelated classes",
       {classes_clause({class_B(), class_S()})},
       {classes_clause({class_B(), class_S()})}},
      {"J derives from I and A", {classes_clause({class_A(), class_I(), class_J()})}, {classes_clause({class_J()})}},
      {"a required attribute with no value", {attribute_clause("x", shared_nothing(), 0)}, {}},
      {"an optional attribute with no value",
       {attribute_clause("x", shared_nothing(), 1)},
       {attribute_clause("x", shared_nothing(), 1)}},
      {"duplicates and order",
       {classes_clause({class_S()}), classes_clause({class_A()}), classes_clause({class_S()})},
       {classes_clause({class_A()}), classes_clause({class_S()})}},
  };
  for (const Case& c : cases) {
    Outcome<ClauseList> out = compact_clauses(c.in);
    ASSERT_TRUE(out) << c.what;
    EXPECT_TRUE(same_list(*out, c.out)) << c.what;
  }
}

TEST(AtomClause, EquivalentClassesDoNotRemoveEachOther) {
  // Two answers each in the other's class set name one class: one stays.
  ClassAnswer p = make_class(50, {51}, 0, 255);
  ClassAnswer q = make_class(51, {50}, 0, 255);
  Outcome<ClauseList> out = compact_clauses({classes_clause({p, q})});
  ASSERT_TRUE(out);
  ASSERT_EQ(out->size(), 1u);
  ASSERT_EQ(out->front().classes.size(), 1u);
  EXPECT_EQ(out->front().classes[0].class_id, 50u);
  out = compact_clauses({classes_clause({}, {p, q})});
  ASSERT_TRUE(out);
  ASSERT_EQ(out->front().excluded_classes.size(), 1u);
}

}  // namespace
}  // namespace tessolin::descr

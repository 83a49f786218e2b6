#include <gtest/gtest.h>

#include "ir/negation_normal_form.hpp"

#include "../ir/ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

SchemaNode RawIntersection(std::vector<SchemaNode> m) { return SchemaNode::intersection_of(intern_node_list(m)); }

TEST(NegationNormalForm, FoldsAndDeMorgan) {
  struct Case {
    const char* name;
    SchemaNode input;
    SchemaNode expected;
  };
  std::vector<Case> cases;
  cases.push_back({"disjoint kinds meet", RawIntersection({IntN(), StrN()}), Nothing()});
  cases.push_back(
      {"complements of disjoint nodes", RawUnion({RawComplement(IntN()), RawComplement(StrN())}), Anything()});
  cases.push_back({"complementary pair", RawUnion({IntN(), RawComplement(IntN())}), Anything()});
  cases.push_back({"complement of union", RawComplement(RawUnion({IntN(), StrN()})),
                   RawIntersection({RawComplement(IntN()), RawComplement(StrN())})});
  cases.push_back({"complement of intersection", RawComplement(RawIntersection({Inst(1), Inst(2)})),
                   RawUnion({RawComplement(Inst(1)), RawComplement(Inst(2))})});
  cases.push_back({"double complement", RawComplement(RawComplement(Inst(4))), Inst(4)});
  cases.push_back({"complement of Anything", RawComplement(Anything()), Nothing()});
  cases.push_back({"complement of Nothing", RawComplement(Nothing()), Anything()});
  cases.push_back({"member normalising to Anything",
                   RawUnion({Inst(1), RawComplement(RawIntersection({IntN(), StrN()}))}), Anything()});
  cases.push_back({"every member Nothing", RawUnion({RawIntersection({IntN(), StrN()}), Nothing()}), Nothing()});
  cases.push_back({"every member Anything", RawIntersection({RawUnion({IntN(), RawComplement(IntN())})}), Anything()});
  cases.push_back({"nested union spliced", RawUnion({Inst(1), RawUnion({Inst(2), Inst(3)})}),
                   RawUnion({Inst(1), Inst(2), Inst(3)})});
  cases.push_back({"all kinds covered",
                   RawUnion({NoneN(), IntN(), FloatN(), StrN(), BytesN(),
                             RawComplement(RawUnion({NoneN(), IntN(), FloatN(), StrN(), BytesN()}))}),
                   Anything()});
  for (const Case& c : cases) {
    SchemaNode out = negation_normal_form(c.input);
    EXPECT_TRUE(node_eq(out, c.expected)) << c.name;
  }
}

TEST(NegationNormalForm, InstanceWithItsComplementStays) {
  SchemaNode out = negation_normal_form(RawUnion({Inst(1), RawComplement(Inst(1))}));
  ASSERT_TRUE(out.is(NodeKind::Union));
  EXPECT_EQ(out.members().size(), 2u);
}

TEST(NegationNormalForm, AnythingKeepsItsFlag) {
  SchemaNode out = negation_normal_form(RawUnion({Inst(1), Any()}));
  EXPECT_TRUE(out.is_typing_any());
  SchemaNode folded = negation_normal_form(RawIntersection({Any()}));
  EXPECT_TRUE(folded.is(NodeKind::Anything));
  EXPECT_FALSE(folded.is_typing_any());
}

TEST(NegationNormalForm, MergesNestedRefinements) {
  SchemaNode inner =
      SchemaNode::refinement(In(StrN()), ConstraintList::from_vector({Constraint::max_len(5), Constraint::min_len(1)}));
  SchemaNode outer =
      SchemaNode::refinement(In(inner), ConstraintList::from_vector({Constraint::min_len(1), Constraint::ge(0)}));
  SchemaNode out = negation_normal_form(outer);
  ASSERT_TRUE(out.is(NodeKind::Refinement));
  EXPECT_TRUE(out.base()->is(NodeKind::Str));
  ASSERT_EQ(out.constraints().size(), 3u);
  EXPECT_EQ(out.constraints()[0].kind(), ConstraintKind::Ge);
  EXPECT_EQ(out.constraints()[1].kind(), ConstraintKind::MinLen);
  EXPECT_EQ(out.constraints()[2].kind(), ConstraintKind::MaxLen);
}

TEST(NegationNormalForm, LeavesAndReferencesComeBackAsCopies) {
  for (const SchemaNode& n : {Ref(2), Ph(7), Lit(3), Inst(1), IntN()}) {
    EXPECT_TRUE(node_eq(negation_normal_form(n), n));
  }
}

TEST(NegationNormalForm, ClausesKeepInputOrderFieldsKeepOrder) {
  std::vector<CatchAll> clauses{CatchAll{StrN(), RawComplement(RawComplement(IntN()))}, CatchAll{IntN(), StrN()}};
  std::vector<RecordField> fields{Field("a", RawComplement(RawComplement(BoolN()))), Field("b", IntN(), false)};
  SchemaNode rec = SchemaNode::record(intern_field_list(fields), intern_catch_all_list(clauses));
  SchemaNode out = negation_normal_form(rec);
  ASSERT_TRUE(out.is(NodeKind::Record));
  ASSERT_EQ(out.clauses().size(), 2u);
  EXPECT_TRUE(out.clauses()[0].key.is(NodeKind::Str));
  EXPECT_TRUE(out.clauses()[0].value.is(NodeKind::Int));
  EXPECT_TRUE(out.clauses()[1].key.is(NodeKind::Int));
  ASSERT_EQ(out.fields().size(), 2u);
  EXPECT_EQ(out.fields()[0].name.view(), "a");
  EXPECT_TRUE(out.fields()[0].schema.is(NodeKind::Bool));
  EXPECT_FALSE(out.fields()[1].required);
}

TEST(NegationNormalForm, DescendsIntoStructure) {
  SchemaNode dneg = RawComplement(RawComplement(IntN()));
  EXPECT_TRUE(node_eq(negation_normal_form(ListOf(dneg)), ListOf(IntN())));
  EXPECT_TRUE(node_eq(negation_normal_form(TupleOf({dneg}, dneg)), TupleOf({IntN()}, IntN())));
  EXPECT_TRUE(node_eq(negation_normal_form(SetOf(dneg)), SetOf(IntN())));
  EXPECT_TRUE(node_eq(negation_normal_form(Obj({Field("x", dneg)})), Obj({Field("x", IntN())})));
}

}  // namespace
}  // namespace tessolin::ir

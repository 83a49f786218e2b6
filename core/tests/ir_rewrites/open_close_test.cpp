#include <gtest/gtest.h>

#include "ir/open_close.hpp"

#include "../ir/ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

CatchAll Clause(SchemaNode k, SchemaNode v) { return CatchAll{std::move(k), std::move(v)}; }

// Record written exactly as given: clause order kept.
SchemaNode RawRec(std::vector<RecordField> fields, std::vector<CatchAll> clauses) {
  sort_fields_by_name(fields);
  return SchemaNode::record(intern_field_list(fields), intern_catch_all_list(clauses));
}

void ExpectClauses(const SchemaNode& rec, const std::vector<CatchAll>& want) {
  ASSERT_TRUE(rec.is(NodeKind::Record));
  ASSERT_EQ(rec.clauses().size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_TRUE(node_eq(rec.clauses()[i].key, want[i].key)) << "clause " << i;
    EXPECT_TRUE(node_eq(rec.clauses()[i].value, want[i].value)) << "clause " << i;
  }
}

TEST(OpenClose, ClosedRecordOpensToTopClauseAndBack) {
  SchemaNode rec = Rec({Field("a", IntN())});
  SchemaNode opened = set_records_open(rec, true);
  ExpectClauses(opened, {Clause(Anything(), Anything())});
  EXPECT_TRUE(opened.clauses().same_as(top_catch_all_list()));
  EXPECT_FALSE(rewrite_record_openness(opened, true).has_value());
  SchemaNode closed = set_records_open(opened, false);
  EXPECT_TRUE(node_eq(closed, rec));
  EXPECT_TRUE(closed.clauses().empty());
}

TEST(OpenClose, TypedMappingGainsComplementKey) {
  SchemaNode mapping = DictOf(StrN(), IntN());
  SchemaNode opened = set_records_open(mapping, true);
  ExpectClauses(opened, {Clause(StrN(), IntN()), Clause(Not(StrN()), Anything())});
  EXPECT_FALSE(rewrite_record_openness(opened, true).has_value());
  EXPECT_TRUE(node_eq(set_records_open(opened, false), mapping));
  EXPECT_FALSE(rewrite_record_openness(mapping, false).has_value());
}

TEST(OpenClose, AddedClauseMergesWithSameValue) {
  SchemaNode opened = set_records_open(DictOf(StrN(), Anything()), true);
  ExpectClauses(opened, {Clause(Anything(), Anything())});
}

TEST(OpenClose, InstanceKeyBlocksComplementFold) {
  SchemaNode opened = set_records_open(DictOf(Inst(3), Anything()), true);
  ASSERT_EQ(opened.clauses().size(), 1u);
  const SchemaNode& key = opened.clauses()[0].key;
  ASSERT_TRUE(key.is(NodeKind::Union));
  EXPECT_EQ(key.members().size(), 2u);
}

TEST(OpenClose, TopKeyNeedsNoRestClause) {
  SchemaNode rec = DictOf(Anything(), IntN());
  EXPECT_FALSE(rewrite_record_openness(rec, true).has_value());
}

TEST(OpenClose, ClosingTopClauseAdmitsOnlyEmptyDict) {
  SchemaNode closed = set_records_open(DictOf(Anything(), Anything()), false);
  EXPECT_TRUE(closed.fields().empty());
  EXPECT_TRUE(closed.clauses().empty());
}

// Redundancy is judged against the clause list the record ends up with.
TEST(OpenClose, RedundantOptionalFieldsAgainstNewClauses) {
  SchemaNode rec = RawRec({Field("a", Anything(), false), Field("b", Nothing(), false), Field("c", IntN())}, {});
  SchemaNode opened = set_records_open(rec, true);
  ASSERT_EQ(opened.fields().size(), 2u);
  EXPECT_EQ(opened.fields()[0].name.view(), "b");
  EXPECT_EQ(opened.fields()[1].name.view(), "c");

  SchemaNode top =
      RawRec({Field("a", Anything(), false), Field("b", Nothing(), false)}, {Clause(Anything(), Anything())});
  SchemaNode closed = set_records_open(top, false);
  ASSERT_EQ(closed.fields().size(), 1u);
  EXPECT_EQ(closed.fields()[0].name.view(), "a");
  EXPECT_TRUE(closed.clauses().empty());

  // A required field is never redundant.
  SchemaNode required = Rec({Field("a", Anything())});
  EXPECT_EQ(set_records_open(required, true).fields().size(), 1u);
}

TEST(OpenClose, ReachesNestedRecordsButNotClauseValues) {
  SchemaNode inner = Rec({Field("x", IntN())});
  SchemaNode opened_inner = set_records_open(inner, true);
  struct Case {
    const char* name;
    SchemaNode before;
    SchemaNode after;
  };
  std::vector<Case> cases;
  cases.push_back({"list item", ListOf(inner), ListOf(opened_inner)});
  cases.push_back({"tuple tail", TupleOf({IntN()}, inner), TupleOf({IntN()}, opened_inner)});
  cases.push_back({"tuple prefix", TupleOf({inner, IntN()}), TupleOf({opened_inner, IntN()})});
  cases.push_back({"set element", SetOf(inner), SetOf(opened_inner)});
  cases.push_back({"object attribute", Obj({Field("o", inner)}), Obj({Field("o", opened_inner)})});
  cases.push_back({"union member", U({inner, IntN()}), U({opened_inner, IntN()})});
  cases.push_back({"complement", Not(inner), Not(opened_inner)});
  cases.push_back(
      {"refinement base", Refine(inner, {Constraint::min_len(1)}), Refine(opened_inner, {Constraint::min_len(1)})});
  cases.push_back(
      {"field schema", Rec({Field("r", inner)}), RawRec({Field("r", opened_inner)}, {Clause(Anything(), Anything())})});
  for (const Case& c : cases) {
    EXPECT_TRUE(node_eq(set_records_open(c.before, true), c.after)) << c.name;
  }
  // A mapping of str to a record keeps the inner record as written.
  SchemaNode mapping = DictOf(StrN(), inner);
  SchemaNode opened = set_records_open(mapping, true);
  EXPECT_TRUE(node_eq(opened.clauses()[0].value, inner));
}

TEST(OpenClose, UnchangedAnswersShareTheInput) {
  std::vector<SchemaNode> untouched{IntN(), Ref(3), Ph(9), ListOf(StrN()), U({IntN(), NoneN()})};
  for (const SchemaNode& n : untouched) {
    EXPECT_FALSE(rewrite_record_openness(n, true).has_value());
    EXPECT_FALSE(rewrite_record_openness(n, false).has_value());
  }
  SchemaNode list = ListOf(IntN());
  SchemaNode same = set_records_open(list, true);
  EXPECT_TRUE(same.tail().same_as(list.tail()));
}

TEST(OpenClose, UnionOfRecordsEqualOnceOpenedCollapses) {
  SchemaNode a = Rec({Field("x", IntN())});
  SchemaNode b = RawRec({Field("x", IntN())}, {Clause(Anything(), Anything())});
  SchemaNode u = U({a, b});
  ASSERT_TRUE(u.is(NodeKind::Union));
  SchemaNode opened = set_records_open(u, true);
  EXPECT_TRUE(opened.is(NodeKind::Record));
  EXPECT_TRUE(node_eq(opened, b));
}

TEST(OpenClose, RefinementKeepsConstraints) {
  SchemaNode r = Refine(Rec({Field("a", IntN())}), {Constraint::min_len(1), Constraint::max_len(4)});
  SchemaNode opened = set_records_open(r, true);
  ASSERT_TRUE(opened.is(NodeKind::Refinement));
  EXPECT_TRUE(opened.constraints().same_as(r.constraints()));
}

TEST(OpenClose, JoinAndMeetFold) {
  std::vector<SchemaNode> pair{IntN(), Not(IntN())};
  EXPECT_TRUE(rewrite_join(pair).is(NodeKind::Anything));
  EXPECT_TRUE(rewrite_meet(pair).is(NodeKind::Nothing));
  std::vector<SchemaNode> with_instance{Inst(1), Not(Inst(1))};
  EXPECT_TRUE(rewrite_join(with_instance).is(NodeKind::Union));
  std::vector<SchemaNode> none;
  EXPECT_TRUE(rewrite_join(none).is(NodeKind::Nothing));
  EXPECT_TRUE(rewrite_meet(none).is(NodeKind::Anything));
  std::vector<SchemaNode> any_first{Any(), IntN()};
  EXPECT_TRUE(rewrite_join(any_first).is_typing_any());
}

}  // namespace
}  // namespace tessolin::ir

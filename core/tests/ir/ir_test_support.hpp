// Small builders and a scripted oracle for the IR tests.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ir/constructors.hpp"
#include "ir/intern.hpp"
#include "ir/node.hpp"
#include "ir/node_order.hpp"
#include "ir/oracle.hpp"

namespace tessolin::ir::testing {

inline SchemaNode Any() { return SchemaNode::anything(kAnyFlag); }
inline SchemaNode Anything() { return SchemaNode::anything(); }
inline SchemaNode Nothing() { return SchemaNode::nothing(); }
inline SchemaNode NoneN() { return SchemaNode::plain(NodeKind::None); }
inline SchemaNode BoolN() { return SchemaNode::plain(NodeKind::Bool); }
inline SchemaNode IntN() { return SchemaNode::plain(NodeKind::Int); }
inline SchemaNode FloatN() { return SchemaNode::plain(NodeKind::Float); }
inline SchemaNode StrN() { return SchemaNode::plain(NodeKind::Str); }
inline SchemaNode BytesN() { return SchemaNode::plain(NodeKind::Bytes); }
inline SchemaNode Lit(uint64_t i) { return SchemaNode::literal(i); }
inline SchemaNode Inst(uint64_t i) { return SchemaNode::instance(i); }
inline SchemaNode Ref(uint64_t n) { return SchemaNode::reference(n); }
inline SchemaNode Ph(uint64_t id) { return SchemaNode::placeholder(id); }

inline NodeRef In(SchemaNode n) { return intern_node(std::move(n)); }

inline SchemaNode Seq(SequenceKind k, std::vector<SchemaNode> prefix, std::optional<SchemaNode> tail) {
  NodeList p = intern_node_list(prefix);
  NodeRef t = tail ? In(std::move(*tail)) : NodeRef();
  return SchemaNode::sequence(k, std::move(p), std::move(t));
}
inline SchemaNode ListOf(SchemaNode item) { return Seq(SequenceKind::List, {}, std::move(item)); }
inline SchemaNode TupleOf(std::vector<SchemaNode> prefix, std::optional<SchemaNode> tail = std::nullopt) {
  return Seq(SequenceKind::Tuple, std::move(prefix), std::move(tail));
}
inline SchemaNode SetOf(SchemaNode e) { return SchemaNode::collection(CollectionKind::Set, In(std::move(e))); }
inline SchemaNode FrozenSetOf(SchemaNode e) {
  return SchemaNode::collection(CollectionKind::FrozenSet, In(std::move(e)));
}
inline RecordField Field(const std::string& name, SchemaNode s, bool required = true) {
  return RecordField{std::move(s), Text(name), required};
}
inline CatchAll Clause(SchemaNode k, SchemaNode v) { return CatchAll{std::move(k), std::move(v)}; }
inline SchemaNode Rec(std::vector<RecordField> fields, std::vector<CatchAll> clauses = {}) {
  return make_record(std::move(fields), std::move(clauses));
}
inline SchemaNode DictOf(SchemaNode k, SchemaNode v) {
  std::vector<CatchAll> c;
  c.push_back(CatchAll{std::move(k), std::move(v)});
  return make_record({}, std::move(c));
}
inline SchemaNode Obj(std::vector<RecordField> attrs) {
  sort_fields_by_name(attrs);
  return SchemaNode::object(intern_field_list(attrs));
}
inline SchemaNode U(std::vector<SchemaNode> m) { return make_union(std::move(m)); }
inline SchemaNode I(std::vector<SchemaNode> m) { return make_intersection(std::move(m)); }
inline SchemaNode Not(SchemaNode n) { return make_complement(std::move(n)); }
inline SchemaNode Refine(SchemaNode base, std::vector<Constraint> cs) {
  return make_refinement(std::move(base), std::move(cs));
}
// Writes a union or intersection exactly as given (no normalisation).
inline SchemaNode RawUnion(std::vector<SchemaNode> m) { return SchemaNode::union_of(intern_node_list(m)); }
inline SchemaNode RawIntersection(std::vector<SchemaNode> m) {
  return SchemaNode::intersection_of(intern_node_list(m));
}
inline SchemaNode RawComplement(SchemaNode n) { return SchemaNode::complement_of(In(std::move(n))); }

inline std::vector<NodeKind> kinds_of(const NodeList& l) {
  std::vector<NodeKind> out;
  for (const SchemaNode& n : l) out.push_back(n.kind());
  return out;
}

// An oracle whose answers a test sets up; unset questions answer like NoOracle.
class ScriptedOracle : public Oracle {
 public:
  std::map<uint64_t, SlotKind> scalar_kinds;
  std::map<std::pair<uint64_t, SlotKind>, OracleAnswer> kind_matches;
  std::map<std::pair<uint64_t, SlotKind>, OracleAnswer> kind_matches_strict;
  std::set<std::pair<uint64_t, uint64_t>> distinct;  // pairs proven distinct
  OracleAnswer disjoint_answer = OracleAnswer::Undecided;
  std::set<uint64_t> standard_hook_classes;
  int disjoint_calls = 0;
  int distinct_calls = 0;

  LiteralValue constraint_value(uint64_t) override { return LiteralValue::declined(); }
  LiteralValue literal_value(uint64_t) override { return LiteralValue::declined(); }
  ClassAnswer class_answer(uint64_t) override { return {}; }
  OracleAnswer decide_subset(const SchemaNode&, const SchemaNode&) override { return OracleAnswer::Undecided; }
  ConstantOrder compare_constants(uint64_t, uint64_t) override { return ConstantOrder::Unordered; }
  OracleAnswer constants_disjoint(const LiteralMembers&, const LiteralMembers&) override {
    ++disjoint_calls;
    return disjoint_answer;
  }
  OracleAnswer integer_range_empty(uint64_t, bool, uint64_t, bool) override { return OracleAnswer::Undecided; }
  OracleAnswer is_multiple(uint64_t, uint64_t) override { return OracleAnswer::Undecided; }
  OracleAnswer class_hooks_standard(const SchemaNode& n) override {
    return n.is(NodeKind::Instance) && standard_hook_classes.count(n.number()) ? OracleAnswer::Yes
                                                                               : OracleAnswer::Undecided;
  }
  SlotKind scalar_kind(uint64_t i) override {
    auto it = scalar_kinds.find(i);
    return it == scalar_kinds.end() ? SlotKind::Unknown : it->second;
  }
  OracleAnswer class_kind_matches(uint64_t i, SlotKind k) override {
    auto it = kind_matches.find({i, k});
    return it == kind_matches.end() ? OracleAnswer::Undecided : it->second;
  }
  OracleAnswer class_kind_matches_strict(uint64_t i, SlotKind k) override {
    auto it = kind_matches_strict.find({i, k});
    return it == kind_matches_strict.end() ? OracleAnswer::Undecided : it->second;
  }
  OracleAnswer builtin_within_class(SlotKind, uint64_t) override { return OracleAnswer::Undecided; }
  OracleAnswer constants_distinct(uint64_t i, uint64_t j) override {
    ++distinct_calls;
    return distinct.count({i, j}) || distinct.count({j, i}) ? OracleAnswer::Yes : OracleAnswer::Undecided;
  }
};

}  // namespace tessolin::ir::testing

// Node builders and a fake oracle over a small table of constants.
#pragma once

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "../ir/ir_test_support.hpp"
#include "decide/decision_context.hpp"
#include "ir/constructors.hpp"
#include "ir/intern.hpp"
#include "ir/node.hpp"
#include "ir/node_order.hpp"
#include "ir/oracle.hpp"

namespace tessolin::decide::testing {

using ir::CatchAll;
using ir::CollectionKind;
using ir::Constraint;
using ir::NodeKind;
using ir::OracleAnswer;
using ir::RecordField;
using ir::SchemaNode;
using ir::SequenceKind;
using ir::SlotKind;

// The node builders shared with the IR tests.
using namespace ir::testing;

inline SchemaNode Tuple(std::vector<SchemaNode> prefix, std::optional<SchemaNode> tail = std::nullopt) {
  return TupleOf(std::move(prefix), std::move(tail));
}

// A pooled constant the fake oracle knows.
struct Const {
  SlotKind kind = SlotKind::Unknown;  // Unknown: an object the oracle knows nothing of
  double number = 0;                  // Bool, Int, Float
  std::string text;                   // Str
};
inline Const IntC(int64_t v) { return {SlotKind::Int, static_cast<double>(v), {}}; }
inline Const FloatC(double v) { return {SlotKind::Float, v, {}}; }
inline Const StrC(std::string s) { return {SlotKind::Str, 0, std::move(s)}; }
inline Const BoolC(bool b) { return {SlotKind::Bool, b ? 1.0 : 0.0, {}}; }
inline Const OpaqueC() { return {}; }

// Answers from its constant table as a pool-backed oracle would; classes and
// the subset question are scripted per test. Unscripted answers claim nothing.
class FakeOracle : public ir::Oracle {
 public:
  std::map<uint64_t, Const> constants;
  std::set<uint64_t> standard_hook_classes;
  std::map<std::pair<uint64_t, SlotKind>, OracleAnswer> kind_matches;
  std::map<std::pair<SlotKind, uint64_t>, OracleAnswer> within_class;
  std::function<OracleAnswer(const SchemaNode&, const SchemaNode&)> subset;
  std::vector<SlotKind> within_class_asked;
  int subset_calls = 0;

  ir::LiteralValue constraint_value(uint64_t) override { return ir::LiteralValue::declined(); }
  ir::LiteralValue literal_value(uint64_t) override { return ir::LiteralValue::declined(); }
  ir::ClassAnswer class_answer(uint64_t) override { return {}; }
  OracleAnswer decide_subset(const SchemaNode& a, const SchemaNode& b) override {
    ++subset_calls;
    return subset ? subset(a, b) : OracleAnswer::Undecided;
  }
  ir::ConstantOrder compare_constants(uint64_t i, uint64_t j) override {
    const Const* x = find(i);
    const Const* y = find(j);
    if (!x || !y) return ir::ConstantOrder::Unordered;
    if (numeric(*x) && numeric(*y)) {
      if (std::isnan(x->number) || std::isnan(y->number)) return ir::ConstantOrder::Unordered;
      return order(x->number<y->number, x->number> y->number);
    }
    if (x->kind == SlotKind::Str && y->kind == SlotKind::Str) return order(x->text<y->text, x->text> y->text);
    return ir::ConstantOrder::Unordered;
  }
  OracleAnswer constants_disjoint(const ir::LiteralMembers& a, const ir::LiteralMembers& b) override {
    for (uint64_t i : a)
      for (uint64_t j : b) {
        OracleAnswer d = constants_distinct(i, j);
        if (d == OracleAnswer::No) return OracleAnswer::No;
        if (d == OracleAnswer::Undecided) return OracleAnswer::Undecided;
      }
    return OracleAnswer::Yes;
  }
  OracleAnswer integer_range_empty(uint64_t i, bool low_ex, uint64_t j, bool high_ex) override {
    const Const* x = find(i);
    const Const* y = find(j);
    if (!x || !y || !numeric(*x) || !numeric(*y) || std::isnan(x->number) || std::isnan(y->number))
      return OracleAnswer::Undecided;
    double lo = low_ex ? std::floor(x->number) + 1 : std::ceil(x->number);
    double hi = high_ex ? std::ceil(y->number) - 1 : std::floor(y->number);
    return lo > hi ? OracleAnswer::Yes : OracleAnswer::No;
  }
  OracleAnswer is_multiple(uint64_t i, uint64_t j) override {
    const Const* x = find(i);
    const Const* y = find(j);
    if (!x || !y || x->kind != SlotKind::Int || y->kind != SlotKind::Int || y->number == 0)
      return OracleAnswer::Undecided;
    return static_cast<int64_t>(x->number) % static_cast<int64_t>(y->number) == 0 ? OracleAnswer::Yes
                                                                                  : OracleAnswer::No;
  }
  OracleAnswer class_hooks_standard(const SchemaNode& n) override {
    return n.is(NodeKind::Instance) && standard_hook_classes.count(n.number()) ? OracleAnswer::Yes
                                                                               : OracleAnswer::Undecided;
  }
  SlotKind scalar_kind(uint64_t i) override {
    const Const* x = find(i);
    return x ? x->kind : SlotKind::Unknown;
  }
  OracleAnswer class_kind_matches(uint64_t i, SlotKind k) override { return lookup(kind_matches, {i, k}); }
  OracleAnswer class_kind_matches_strict(uint64_t i, SlotKind k) override { return lookup(kind_matches, {i, k}); }
  OracleAnswer builtin_within_class(SlotKind k, uint64_t i) override {
    within_class_asked.push_back(k);
    return lookup(within_class, {k, i});
  }
  OracleAnswer constants_distinct(uint64_t i, uint64_t j) override {
    const Const* x = find(i);
    const Const* y = find(j);
    if (!x || !y) return OracleAnswer::Undecided;
    if (x->kind != y->kind) return OracleAnswer::Yes;
    if (numeric(*x)) return x->number == y->number ? OracleAnswer::No : OracleAnswer::Yes;  // NaN: distinct
    return x->text == y->text ? OracleAnswer::No : OracleAnswer::Yes;
  }

 private:
  const Const* find(uint64_t i) const {
    auto it = constants.find(i);
    return it == constants.end() || it->second.kind == SlotKind::Unknown ? nullptr : &it->second;
  }
  static bool numeric(const Const& c) {
    return c.kind == SlotKind::Int || c.kind == SlotKind::Float || c.kind == SlotKind::Bool;
  }
  static ir::ConstantOrder order(bool less, bool greater) {
    return less ? ir::ConstantOrder::Less : greater ? ir::ConstantOrder::Greater : ir::ConstantOrder::Equal;
  }
  template <class K>
  static OracleAnswer lookup(const std::map<K, OracleAnswer>& m, const K& k) {
    auto it = m.find(k);
    return it == m.end() ? OracleAnswer::Undecided : it->second;
  }
};

}  // namespace tessolin::decide::testing

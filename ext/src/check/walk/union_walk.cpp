// Unions: membership of any alternative. A non-member reports the failures
// of the alternative that got deepest into the value, else those carrying a
// pass-through code, else one "union_error" naming the alternatives.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "check/fatal_errors.hpp"
#include "check/precompute.hpp"
#include "check/recording.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"
#include "ir/constructors.hpp"
#include "ir/node_walk.hpp"
#include "render/value_text.hpp"
#include "limits/limits.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {

constexpr size_t kMaxUnionDetail = limits::kMaxUnionDetail;
constexpr uint64_t kMaxDescribedHops = limits::kMaxDescribedHops;

bool is_pass_through(const char* code) noexcept {
  static constexpr const char* kCodes[] = {errors::code::kRecursionLimit, errors::code::kRecursionLoop,
                                           errors::code::kPredicateError, errors::code::kMutatedDuringValidation};
  for (const char* c : kCodes) {
    if (std::strcmp(c, code) == 0) return true;
  }
  return false;
}

// Answers membership from the union's literal sets: true/false, or nothing
// when the alternatives must be walked.
std::optional<bool> literal_set_answer(const LiteralSet& set, PyObject* obj, const WalkShared& shared) {
  if (PyLong_CheckExact(obj)) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(obj, &overflow);
    if (overflow != 0) return std::nullopt;
    if (v == -1 && PyErr_Occurred()) {
      absorb_pending_error(shared);
      return std::nullopt;
    }
    return set.ints.find(static_cast<int64_t>(v)) != set.ints.end();
  }
  if (PyUnicode_CheckExact(obj)) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
    if (data == nullptr) {
      absorb_pending_error(shared);
      return std::nullopt;
    }
    return set.texts.find(std::string_view(data, static_cast<size_t>(size))) != set.texts.end();
  }
  return std::nullopt;
}

struct Descriptions {
  std::vector<std::string> texts;
  bool truncated = false;
  bool full() const noexcept { return texts.size() >= kMaxUnionDetail; }
  void push_capped(std::string text) {
    if (full()) {
      truncated = true;
      return;
    }
    texts.push_back(std::move(text));
  }
};

std::string describe_class(uint64_t index, const ir::SchemaNode& node, const WalkShared& shared) {
  PyObject* cls = shared.pool.at(index);
  if (cls == nullptr) return std::string(ir::kind_display_name(node));
  return py::class_name(cls);
}

void describe_alternative(const ir::SchemaNode& node, const WalkShared& shared, Descriptions& out, uint64_t hops) {
  // Every description adds at least one text, so once the list is full
  // the rest only marks it truncated: nothing further is rendered and no
  // reference is followed.
  if (out.full()) {
    out.truncated = true;
    return;
  }
  using K = ir::NodeKind;
  switch (node.kind()) {
    case K::Literal: {
      PyObject* constant = shared.pool.at(node.number());
      if (constant == nullptr) {
        out.push_capped(std::string(ir::kind_display_name(node)));
      } else {
        out.push_capped("the literal " + render_object_text(constant, shared));
      }
      return;
    }
    case K::Union:
      for (const ir::SchemaNode& member : node.members()) describe_alternative(member, shared, out, hops);
      return;
    case K::Intersection: {
      std::optional<uint64_t> cls = ir::match_class_with_shape(node);
      out.push_capped(cls ? describe_class(*cls, node, shared) : std::string(ir::kind_display_name(node)));
      return;
    }
    case K::Complement: out.push_capped("not " + std::string(ir::kind_display_name(*node.inner()))); return;
    case K::Instance: out.push_capped(describe_class(node.number(), node, shared)); return;
    case K::Refinement: describe_alternative(*node.base(), shared, out, hops); return;
    case K::Reference:
      if (hops < kMaxDescribedHops && node.number() < shared.definitions.size()) {
        describe_alternative(shared.definitions[node.number()], shared, out, hops + 1);
      } else {
        out.push_capped(std::string(ir::kind_display_name(node)));
      }
      return;
    default: out.push_capped(std::string(ir::kind_display_name(node))); return;
  }
}

void append_report(std::vector<py::Violation>& from, const WalkContext& ctx) {
  if (from.empty()) return;
  if (ctx.mode == WalkMode::FailFast) {
    ctx.violations->push_back(std::move(from.front()));
    return;
  }
  for (py::Violation& v : from) ctx.violations->push_back(std::move(v));
}

bool walk_union_collecting(const ir::NodeList& members, WalkInput input, const WalkContext& ctx) {
  const size_t path_length = ctx.path->size();
  std::optional<std::vector<py::Violation>> best;
  uint64_t best_depth = 0;
  std::optional<std::vector<py::Violation>> pass_through;
  std::vector<py::PathSegment> unused_path;
  std::vector<py::Violation> unused_violations;
  for (size_t i = 0; i < members.size(); ++i) {
    if (i >= kMaxUnionDetail) {
      WalkContext sub = sub_context(ctx, &unused_path, &unused_violations, WalkMode::Membership);
      if (walk_node(members[i], input, sub)) return true;
      continue;
    }
    std::vector<py::Violation> own;
    WalkContext sub = sub_context(ctx, ctx.path, &own, WalkMode::CollectAll);
    if (walk_node(members[i], input, sub)) return true;
    if (ctx.shared->aborted()) return false;
    uint64_t depth = 0;
    bool passes = false;
    for (const py::Violation& v : own) {
      if (v.path.size() > path_length) depth = std::max<uint64_t>(depth, v.path.size() - path_length);
      passes = passes || is_pass_through(v.code);
    }
    if (!pass_through && passes) pass_through = own;
    if (!best || depth > best_depth) {
      best = std::move(own);
      best_depth = depth;
    }
  }
  if (best && best_depth > 0) {
    append_report(*best, ctx);
    return false;
  }
  if (pass_through) {
    append_report(*pass_through, ctx);
    return false;
  }
  Descriptions descriptions;
  for (const ir::SchemaNode& member : members) describe_alternative(member, *ctx.shared, descriptions, 0);
  std::string expected = "one of: ";
  for (size_t i = 0; i < descriptions.texts.size(); ++i) {
    if (i > 0) expected += ", ";
    expected += descriptions.texts[i];
  }
  if (descriptions.truncated) expected += ", ...";
  push_violation(errors::code::kUnionError, std::move(expected), input, ctx);
  return false;
}

}  // namespace

bool walk_union(const ir::NodeList& members, WalkInput input, const WalkContext& ctx) {
  if (ctx.mode != WalkMode::Membership) return walk_union_collecting(members, input, ctx);
  const WalkShared& shared = *ctx.shared;
  if (shared.tables != nullptr && input.is_object()) {
    if (const LiteralSet* set = shared.tables->find_literals(members)) {
      std::optional<bool> answer = literal_set_answer(*set, input.py(), shared);
      if (answer) return *answer;
      if (shared.aborted()) return false;
    }
  }
  for (const ir::SchemaNode& member : members) {
    if (walk_node(member, input, ctx)) return true;
    if (shared.aborted()) return false;
  }
  return false;
}

}  // namespace tessolin::check

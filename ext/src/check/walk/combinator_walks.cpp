// Intersections, complements and references.
#include <string>
#include <vector>

#include "check/recording.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"
#include "ir/node_walk.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

bool walk_intersection(const ir::NodeList& members, WalkInput input, const WalkContext& ctx) {
  if (ctx.mode != WalkMode::CollectAll) {
    for (const ir::SchemaNode& member : members) {
      if (!walk_node(member, input, ctx)) return false;
    }
    return true;
  }
  const size_t path_length = ctx.path->size();
  bool all = true;
  for (const ir::SchemaNode& member : members) {
    const size_t before = ctx.violations->size();
    if (walk_node(member, input, ctx)) continue;
    all = false;
    if (ctx.shared->aborted()) return false;
    // A failure of the value itself ends the walk; failures inside
    // different parts of it are all collected.
    for (size_t i = before; i < ctx.violations->size(); ++i) {
      if ((*ctx.violations)[i].path.size() == path_length) return false;
    }
  }
  return all;
}

bool walk_complement(const ir::SchemaNode& inner, WalkInput input, const WalkContext& ctx) {
  std::vector<py::PathSegment> path;
  std::vector<py::Violation> violations;
  WalkContext sub = sub_context(ctx, &path, &violations, WalkMode::Membership);
  const bool inner_member = walk_node(inner, input, sub);
  if (inner_member && ctx.collecting()) {
    push_violation(errors::code::kUnexpectedMatch, "not " + std::string(ir::kind_display_name(inner)), input, ctx);
  }
  return !inner_member;
}

bool walk_reference(uint64_t definition, WalkInput input, const WalkContext& ctx) {
  RecursionGuard& guard = *ctx.shared->guard;
  const uint64_t identity = input.identity();
  if (guard.holds(identity, definition)) {
    push_violation(errors::code::kRecursionLoop, "a finite (non-cyclic) value", input, ctx);
    return false;
  }
  if (guard.full()) {
    push_violation(errors::code::kRecursionLimit,
                   "at most " + std::to_string(kMaxRecursionEntries) + " levels of recursion", input, ctx);
    return false;
  }
  if (definition >= ctx.shared->definitions.size()) return false;
  guard.push(identity, definition);
  const bool member = walk_node(ctx.shared->definitions[definition], input, ctx);
  guard.pop();
  return member;
}

}  // namespace tessolin::check

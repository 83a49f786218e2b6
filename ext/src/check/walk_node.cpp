#include "check/walk_node.hpp"

#include <string>

#include "check/json/json_walks.hpp"
#include "check/recording.hpp"
#include "check/walk/walks.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {

// Restores the depth counter on every way out of the dispatch.
class DepthLevel {
 public:
  explicit DepthLevel(uint64_t* depth) noexcept : depth_(depth) { ++*depth_; }
  ~DepthLevel() { --*depth_; }
  DepthLevel(const DepthLevel&) = delete;
  DepthLevel& operator=(const DepthLevel&) = delete;

 private:
  uint64_t* depth_;
};

bool type_failure(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
  if (ctx.collecting()) push_type_violation(node, input, ctx);
  return false;
}

bool dispatch(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
  const bool json = input.is_json();
  using K = ir::NodeKind;
  switch (node.kind()) {
    case K::Anything: return true;
    case K::Nothing:
    case K::None:
    case K::Bool:
    case K::Int:
    case K::Float:
    case K::Str:
    case K::Bytes: return leaf_matches(node.tag(), input) || type_failure(node, input, ctx);
    case K::Literal:
      return json ? check_json_literal(node.number(), input, ctx) : check_literal(node.number(), input, ctx);
    case K::Sequence:
      return json ? walk_json_sequence(node.sequence_kind(), node.prefix(), node.tail(), input, ctx)
                  : walk_sequence(node.sequence_kind(), node.prefix(), node.tail(), input, ctx);
    // A JSON value is never a set: the set walk refuses it.
    case K::Collection: return walk_set(node.collection_kind(), *node.element(), input, ctx);
    case K::Record: return json ? walk_json_record(node, input, ctx) : walk_record(node, input, ctx);
    case K::Union: return json ? walk_json_union(node.members(), input, ctx) : walk_union(node.members(), input, ctx);
    // These only walk their children.
    case K::Intersection: return walk_intersection(node.members(), input, ctx);
    case K::Complement: return walk_complement(*node.inner(), input, ctx);
    case K::Reference: return walk_reference(node.number(), input, ctx);
    case K::Instance:
      return json ? check_json_instance(node.number(), input, ctx) : check_instance(node.number(), input, ctx);
    // Attributes are read from the object (a JSON value's, converted).
    case K::Object: return walk_object(node.attributes(), input, ctx);
    case K::Refinement:
      return json ? walk_json_refinement(*node.base(), node.constraints(), input, ctx)
                  : walk_refinement(*node.base(), node.constraints(), input, ctx);
    case K::Placeholder:
      push_violation(errors::code::kUnresolvedRecursion, "a resolved recursive value", input, ctx);
      return false;
  }
  return false;
}

}  // namespace

bool walk_node(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
  const WalkShared& shared = *ctx.shared;
  if (shared.aborted()) return false;
  if (*shared.depth + 1 > kMaxWalkDepth) {
    push_violation(errors::code::kRecursionLimit, "at most " + std::to_string(kMaxWalkDepth) + " levels of nesting",
                   input, ctx);
    return false;
  }
  DepthLevel level(shared.depth);
  return dispatch(node, input, ctx);
}

}  // namespace tessolin::check

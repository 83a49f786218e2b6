#include "check/walk_node.hpp"

#include <string>

#include "check/json_input.hpp"
#include "check/recording.hpp"
#include "check/walk/walks.hpp"

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

bool dispatch_object(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
    PyObject* obj = input.py();
    using K = ir::NodeKind;
    switch (node.kind()) {
        case K::Anything: return true;
        case K::Nothing:
        case K::None:
        case K::Bool:
        case K::Int:
        case K::Float:
        case K::Str:
        case K::Bytes:
            return scalar_matches(node.tag(), obj) || type_failure(node, input, ctx);
        case K::Literal: return check_literal(node.number(), input, ctx);
        case K::Sequence: return walk_sequence(node.sequence_kind(), node.prefix(), node.tail(), input, ctx);
        case K::Collection: return walk_set(node.collection_kind(), *node.element(), input, ctx);
        case K::Record: return walk_record(node, input, ctx);
        case K::Union: return walk_union(node.members(), input, ctx);
        case K::Intersection: return walk_intersection(node.members(), input, ctx);
        case K::Complement: return walk_complement(*node.inner(), input, ctx);
        case K::Instance: return check_instance(node.number(), input, ctx);
        case K::Object: return walk_object(node.attributes(), input, ctx);
        case K::Refinement: return walk_refinement(*node.base(), node.constraints(), input, ctx);
        case K::Reference: return walk_reference(node.number(), input, ctx);
        case K::Placeholder:
            push_violation("unresolved_recursion", "a resolved recursive value", input, ctx);
            return false;
    }
    return false;
}

}  // namespace

bool walk_node(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
    const WalkShared& shared = *ctx.shared;
    if (shared.aborted()) return false;
    if (*shared.depth + 1 > kMaxWalkDepth) {
        push_violation("recursion_limit", "at most " + std::to_string(kMaxWalkDepth) + " levels of nesting", input,
                       ctx);
        return false;
    }
    DepthLevel level(shared.depth);
    if (input.is_object()) return dispatch_object(node, input, ctx);
    return walk_json_node(node, input, ctx);
}

}  // namespace tessolin::check

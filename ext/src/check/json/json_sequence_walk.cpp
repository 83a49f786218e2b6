// JSON arrays against list schemas. A JSON array is a list, never a tuple
// or a set; it cannot change while it is checked, so no size is compared.
#include <string>

#include "check/json/json_walks.hpp"
#include "check/recording.hpp"
#include "check/walk_node.hpp"

namespace tessolin::check {

namespace {

void push_list_length_violation(size_t prefix_count, bool has_tail, WalkInput input, const WalkContext& ctx) {
    if (!ctx.collecting()) return;
    std::string expected = has_tail ? "list of length at least " : "list of length ";
    expected += std::to_string(prefix_count);
    push_violation("list_length", std::move(expected), input, ctx);
}

}  // namespace

bool walk_json_sequence(ir::SequenceKind kind, const ir::NodeList& prefix, const ir::NodeRef& tail,
                        WalkInput input, const WalkContext& ctx) {
    const json::JsonValue& value = *input.json_value();
    if (kind == ir::SequenceKind::Tuple) {
        push_violation("tuple_type", "tuple", input, ctx);
        return false;
    }
    if (value.kind() != json::JsonKind::Array) {
        push_violation("list_type", "list", input, ctx);
        return false;
    }
    const auto items = value.items();
    const bool has_tail = static_cast<bool>(tail);
    if (has_tail ? items.size() < prefix.size() : items.size() != prefix.size()) {
        push_list_length_violation(prefix.size(), has_tail, input, ctx);
        return false;
    }
    if (ctx.mode == WalkMode::Membership && prefix.empty() && has_tail && tail->tag() <= 7 &&
        *ctx.shared->depth < kMaxWalkDepth) {
        const uint8_t tag = tail->tag();
        for (const json::JsonValue& item : items) {
            if (!json_scalar_matches(tag, item)) return false;
        }
        return true;
    }
    bool all = true;
    for (size_t i = 0; i < items.size(); ++i) {
        // The length rule holds, so every position has a schema.
        const ir::SchemaNode& schema = i < prefix.size() ? prefix[i] : *tail;
        bool ok;
        {
            PathStep step(ctx, py::PathSegment::index(i));
            ok = walk_node(schema, WalkInput::json(&items[i]), ctx);
        }
        if (!ok) {
            all = false;
            if (ctx.mode != WalkMode::CollectAll) return false;
        }
    }
    return all;
}

bool walk_json_set(ir::CollectionKind kind, WalkInput input, const WalkContext& ctx) {
    if (kind == ir::CollectionKind::Set) {
        push_violation("set_type", "set", input, ctx);
    } else {
        push_violation("frozen_set_type", "frozenset", input, ctx);
    }
    return false;
}

}  // namespace tessolin::check

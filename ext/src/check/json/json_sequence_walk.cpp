// JSON arrays against list schemas (membership only, json_walks.hpp). A
// JSON array is a list, never a tuple or a set; it cannot change while it
// is checked, so no size is compared.
#include <cassert>

#include "check/json/json_walks.hpp"
#include "check/walk_node.hpp"

namespace tessolin::check {

bool walk_json_sequence(ir::SequenceKind kind, const ir::NodeList& prefix, const ir::NodeRef& tail, WalkInput input,
                        const WalkContext& ctx) {
  assert(ctx.mode == WalkMode::Membership);
  const json::JsonValue& value = *input.json_value();
  if (kind == ir::SequenceKind::Tuple || value.kind() != json::JsonKind::Array) return false;
  const auto items = value.items();
  const bool has_tail = static_cast<bool>(tail);
  if (has_tail ? items.size() < prefix.size() : items.size() != prefix.size()) return false;
  if (prefix.empty() && has_tail && ir::is_plain_kind(tail->kind()) && *ctx.shared->depth < kMaxWalkDepth) {
    const uint8_t tag = tail->tag();
    for (const json::JsonValue& item : items) {
      if (!json_scalar_matches(tag, item)) return false;
    }
    return true;
  }
  for (size_t i = 0; i < items.size(); ++i) {
    // The length rule holds, so every position has a schema.
    const ir::SchemaNode& schema = i < prefix.size() ? prefix[i] : *tail;
    if (!walk_node(schema, WalkInput::json(&items[i]), ctx)) return false;
  }
  return true;
}

}  // namespace tessolin::check

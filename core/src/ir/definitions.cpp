#include "ir/definitions.hpp"

#include <algorithm>
#include <atomic>

#include "ir/node_walk.hpp"
#include "ir/rebuild.hpp"
#include "ir/thread_state.hpp"

namespace tessolin::ir {

namespace {

std::atomic<uint64_t> g_next_placeholder_id{0};

class PlaceholderResolver {
 public:
  PlaceholderResolver(uint64_t id, uint64_t n) : id_(id), n_(n) {}

  SchemaNode run(const SchemaNode& node) {
    RewriteDepthGuard guard(depth_);
    if (node.is(NodeKind::Placeholder) && node.number() == id_) return SchemaNode::reference(n_);
    auto child = [this](const SchemaNode& c) -> std::optional<SchemaNode> { return run(c); };
    return *rebuild_children(node, child, RebuildMode::Always);
  }

 private:
  uint64_t id_;
  uint64_t n_;
  uint32_t depth_ = 0;
};

bool is_structural(NodeKind k) noexcept {
  return k == NodeKind::Sequence || k == NodeKind::Collection || k == NodeKind::Record || k == NodeKind::Object;
}

}  // namespace

uint64_t new_placeholder_id() noexcept { return g_next_placeholder_id.fetch_add(1, std::memory_order_relaxed); }

void push_placeholder(uint64_t id) {
  detail::IrThreadState& st = detail::ir_thread_state();
  detail::BusyFlag busy(st.placeholders_busy);
  st.live_placeholders.push_back(id);
}

void pop_placeholder() {
  detail::IrThreadState& st = detail::ir_thread_state();
  detail::BusyFlag busy(st.placeholders_busy);
  if (!st.live_placeholders.empty()) st.live_placeholders.pop_back();
}

bool placeholder_is_live(uint64_t id) {
  detail::IrThreadState& st = detail::ir_thread_state();
  detail::BusyFlag busy(st.placeholders_busy);
  const auto& v = st.live_placeholders;
  return std::find(v.begin(), v.end(), id) != v.end();
}

SchemaNode resolve_placeholder(const SchemaNode& node, uint64_t id, uint64_t n) {
  PlaceholderResolver r(id, n);
  return r.run(node);
}

bool find_unguarded_reference(const SchemaNode& body, uint64_t n, DefinitionsView definitions) {
  // An unguarded route from body to Reference(n) exists exactly when n is
  // reachable along unguarded edges; entering each definition once over the
  // whole walk therefore gives the same answer as a per-path search, in
  // linear time instead of one visit per path.
  struct Item {
    const SchemaNode* node;
    bool guarded;
  };
  std::vector<Item> stack{{&body, false}};
  std::vector<bool> entered(definitions.size(), false);
  std::vector<const SchemaNode*> children;
  while (!stack.empty()) {
    Item it = stack.back();
    stack.pop_back();
    const SchemaNode& node = *it.node;
    if (node.is(NodeKind::Reference)) {
      if (it.guarded) continue;
      uint64_t m = node.number();
      if (m == n) return true;
      if (m >= definitions.size() || entered[m]) continue;
      entered[m] = true;
      stack.push_back({&definitions[m], false});
      continue;
    }
    bool guarded = it.guarded || is_structural(node.kind());
    children.clear();
    push_children(node, children);
    for (size_t i = children.size(); i > 0; --i) stack.push_back({children[i - 1], guarded});
  }
  return false;
}

bool find_unresolved_placeholder(const SchemaNode& node) {
  std::vector<const SchemaNode*> stack{&node};
  while (!stack.empty()) {
    const SchemaNode* n = stack.back();
    stack.pop_back();
    if (n->is(NodeKind::Placeholder)) {
      if (!placeholder_is_live(n->number())) return true;
      continue;
    }
    push_children(*n, stack);
  }
  return false;
}

}  // namespace tessolin::ir

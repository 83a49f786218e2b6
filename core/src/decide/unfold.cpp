#include "decide/unfold.hpp"

#include <optional>
#include <vector>

#include "ir/intern.hpp"
#include "ir/node_walk.hpp"
#include "ir/rebuild.hpp"

namespace tessolin::decide {

using ir::NodeKind;
using ir::SchemaNode;

bool has_recursion(const SchemaNode& node) {
  std::vector<const SchemaNode*> stack{&node};
  while (!stack.empty()) {
    const SchemaNode* n = stack.back();
    stack.pop_back();
    if (n->is(NodeKind::Reference) || n->is(NodeKind::Placeholder)) return true;
    ir::push_children(*n, stack);
  }
  return false;
}

namespace {

UnfoldPolarity flipped(UnfoldPolarity p) noexcept {
  return p == UnfoldPolarity::Superset ? UnfoldPolarity::Subset : UnfoldPolarity::Superset;
}

class Unfolder {
 public:
  explicit Unfolder(ir::DefinitionsView definitions) : defs_(definitions) {}

  // Nothing when the node comes back unchanged.
  std::optional<SchemaNode> unfold(const SchemaNode& start, int32_t count, UnfoldPolarity polarity) {
    ir::RewriteDepthGuard guard(depth_);
    const SchemaNode* node = &start;
    while (node->is(NodeKind::Reference)) {
      const uint64_t m = node->number();
      if (count <= 0 || m >= defs_.size()) return approximation(polarity);
      --count;
      node = &defs_[m];
    }
    if (node->is(NodeKind::Placeholder)) return approximation(polarity);
    if (node->is(NodeKind::Complement)) {
      std::optional<SchemaNode> inner = unfold(*node->inner(), count, flipped(polarity));
      if (!inner) return copy_if_moved(start, *node);
      // Written directly: no double negation or top/bottom folding.
      return SchemaNode::complement_of(ir::intern_node(std::move(*inner)));
    }
    auto child = [&](const SchemaNode& c) { return unfold(c, count, polarity); };
    std::optional<SchemaNode> rebuilt = ir::rebuild_children(*node, child);
    if (rebuilt) return rebuilt;
    return copy_if_moved(start, *node);
  }

 private:
  static SchemaNode approximation(UnfoldPolarity p) {
    return p == UnfoldPolarity::Superset ? SchemaNode::anything() : SchemaNode::nothing();
  }
  // A definition reached through references replaces the reference even
  // when nothing inside it changed.
  static std::optional<SchemaNode> copy_if_moved(const SchemaNode& start, const SchemaNode& node) {
    if (&start == &node) return std::nullopt;
    return node;
  }

  ir::DefinitionsView defs_;
  uint32_t depth_ = 0;
};

}  // namespace

SchemaNode unfold_recursion(const SchemaNode& node, ir::DefinitionsView definitions, int32_t count,
                            UnfoldPolarity polarity) {
  Unfolder unfolder(definitions);
  std::optional<SchemaNode> r = unfolder.unfold(node, count, polarity);
  return r ? std::move(*r) : node;
}

}  // namespace tessolin::decide

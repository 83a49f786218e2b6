#include "ir/renumber.hpp"

#include <unordered_map>

#include "ir/rebuild.hpp"

namespace tessolin::ir {

namespace {

class ReferenceRenumberer {
 public:
  explicit ReferenceRenumberer(std::span<const ReferenceRenumbering> table) : table_(table) {}

  SchemaNode run(const SchemaNode& node) {
    RewriteDepthGuard guard(depth_);
    if (node.is(NodeKind::Reference)) {
      uint64_t m = node.number();
      if (m < table_.size() && table_[m].kept) return SchemaNode::reference(table_[m].new_number);
      return node;
    }
    // Shared children live at one address for the whole walk: each is
    // rewritten once, so a DAG costs its size, not the tree it spans.
    if (auto found = memo_.find(&node); found != memo_.end()) return found->second;
    auto child = [this](const SchemaNode& c) -> std::optional<SchemaNode> { return run(c); };
    SchemaNode out = *rebuild_children(node, child, RebuildMode::Always);
    memo_.emplace(&node, out);
    return out;
  }

 private:
  std::span<const ReferenceRenumbering> table_;
  uint32_t depth_ = 0;
  std::unordered_map<const SchemaNode*, SchemaNode> memo_;
};

class IndexRenumberer {
 public:
  explicit IndexRenumberer(const IndexRenumbering& p) : p_(p) {}

  std::optional<uint64_t> map_index(uint64_t i) const noexcept {
    if (i >= p_.index_table.size() || p_.index_table[i] == i) return std::nullopt;
    return p_.index_table[i];
  }

  std::optional<SchemaNode> run(const SchemaNode& node) {
    RewriteDepthGuard guard(depth_);
    switch (node.kind()) {
      case NodeKind::Literal:
      case NodeKind::Instance: {
        std::optional<uint64_t> j = map_index(node.number());
        if (!j) return std::nullopt;
        return node.is(NodeKind::Literal) ? SchemaNode::literal(*j) : SchemaNode::instance(*j);
      }
      case NodeKind::Reference:
        if (p_.reference_offset == 0) return std::nullopt;
        return SchemaNode::reference(node.number() + p_.reference_offset);
      default: break;
    }
    if (auto found = memo_.find(&node); found != memo_.end()) return found->second;
    auto child = [this](const SchemaNode& c) { return run(c); };
    auto constraint = [this](const Constraint& c) -> std::optional<Constraint> {
      if (!c.holds_pool_index()) return std::nullopt;
      std::optional<uint64_t> j = map_index(c.word());
      if (!j) return std::nullopt;
      return c.with_word(*j);
    };
    std::optional<SchemaNode> out = rebuild_children(node, child, constraint, RebuildMode::CopyOnWrite);
    memo_.emplace(&node, out);
    return out;
  }

 private:
  const IndexRenumbering& p_;
  uint32_t depth_ = 0;
  // As in ReferenceRenumberer: one rewrite per shared node.
  std::unordered_map<const SchemaNode*, std::optional<SchemaNode>> memo_;
};

}  // namespace

SchemaNode renumber_references(const SchemaNode& node, std::span<const ReferenceRenumbering> table) {
  ReferenceRenumberer r(table);
  return r.run(node);
}

std::optional<SchemaNode> renumber_indices(const SchemaNode& node, const IndexRenumbering& params) {
  IndexRenumberer r(params);
  return r.run(node);
}

}  // namespace tessolin::ir

#include "ir/renumber.hpp"

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
    auto child = [this](const SchemaNode& c) -> std::optional<SchemaNode> { return run(c); };
    return *rebuild_children(node, child, RebuildMode::Always);
  }

 private:
  std::span<const ReferenceRenumbering> table_;
  uint32_t depth_ = 0;
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
      default:
        break;
    }
    auto child = [this](const SchemaNode& c) { return run(c); };
    auto constraint = [this](const Constraint& c) -> std::optional<Constraint> {
      if (!c.holds_pool_index()) return std::nullopt;
      std::optional<uint64_t> j = map_index(c.word());
      if (!j) return std::nullopt;
      return c.with_word(*j);
    };
    return rebuild_children(node, child, constraint, RebuildMode::CopyOnWrite);
  }

 private:
  const IndexRenumbering& p_;
  uint32_t depth_ = 0;
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

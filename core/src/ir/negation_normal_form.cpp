#include "ir/negation_normal_form.hpp"

#include <utility>

#include "ir/constructors.hpp"
#include "ir/intern.hpp"
#include "ir/node_order.hpp"
#include "ir/oracle.hpp"
#include "ir/rebuild.hpp"
#include "ir/scratch_pool.hpp"
#include "ir/value_kinds.hpp"

namespace tessolin::ir {

namespace {

bool any_pair_disjoint(const std::vector<const SchemaNode*>& nodes) {
  for (size_t i = 0; i < nodes.size(); ++i) {
    for (size_t j = i + 1; j < nodes.size(); ++j) {
      if (nodes_disjoint(*nodes[i], *nodes[j], no_oracle())) return true;
    }
  }
  return false;
}

class NormalForm {
 public:
  SchemaNode operator()(const SchemaNode& node) {
    RewriteDepthGuard guard(depth_);
    switch (node.kind()) {
      case NodeKind::Union: return splice(node, NodeKind::Union);
      case NodeKind::Intersection: return splice(node, NodeKind::Intersection);
      case NodeKind::Complement: return nnf_complement((*this)(*node.inner()));
      case NodeKind::Refinement: return merge_refinements(node);
      case NodeKind::Sequence:
      case NodeKind::Collection:
      case NodeKind::Record:
      case NodeKind::Object: {
        auto child = [this](const SchemaNode& n) -> std::optional<SchemaNode> { return (*this)(n); };
        std::optional<SchemaNode> r = rebuild_children(node, child, RebuildMode::Always);
        return r ? std::move(*r) : node;
      }
      default: return node;
    }
  }

 private:
  SchemaNode splice(const SchemaNode& node, NodeKind same) {
    const bool join = same == NodeKind::Union;
    ScratchNodes out;
    for (const SchemaNode& m : node.members()) {
      SchemaNode n = (*this)(m);
      if (n.is(join ? NodeKind::Anything : NodeKind::Nothing)) return n;
      if (n.is(join ? NodeKind::Nothing : NodeKind::Anything)) continue;
      if (n.is(same)) {
        for (const SchemaNode& inner : n.members()) out->push_back(inner);
      } else {
        out->push_back(std::move(n));
      }
    }
    return join ? nnf_join(*out) : nnf_meet(*out);
  }

  SchemaNode merge_refinements(const SchemaNode& node) {
    SchemaNode base = (*this)(*node.base());
    std::vector<Constraint> constraints(node.constraints().begin(), node.constraints().end());
    while (base.is(NodeKind::Refinement)) {
      constraints.insert(constraints.end(), base.constraints().begin(), base.constraints().end());
      SchemaNode inner = *base.base();
      base = std::move(inner);
    }
    if (constraints.empty()) return base;
    sort_constraints(constraints);
    dedupe_sorted_constraints(constraints);
    return SchemaNode::refinement(intern_node(std::move(base)), ConstraintList::from_vector(std::move(constraints)));
  }

  uint32_t depth_ = 0;
};

}  // namespace

SchemaNode nnf_join(std::vector<SchemaNode>& members) {
  if (members.size() >= 2) sort_and_dedupe_members(members);
  if (!members.empty()) {
    KindMask mask = 0;
    for (const SchemaNode& m : members) {
      KindMaskResult r = kind_mask(m);
      if (!r.unknown) mask |= r.mask;
    }
    if (has_complementary_pair(members, no_oracle(), {})) return SchemaNode::anything();
    // The complements of two disjoint sets together cover every value.
    std::vector<const SchemaNode*> inners;
    for (const SchemaNode& m : members) {
      if (m.is(NodeKind::Complement)) inners.push_back(m.inner().get());
    }
    if (any_pair_disjoint(inners)) return SchemaNode::anything();
    if (mask == kAllKinds) return SchemaNode::anything();
  }
  if (members.empty()) return SchemaNode::nothing();
  if (members.size() == 1) return std::move(members.front());
  NodeList list = intern_node_list(members);
  members.clear();
  return SchemaNode::union_of(std::move(list));
}

SchemaNode nnf_meet(std::vector<SchemaNode>& members) {
  if (members.size() >= 2) sort_and_dedupe_members(members);
  if (members.empty()) return SchemaNode::anything();
  KindMask mask = kAllKinds;
  for (const SchemaNode& m : members) {
    KindMaskResult r = kind_mask(m);
    if (!r.unknown) mask &= r.mask;
  }
  if (has_complementary_pair(members, no_oracle(), {})) return SchemaNode::nothing();
  std::vector<const SchemaNode*> all;
  all.reserve(members.size());
  for (const SchemaNode& m : members) all.push_back(&m);
  if (any_pair_disjoint(all)) return SchemaNode::nothing();
  if (mask == 0) return SchemaNode::nothing();
  if (members.size() == 1) return std::move(members.front());
  NodeList list = intern_node_list(members);
  members.clear();
  return SchemaNode::intersection_of(std::move(list));
}

namespace {

SchemaNode complement_in_normal_form(const SchemaNode& node, uint32_t& depth) {
  RewriteDepthGuard guard(depth);
  switch (node.kind()) {
    case NodeKind::Anything: return SchemaNode::nothing();
    case NodeKind::Nothing: return SchemaNode::anything();
    case NodeKind::Complement: return *node.inner();
    case NodeKind::Union:
    case NodeKind::Intersection: {
      // De Morgan: the complement of a join is the meet of the complements.
      const bool from_join = node.is(NodeKind::Union);
      ScratchNodes out;
      for (const SchemaNode& m : node.members()) {
        SchemaNode n = complement_in_normal_form(m, depth);
        if (n.is(from_join ? NodeKind::Nothing : NodeKind::Anything)) return n;
        if (n.is(from_join ? NodeKind::Anything : NodeKind::Nothing)) continue;
        if (n.is(from_join ? NodeKind::Intersection : NodeKind::Union)) {
          for (const SchemaNode& inner : n.members()) out->push_back(inner);
        } else {
          out->push_back(std::move(n));
        }
      }
      return from_join ? nnf_meet(*out) : nnf_join(*out);
    }
    default: return SchemaNode::complement_of(intern_node(node));
  }
}

}  // namespace

SchemaNode nnf_complement(const SchemaNode& node) {
  uint32_t depth = 0;
  return complement_in_normal_form(node, depth);
}

SchemaNode negation_normal_form(const SchemaNode& node) {
  NormalForm nf;
  return nf(node);
}

}  // namespace tessolin::ir

// The one per-kind rebuild every rewrite of the IR shares.
//
// A rewrite supplies what happens to each child; rebuild_children puts the
// node back together with its own kind and flag: prefix, field and clause
// lists re-interned in their order, union and intersection members re-sorted
// and deduplicated (a single survivor stays a one-member union), complements
// and refinements written directly. No smart-constructor folding happens, so
// readers must tolerate what comes out (a one-member union, unsorted
// clauses, constraints out of order after renumbering).
//
// Copy-on-write: a child function answers std::nullopt for "unchanged";
// unchanged children keep their handles, lists are copied only from their
// first changed element, and a node none of whose parts changed answers
// std::nullopt. RebuildMode::Always instead treats every child as changed
// and answers a rebuilt node for every node (leaves as copies).
//
// Recursion happens through the child function; wrap each level in a
// RewriteDepthGuard so that a pathological depth becomes InternalError
// instead of a native stack overflow.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "ir/intern.hpp"
#include "ir/internal_error.hpp"
#include "ir/limits.hpp"
#include "ir/node.hpp"
#include "ir/node_order.hpp"
#include "ir/scratch_pool.hpp"

namespace tessolin::ir {

enum class RebuildMode : uint8_t { CopyOnWrite, Always };

// Counts nesting of a recursive rewrite; throws past kMaxRewriteDepth.
class RewriteDepthGuard {
 public:
  explicit RewriteDepthGuard(uint32_t& depth) : depth_(depth) {
    if (++depth_ > kMaxRewriteDepth) {
      --depth_;
      throw InternalError("schema nested too deeply to rewrite");
    }
  }
  ~RewriteDepthGuard() { --depth_; }
  RewriteDepthGuard(const RewriteDepthGuard&) = delete;
  RewriteDepthGuard& operator=(const RewriteDepthGuard&) = delete;

 private:
  uint32_t& depth_;
};

// Constraint function that changes nothing.
struct KeepConstraints {
  std::optional<Constraint> operator()(const Constraint&) const { return std::nullopt; }
};

// Sorts, deduplicates and interns rebuilt union or intersection members.
NodeList finish_member_list(std::vector<SchemaNode>& members);

namespace detail {

template <class ChildFn>
std::optional<SchemaNode> rewrite_one(const SchemaNode& n, ChildFn& child, bool always) {
  std::optional<SchemaNode> r = child(n);
  if (!r && always) r.emplace(n);
  return r;
}

// Copy-on-write map of a node run into `out`: nothing written until the
// first change, then every element (new or copied). True when any changed.
template <class ChildFn>
bool map_node_run(std::span<const SchemaNode> items, ChildFn& child, std::vector<SchemaNode>& out, bool always) {
  bool changed = false;
  for (size_t i = 0; i < items.size(); ++i) {
    std::optional<SchemaNode> r = rewrite_one(items[i], child, always);
    if (r) {
      if (!changed) {
        changed = true;
        out.reserve(items.size());
        for (size_t j = 0; j < i; ++j) out.push_back(items[j]);
      }
      out.push_back(std::move(*r));
    } else if (changed) {
      out.push_back(items[i]);
    }
  }
  return changed;
}

// The same over fields: schema rewritten, name and required kept. The new
// list is interned in input order; nullopt when nothing changed.
template <class ChildFn>
std::optional<FieldList> map_field_list(const FieldList& fields, ChildFn& child, bool always) {
  ScratchFields out;
  bool changed = false;
  for (size_t i = 0; i < fields.size(); ++i) {
    const RecordField& f = fields[i];
    std::optional<SchemaNode> r = rewrite_one(f.schema, child, always);
    if (r) {
      if (!changed) {
        changed = true;
        for (size_t j = 0; j < i; ++j) out->push_back(fields[j]);
      }
      out->push_back(RecordField{std::move(*r), f.name, f.required});
    } else if (changed) {
      out->push_back(f);
    }
  }
  if (!changed) {
    if (!always) return std::nullopt;
    return fields;  // no field at all
  }
  FieldList list = intern_field_list(*out);
  out->clear();
  return list;
}

template <class ChildFn>
std::optional<ClauseList> map_clause_list(const ClauseList& clauses, ChildFn& child, bool always) {
  std::vector<CatchAll> out;
  bool changed = false;
  for (size_t i = 0; i < clauses.size(); ++i) {
    const CatchAll& c = clauses[i];
    std::optional<SchemaNode> k = rewrite_one(c.key, child, always);
    std::optional<SchemaNode> v = rewrite_one(c.value, child, always);
    if (k || v) {
      if (!changed) {
        changed = true;
        out.reserve(clauses.size());
        for (size_t j = 0; j < i; ++j) out.push_back(clauses[j]);
      }
      out.push_back(CatchAll{k ? std::move(*k) : c.key, v ? std::move(*v) : c.value});
    } else if (changed) {
      out.push_back(c);
    }
  }
  if (!changed) {
    if (!always) return std::nullopt;
    return clauses;
  }
  return intern_catch_all_list(out);
}

template <class ConstraintFn>
std::optional<ConstraintList> map_constraint_list(const ConstraintList& list, ConstraintFn& fn) {
  std::vector<Constraint> out;
  bool changed = false;
  for (size_t i = 0; i < list.size(); ++i) {
    std::optional<Constraint> r = fn(list[i]);
    if (r) {
      if (!changed) {
        changed = true;
        out.reserve(list.size());
        for (size_t j = 0; j < i; ++j) out.push_back(list[j]);
      }
      out.push_back(std::move(*r));
    } else if (changed) {
      out.push_back(list[i]);
    }
  }
  if (!changed) return std::nullopt;
  return ConstraintList::from_vector(std::move(out));
}

}  // namespace detail

// Rebuilds `node` from its rewritten children. `child(const SchemaNode&)`
// answers std::optional<SchemaNode>; `constraint(const Constraint&)` answers
// std::optional<Constraint> for a Refinement's items.
template <class ChildFn, class ConstraintFn>
std::optional<SchemaNode> rebuild_children(const SchemaNode& node, ChildFn&& child, ConstraintFn&& constraint,
                                           RebuildMode mode = RebuildMode::CopyOnWrite) {
  const bool always = mode == RebuildMode::Always;
  switch (node.kind()) {
    case NodeKind::Sequence: {
      ScratchNodes out;
      bool prefix_changed = detail::map_node_run(node.prefix().span(), child, *out, always);
      std::optional<SchemaNode> tail;
      if (node.tail()) tail = detail::rewrite_one(*node.tail(), child, always);
      if (!prefix_changed && !tail && !always) return std::nullopt;
      NodeList prefix = prefix_changed ? intern_node_list(*out) : node.prefix();
      out->clear();
      NodeRef tail_ref = tail ? intern_node(std::move(*tail)) : node.tail();
      return SchemaNode::sequence(node.sequence_kind(), std::move(prefix), std::move(tail_ref));
    }
    case NodeKind::Collection: {
      std::optional<SchemaNode> e = detail::rewrite_one(*node.element(), child, always);
      if (!e) return std::nullopt;
      return SchemaNode::collection(node.collection_kind(), intern_node(std::move(*e)));
    }
    case NodeKind::Complement: {
      std::optional<SchemaNode> e = detail::rewrite_one(*node.inner(), child, always);
      if (!e) return std::nullopt;
      return SchemaNode::complement_of(intern_node(std::move(*e)));
    }
    case NodeKind::Record: {
      std::optional<FieldList> fields = detail::map_field_list(node.fields(), child, always);
      std::optional<ClauseList> clauses = detail::map_clause_list(node.clauses(), child, always);
      if (!fields && !clauses && !always) return std::nullopt;
      return SchemaNode::record(fields ? std::move(*fields) : node.fields(),
                                clauses ? std::move(*clauses) : node.clauses());
    }
    case NodeKind::Object: {
      std::optional<FieldList> fields = detail::map_field_list(node.attributes(), child, always);
      if (!fields && !always) return std::nullopt;
      return SchemaNode::object(fields ? std::move(*fields) : node.attributes());
    }
    case NodeKind::Union:
    case NodeKind::Intersection: {
      ScratchNodes out;
      bool changed = detail::map_node_run(node.members().span(), child, *out, always);
      if (!changed) {
        if (!always) return std::nullopt;
        return node;  // a member list without members
      }
      NodeList members = finish_member_list(*out);
      return node.is(NodeKind::Union) ? SchemaNode::union_of(std::move(members))
                                      : SchemaNode::intersection_of(std::move(members));
    }
    case NodeKind::Refinement: {
      std::optional<SchemaNode> b = detail::rewrite_one(*node.base(), child, always);
      std::optional<ConstraintList> cs = detail::map_constraint_list(node.constraints(), constraint);
      if (!b && !cs && !always) return std::nullopt;
      NodeRef base = b ? intern_node(std::move(*b)) : node.base();
      return SchemaNode::refinement(std::move(base), cs ? std::move(*cs) : node.constraints());
    }
    default:
      if (always) return node;
      return std::nullopt;
  }
}

template <class ChildFn>
std::optional<SchemaNode> rebuild_children(const SchemaNode& node, ChildFn&& child,
                                           RebuildMode mode = RebuildMode::CopyOnWrite) {
  return rebuild_children(node, std::forward<ChildFn>(child), KeepConstraints{}, mode);
}

}  // namespace tessolin::ir

#include "ir/open_close.hpp"

#include <utility>

#include "ir/constructors.hpp"
#include "ir/intern.hpp"
#include "ir/node_order.hpp"
#include "ir/oracle.hpp"
#include "ir/rebuild.hpp"
#include "ir/scratch_pool.hpp"

namespace tessolin::ir {

namespace {

enum class Lattice : uint8_t { Join, Meet };

// Shared body of rewrite_join / rewrite_meet. `absorbing` ends the scan,
// `identity` is skipped, members of the same kind are spliced.
SchemaNode combine(std::span<const SchemaNode> nodes, Lattice op) {
  const NodeKind absorbing = op == Lattice::Join ? NodeKind::Anything : NodeKind::Nothing;
  const NodeKind identity = op == Lattice::Join ? NodeKind::Nothing : NodeKind::Anything;
  const NodeKind same = op == Lattice::Join ? NodeKind::Union : NodeKind::Intersection;
  ScratchNodes out;
  for (const SchemaNode& n : nodes) {
    if (n.is(absorbing)) return n;
    if (n.is(identity)) continue;
    if (n.is(same)) {
      for (const SchemaNode& m : n.members()) out->push_back(m);
    } else {
      out->push_back(n);
    }
  }
  if (out->size() >= 2) sort_and_dedupe_members(*out);
  if (has_complementary_pair(*out, no_oracle(), {})) {
    return op == Lattice::Join ? SchemaNode::anything() : SchemaNode::nothing();
  }
  if (out->empty()) return op == Lattice::Join ? SchemaNode::nothing() : SchemaNode::anything();
  if (out->size() == 1) return std::move(out->front());
  NodeList list = intern_node_list(*out);
  out->clear();
  return op == Lattice::Join ? SchemaNode::union_of(std::move(list)) : SchemaNode::intersection_of(std::move(list));
}

SchemaNode complement_of_other_keys(std::span<const CatchAll> clauses, size_t skip) {
  ScratchNodes keys;
  for (size_t j = 0; j < clauses.size(); ++j) {
    if (j != skip) keys->push_back(clauses[j].key);
  }
  return make_complement(rewrite_join(*keys));
}

bool clause_lists_equal(const ClauseList& a, const ClauseList& b) {
  if (a.same_as(b)) return true;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!node_eq(a[i].key, b[i].key) || !node_eq(a[i].value, b[i].value)) return false;
  }
  return true;
}

class OpennessRewrite {
 public:
  explicit OpennessRewrite(bool open) : open_(open) {}

  std::optional<SchemaNode> operator()(const SchemaNode& node) {
    RewriteDepthGuard guard(depth_);
    switch (node.kind()) {
      case NodeKind::Sequence:
      case NodeKind::Collection:
      case NodeKind::Object:
      case NodeKind::Refinement: return rebuild_children(node, *this);
      case NodeKind::Record: return rewrite_record(node);
      case NodeKind::Union:
      case NodeKind::Intersection: return rewrite_members(node);
      case NodeKind::Complement: {
        std::optional<SchemaNode> inner = (*this)(*node.inner());
        if (!inner) return std::nullopt;
        return make_complement(std::move(*inner));
      }
      default: return std::nullopt;
    }
  }

 private:
  std::optional<SchemaNode> rewrite_members(const SchemaNode& node) {
    ScratchNodes out;
    const NodeList& members = node.members();
    bool changed = false;
    for (size_t i = 0; i < members.size(); ++i) {
      std::optional<SchemaNode> r = (*this)(members[i]);
      if (r) {
        if (!changed) {
          changed = true;
          for (size_t j = 0; j < i; ++j) out->push_back(members[j]);
        }
        out->push_back(std::move(*r));
      } else if (changed) {
        out->push_back(members[i]);
      }
    }
    if (!changed) return std::nullopt;
    return node.is(NodeKind::Union) ? rewrite_join(*out) : rewrite_meet(*out);
  }

  ClauseList rewritten_clauses(const ClauseList& clauses) const {
    if (clauses.empty()) return open_ ? top_catch_all_list() : empty_catch_all_list();
    std::vector<CatchAll> kept;
    kept.reserve(clauses.size() + 1);
    for (size_t i = 0; i < clauses.size(); ++i) {
      if (!is_rest_clause(clauses.span(), i)) kept.push_back(clauses[i]);
    }
    if (open_) {
      ScratchNodes keys;
      for (const CatchAll& c : kept) keys->push_back(c.key);
      SchemaNode rest = make_complement(rewrite_join(*keys));
      if (!rest.is(NodeKind::Nothing)) kept.push_back(CatchAll{std::move(rest), SchemaNode::anything()});
      merge_clauses_by_value(kept);
    }
    return intern_catch_all_list(kept);
  }

  std::optional<SchemaNode> rewrite_record(const SchemaNode& node) {
    ClauseList clauses = rewritten_clauses(node.clauses());
    std::optional<FieldList> fields = detail::map_field_list(node.fields(), *this, false);
    // Redundancy is judged against the clause list the record ends up with:
    // dropping such a field never changes what the rewritten record admits.
    bool any_redundant = false;
    for (const RecordField& f : node.fields()) {
      if (field_is_redundant(f, clauses.span())) {
        any_redundant = true;
        break;
      }
    }
    if (!any_redundant && !fields && clause_lists_equal(clauses, node.clauses())) return std::nullopt;
    FieldList kept = fields ? std::move(*fields) : node.fields();
    if (any_redundant) {
      ScratchFields out;
      for (const RecordField& f : kept) {
        if (!field_is_redundant(f, clauses.span())) out->push_back(f);
      }
      sort_fields_by_name(*out);
      kept = intern_field_list(*out);
      out->clear();
    }
    return SchemaNode::record(std::move(kept), std::move(clauses));
  }

  bool open_;
  uint32_t depth_ = 0;
};

}  // namespace

SchemaNode rewrite_join(std::span<const SchemaNode> nodes) { return combine(nodes, Lattice::Join); }

SchemaNode rewrite_meet(std::span<const SchemaNode> nodes) { return combine(nodes, Lattice::Meet); }

bool is_rest_clause(std::span<const CatchAll> clauses, size_t index) {
  const CatchAll& c = clauses[index];
  if (!c.value.is(NodeKind::Anything)) return false;
  return node_eq(c.key, complement_of_other_keys(clauses, index));
}

void merge_clauses_by_value(std::vector<CatchAll>& clauses) {
  std::vector<CatchAll> merged;
  merged.reserve(clauses.size());
  for (CatchAll& c : clauses) {
    CatchAll* same = nullptr;
    for (CatchAll& m : merged) {
      if (node_eq(m.value, c.value)) {
        same = &m;
        break;
      }
    }
    if (same) {
      SchemaNode pair[2] = {std::move(same->key), std::move(c.key)};
      same->key = rewrite_join(pair);
    } else {
      merged.push_back(std::move(c));
    }
  }
  clauses = std::move(merged);
}

bool field_is_redundant(const RecordField& field, std::span<const CatchAll> clauses) {
  if (field.required) return false;
  if (clauses.empty()) return field.schema.is(NodeKind::Nothing);
  if (clauses.size() != 1) return false;
  return clauses[0].key.is(NodeKind::Anything) && clauses[0].value.is(NodeKind::Anything) &&
         field.schema.is(NodeKind::Anything);
}

std::optional<SchemaNode> rewrite_record_openness(const SchemaNode& node, bool open) {
  OpennessRewrite rewrite(open);
  return rewrite(node);
}

SchemaNode set_records_open(const SchemaNode& node, bool open) {
  std::optional<SchemaNode> r = rewrite_record_openness(node, open);
  return r ? std::move(*r) : node;
}

}  // namespace tessolin::ir

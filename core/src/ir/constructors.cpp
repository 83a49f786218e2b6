#include "ir/constructors.hpp"

#include <algorithm>

#include "ir/intern.hpp"
#include "ir/node_order.hpp"
#include "ir/node_walk.hpp"
#include "ir/scratch_pool.hpp"

namespace tessolin::ir {

namespace {

bool has_predicate(const SchemaNode& refinement) noexcept {
  for (const Constraint& c : refinement.constraints())
    if (c.kind() == ConstraintKind::Predicate) return true;
  return false;
}

// Closedness walk over an explicit stack; each definition entered once.
class ClosednessWalk {
 public:
  ClosednessWalk(Oracle& hooks, DefinitionsView definitions) : hooks_(hooks), defs_(definitions) {}

  bool closed(const SchemaNode& root) {
    stack_.clear();
    stack_.push_back(&root);
    while (!stack_.empty()) {
      const SchemaNode* n = stack_.back();
      stack_.pop_back();
      switch (n->kind()) {
        case NodeKind::Instance:
          if (hooks_.class_hooks_standard(*n) != OracleAnswer::Yes) return false;
          continue;
        case NodeKind::Placeholder: return false;
        case NodeKind::Refinement:
          if (has_predicate(*n)) return false;
          break;
        case NodeKind::Reference: {
          uint64_t m = n->number();
          if (m >= defs_.size()) return false;
          if (std::find(entered_.begin(), entered_.end(), m) == entered_.end()) {
            entered_.push_back(m);
            stack_.push_back(&defs_[m]);
          }
          continue;
        }
        default: break;
      }
      push_children(*n, stack_);
    }
    return true;
  }

 private:
  Oracle& hooks_;
  DefinitionsView defs_;
  std::vector<const SchemaNode*> stack_;
  std::vector<uint64_t> entered_;
};

}  // namespace

bool node_is_closed(const SchemaNode& node, Oracle& class_hooks, DefinitionsView definitions) {
  ClosednessWalk walk(class_hooks, definitions);
  return walk.closed(node);
}

bool has_complementary_pair(std::span<const SchemaNode> members, Oracle& class_hooks, DefinitionsView definitions) {
  // The complements' inners sorted, so that each member is looked up among
  // them in log time rather than against every other member.
  std::vector<const SchemaNode*> inners;
  for (const SchemaNode& m : members)
    if (m.is(NodeKind::Complement) && m.inner()) inners.push_back(m.inner().get());
  if (inners.empty()) return false;
  const auto before = [](const SchemaNode* a, const SchemaNode* b) { return node_cmp(*a, *b) < 0; };
  std::sort(inners.begin(), inners.end(), before);
  for (const SchemaNode& other : members) {
    auto found = std::lower_bound(inners.begin(), inners.end(), &other, before);
    // Cheap test first: the walk only matters when X is present.
    if (found == inners.end() || !node_eq(**found, other)) continue;
    ClosednessWalk walk(class_hooks, definitions);
    if (walk.closed(**found)) return true;
  }
  return false;
}

SchemaNode make_union(std::vector<SchemaNode> members, DefinitionsView definitions) {
  ScratchNodes scratch;
  std::vector<SchemaNode>& v = *scratch;
  for (SchemaNode& m : members) {
    switch (m.kind()) {
      case NodeKind::Nothing: break;
      case NodeKind::Anything: return std::move(m);  // keeps its flag: a union holding Any is Any
      case NodeKind::Union:
        for (const SchemaNode& inner : m.members()) v.push_back(inner);
        break;
      default: v.push_back(std::move(m)); break;
    }
  }
  if (v.empty()) return SchemaNode::nothing();
  sort_and_dedupe_members(v);
  if (has_complementary_pair(v, no_oracle(), definitions)) return SchemaNode::anything();
  if (v.size() == 1) return std::move(v[0]);
  return SchemaNode::union_of(intern_node_list(v));
}

SchemaNode make_intersection(std::vector<SchemaNode> members, DefinitionsView definitions) {
  ScratchNodes scratch;
  std::vector<SchemaNode>& v = *scratch;
  for (SchemaNode& m : members) {
    switch (m.kind()) {
      case NodeKind::Anything: break;
      case NodeKind::Nothing: return SchemaNode::nothing();
      case NodeKind::Intersection:
        for (const SchemaNode& inner : m.members()) v.push_back(inner);
        break;
      default: v.push_back(std::move(m)); break;
    }
  }
  sort_and_dedupe_members(v);
  if (has_complementary_pair(v, no_oracle(), definitions)) return SchemaNode::nothing();
  if (v.empty()) return SchemaNode::anything();
  if (v.size() == 1) return std::move(v[0]);
  return SchemaNode::intersection_of(intern_node_list(v));
}

SchemaNode make_complement(SchemaNode node) {
  switch (node.kind()) {
    case NodeKind::Anything: return SchemaNode::nothing();
    case NodeKind::Nothing: return SchemaNode::anything();
    case NodeKind::Complement: return *node.inner();  // double negation; copying shares the children
    default: return SchemaNode::complement_of(intern_node(std::move(node)));
  }
}

SchemaNode make_refinement(SchemaNode base, std::vector<Constraint> constraints) {
  sort_constraints(constraints);
  dedupe_sorted_constraints(constraints);
  if (constraints.empty()) return base;
  return SchemaNode::refinement(intern_node(std::move(base)), ConstraintList::from_vector(std::move(constraints)));
}

SchemaNode make_record(std::vector<RecordField> fields, std::vector<CatchAll> clauses) {
  sort_clauses(clauses);
  dedupe_sorted_clauses(clauses);
  sort_fields_by_name(fields);
  FieldList field_list = intern_field_list(fields);
  ClauseList clause_list = intern_catch_all_list(clauses);
  return SchemaNode::record(std::move(field_list), std::move(clause_list));
}

RepeatingSequence repeating_sequence(SchemaNode item) {
  return RepeatingSequence{empty_node_list(), intern_node(std::move(item))};
}

std::optional<uint64_t> match_class_with_shape(const SchemaNode& node) {
  if (!node.is(NodeKind::Intersection)) return std::nullopt;
  const SchemaNode* instance = nullptr;
  int instances = 0;
  int shapes = 0;
  for (const SchemaNode& m : node.members()) {
    if (m.is(NodeKind::Instance)) {
      ++instances;
      instance = &m;
    } else if (m.is(NodeKind::Sequence) || m.is(NodeKind::Object)) {
      ++shapes;
    }
  }
  if (instances != 1 || shapes != 1) return std::nullopt;
  return instance->number();
}

}  // namespace tessolin::ir

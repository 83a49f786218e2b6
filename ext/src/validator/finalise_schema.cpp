#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "binding/error.hpp"
#include "ir/definitions.hpp"
#include "ir/limits.hpp"
#include "ir/node_walk.hpp"
#include "ir/renumber.hpp"
#include "validator/validator_data.hpp"

namespace tessolin::py {

namespace {

using ir::SchemaNode;

uint64_t saturating_add(uint64_t a, uint64_t b) noexcept {
  uint64_t s = a + b;
  return s < a ? UINT64_MAX : s;
}

// Exact tree size (shared subtrees counted at each occurrence), memoised by
// node address so a shared graph costs its distinct nodes only. Called on
// trees already known to be at most kMaxSchemaDepth deep.
class ExactCount {
 public:
  uint64_t count(const SchemaNode& node) {
    auto found = memo_.find(&node);
    if (found != memo_.end()) return found->second;
    uint64_t total = 1;
    if (node.is(ir::NodeKind::Refinement)) total += node.constraints().size();
    std::vector<const SchemaNode*> children;
    ir::push_children(node, children);
    for (const SchemaNode* child : children) total = saturating_add(total, count(*child));
    memo_.emplace(&node, total);
    return total;
  }

 private:
  std::unordered_map<const SchemaNode*, uint64_t> memo_;
};

uint64_t schema_size(const SchemaNode& root, const std::vector<const SchemaNode*>& definitions) {
  // The bounded walk answers exactly for every schema within the limit; the
  // exact count is only needed to name the size of one past it.
  uint64_t total = 0;
  for (const SchemaNode* d : definitions) total = saturating_add(total, ir::count_nodes(*d));
  total = saturating_add(total, ir::count_nodes(root));
  if (total <= ir::kMaxSchemaNodes) return total;
  ExactCount exact;
  total = 0;
  for (const SchemaNode* d : definitions) total = saturating_add(total, exact.count(*d));
  return saturating_add(total, exact.count(root));
}

// Marks the definitions reachable from root; References past the list are
// neither followed nor reported here. Each node is entered once by address,
// so a graph that shares subtrees costs its distinct nodes only.
std::vector<bool> reachable_definitions(const SchemaNode& root, const std::vector<SchemaNode>& definitions) {
  std::vector<bool> marked(definitions.size(), false);
  if (definitions.empty()) return marked;
  std::unordered_set<const SchemaNode*> entered;
  std::vector<const SchemaNode*> stack{&root};
  while (!stack.empty()) {
    const SchemaNode* node = stack.back();
    stack.pop_back();
    if (!entered.insert(node).second) continue;
    if (node->is(ir::NodeKind::Reference)) {
      uint64_t k = node->number();
      if (k < definitions.size() && !marked[k]) {
        marked[k] = true;
        stack.push_back(&definitions[k]);
      }
    }
    ir::push_children(*node, stack);
  }
  return marked;
}

}  // namespace

ValidatorData finalise_schema(SchemaNode root, std::vector<PyRef> pool_objects, std::vector<SchemaNode> definitions) {
  std::vector<bool> marked = reachable_definitions(root, definitions);
  // Renumbering changes no depth, size or placeholder, so the limits are
  // checked on the kept definitions as they stand: a schema past them is
  // refused before any rewrite walks it.
  std::vector<const SchemaNode*> kept;
  for (size_t i = 0; i < definitions.size(); ++i) {
    if (marked[i]) kept.push_back(&definitions[i]);
  }

  uint64_t depth = ir::node_depth(root);
  for (const SchemaNode* d : kept) depth = std::max(depth, ir::node_depth(*d));
  if (depth > ir::kMaxSchemaDepth) {
    raise_value_error("schema nesting is too deep: this validator reaches " + std::to_string(depth) +
                      " levels of nesting, past the limit of " + std::to_string(ir::kMaxSchemaDepth) +
                      ". A validator this deep comes from building in an unbounded loop; checking it would risk a "
                      "native stack overflow. Express structural recursion with recursive(...) instead of nesting "
                      "schemas.");
  }
  if (kept.size() > ir::kMaxDefinitions) {
    raise_value_error("schema holds too many recursive definitions: this validator has " + std::to_string(kept.size()) +
                      " of them, past the limit of " + std::to_string(ir::kMaxDefinitions) +
                      ". A validator with this many comes from chaining recursive schemas in an unbounded loop; "
                      "rendering or deciding it would risk a native stack overflow.");
  }
  uint64_t size = schema_size(root, kept);
  if (size > ir::kMaxSchemaNodes) {
    raise_value_error("schema is too large: this validator spans " + std::to_string(size) +
                      " nodes, past the limit of " + std::to_string(ir::kMaxSchemaNodes) +
                      ". A schema this large comes from combining a validator with itself in an unbounded loop, "
                      "which doubles its size each step; building it would exhaust memory.");
  }
  bool unresolved = ir::find_unresolved_placeholder(root);
  for (size_t i = 0; !unresolved && i < kept.size(); ++i) unresolved = ir::find_unresolved_placeholder(*kept[i]);
  if (unresolved) {
    raise_value_error(
        "schema holds an unresolved recursive placeholder: the validator a recursive(...) builder receives stands "
        "for the schema being defined and is only meaningful inside that call. Build the schema that uses it "
        "inside the builder, and use the validator recursive(...) returns outside.");
  }

  if (kept.size() == definitions.size()) {
    return ValidatorData{std::move(pool_objects), std::move(definitions), std::move(root), {}};
  }
  std::vector<ir::ReferenceRenumbering> table(definitions.size());
  uint64_t next = 0;
  for (size_t i = 0; i < definitions.size(); ++i) {
    if (marked[i]) table[i] = {true, next++};
  }
  std::vector<SchemaNode> renumbered;
  renumbered.reserve(kept.size());
  for (const SchemaNode* d : kept) renumbered.push_back(ir::renumber_references(*d, table));
  SchemaNode new_root = ir::renumber_references(root, table);
  return ValidatorData{std::move(pool_objects), std::move(renumbered), std::move(new_root), {}};
}

}  // namespace tessolin::py

// A Validator used as an annotation: its constants re-pooled, its
// definitions imported (or an equal run already in the context reused) and
// its root renumbered into the context. A validator embedded again in the
// same build reuses the node of its first embedding.
#include <vector>

#include "compile/forms.hpp"
#include "compile/recursion/recursion.hpp"
#include "ir/node_order.hpp"
#include "validator/validator_data.hpp"

namespace tessolin::build {

namespace {

bool equal_run(const std::vector<ir::SchemaNode>& imported, const std::vector<ir::SchemaNode>& definitions,
               size_t offset) {
  for (size_t i = 0; i < imported.size(); ++i) {
    if (!ir::node_eq(imported[i], definitions[offset + i])) return false;
  }
  return true;
}

ir::SchemaNode import_validator(CompileContext& ctx, const py::ValidatorData& data) {
  std::vector<uint64_t> table;
  table.reserve(data.pool_objects.size());
  for (const py::PyRef& obj : data.pool_objects) table.push_back(ctx.pool.intern_constant(obj.get()));

  const size_t m = ctx.definitions.size();
  const size_t d = data.definitions.size();
  uint64_t offset = m;
  if (d > 0) {
    bool reused = false;
    // Embedding an equal run of definitions again adds it once.
    for (size_t j = 0; d <= m && j <= m - d; ++j) {
      std::vector<ir::SchemaNode> imported = import_nodes(data.definitions, ir::IndexRenumbering{table, j});
      if (equal_run(imported, ctx.definitions, j)) {
        offset = j;
        reused = true;
        break;
      }
    }
    if (!reused) {
      std::vector<ir::SchemaNode> imported = import_nodes(data.definitions, ir::IndexRenumbering{table, m});
      for (ir::SchemaNode& node : imported) ctx.definitions.push_back(std::move(node));
    }
  }
  std::optional<ir::SchemaNode> root = ir::renumber_indices(data.root, ir::IndexRenumbering{table, offset});
  return root ? std::move(*root) : data.root;
}

}  // namespace

ir::SchemaNode embed_validator(CompileContext& ctx, PyObject* validator) {
  // Pool indices and the definition offset of one validator are the same
  // wherever it appears in one build, so its first node serves every use.
  if (auto found = ctx.memo.validators.find(validator); found != ctx.memo.validators.end()) {
    return found->second.node;
  }
  ir::SchemaNode node = import_validator(ctx, *py::validator_data(validator));
  ctx.memo.validators.emplace(validator, CompileMemo::Entry{py::PyRef::borrow(validator), node, 0});
  return node;
}

}  // namespace tessolin::build

#include "compile/recursion/recursion.hpp"

namespace tessolin::build {

std::vector<ir::SchemaNode> import_nodes(std::span<const ir::SchemaNode> nodes, const ir::IndexRenumbering& params) {
  std::vector<ir::SchemaNode> out;
  out.reserve(nodes.size());
  for (const ir::SchemaNode& node : nodes) {
    std::optional<ir::SchemaNode> renumbered = ir::renumber_indices(node, params);
    out.push_back(renumbered ? std::move(*renumbered) : node);
  }
  return out;
}

}  // namespace tessolin::build

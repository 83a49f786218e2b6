#include "ir/rebuild.hpp"

namespace tessolin::ir {

NodeList finish_member_list(std::vector<SchemaNode>& members) {
  sort_and_dedupe_members(members);
  NodeList list = intern_node_list(members);
  members.clear();
  return list;
}

}  // namespace tessolin::ir

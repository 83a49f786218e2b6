#include "compile/member_gathering.hpp"

#include <algorithm>
#include <utility>

#include "ir/constructors.hpp"
#include "ir/limits.hpp"
#include "ir/node_walk.hpp"

namespace tessolin::build {

MemberGathering::MemberGathering(CompileContext& ctx, Gathered op, size_t expected)
    : ctx_(ctx), op_(op), start_(ctx.memo.calls) {
  members_.reserve(std::min<size_t>(expected, ir::kMaxSchemaNodes));
}

ir::SchemaNode MemberGathering::merged() {
  std::vector<ir::SchemaNode> all = std::move(members_);
  members_.clear();
  if (op_ == Gathered::Intersection) return ir::make_intersection(std::move(all), ctx_.definitions);
  if (settled_by_pair_) all.push_back(ir::SchemaNode::anything());
  return ir::make_union(std::move(all), ctx_.definitions);
}

void MemberGathering::add(ir::SchemaNode member) {
  members_.push_back(std::move(member));
  const uint64_t spent = ctx_.memo.calls - start_;
  // Merging only once the members gathered since the last merge outweigh
  // what it kept keeps the merges' total cost linear in the members: a
  // merge that keeps them all is not redone on every new member.
  if (spent <= ir::kMaxSchemaNodes || spent - kept_ <= kept_) return;
  const bool had_anything = std::any_of(members_.begin(), members_.end(),
                                        [](const ir::SchemaNode& m) { return m.is(ir::NodeKind::Anything); });
  ir::SchemaNode node = merged();
  if (op_ == Gathered::Union && node.is(ir::NodeKind::Anything) && !had_anything) {
    settled_by_pair_ = true;
  } else {
    members_.push_back(node);
  }
  // The merged node stands for every member so far (its parts are spliced
  // back in by the final merge).
  kept_ = std::min(spent, ir::count_nodes(node, spent));
  ctx_.memo.calls = start_ + kept_;
}

ir::SchemaNode MemberGathering::finish() { return merged(); }

}  // namespace tessolin::build

// The inclusion driver: the order of the tests, settling of intermediate
// answers, assumed pairs, literal sets, unions, intersections and products.
#include "decide/inclusion.hpp"

#include <algorithm>

#include "ir/constructors.hpp"
#include "ir/intern.hpp"
#include "ir/list_facts.hpp"
#include "ir/node_order.hpp"
#include "ir/value_kinds.hpp"

namespace tessolin::decide {

using ir::KindMaskResult;
using ir::NodeKind;
using ir::OracleAnswer;
using ir::SchemaNode;

namespace {

Relation relation_of(Emptiness e) noexcept {
  switch (e) {
    case Emptiness::Empty: return Relation::Subset;
    case Emptiness::Inhabited: return Relation::NotSubset;
    default: return Relation::Undecided;
  }
}

// The literal set of a node: a Literal, or a Union of Literals with
// strictly increasing pool indices.
std::optional<ir::LiteralMembers> literal_set(const SchemaNode& node, ir::ListFacts& lists) {
  std::optional<ir::LiteralMembers> members = ir::literal_members(node, lists);
  if (!members || members->single() || lists.run_indices_rise(node.members())) return members;
  return std::nullopt;
}

// Whether the rising indices hold x.
bool holds(const ir::LiteralMembers& rising, uint64_t x) {
  size_t low = 0, high = rising.size();
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (rising[mid] < x)
      low = mid + 1;
    else
      high = mid;
  }
  return low < rising.size() && rising[low] == x;
}

// Test 6. No value means the test leaves the question to the next one.
std::optional<Relation> literal_sets(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx) {
  if (!(a.is(NodeKind::Literal) || a.is(NodeKind::Union)) || !(b.is(NodeKind::Literal) || b.is(NodeKind::Union)))
    return std::nullopt;
  std::optional<ir::LiteralMembers> la = literal_set(a, ctx.lists);
  if (!la) return std::nullopt;
  std::optional<ir::LiteralMembers> lb = literal_set(b, ctx.lists);
  if (!lb) return std::nullopt;
  bool all_found = true;
  for (uint64_t x : *la) {
    if (holds(*lb, x)) continue;
    OracleAnswer self = ctx.oracle.constants_distinct(x, x);
    if (self == OracleAnswer::Yes) continue;  // unequal to itself: admits no value
    if (self == OracleAnswer::Undecided) {
      all_found = false;
      continue;
    }
    if (ctx.oracle.constants_disjoint(ir::LiteralMembers(x), *lb) == OracleAnswer::Yes) return refutation_step(a, ctx);
    return std::nullopt;
  }
  if (all_found) return Relation::Subset;
  return std::nullopt;
}

// Test 8 (a Union) and test 9 (b an Intersection): every part must hold.
template <class Decide>
Relation every_part(const ir::NodeList& parts, const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx,
                    Decide decide) {
  if (parts.empty()) return Relation::Subset;
  bool undecided = false;
  for (const SchemaNode& p : parts) {
    Relation r = decide(p);
    if (r == Relation::NotSubset) return refutation_step(a, ctx);
    if (r == Relation::Undecided) undecided = true;
  }
  return undecided ? emptiness_fallback(a, b, ctx) : Relation::Subset;
}

// Test 10: a an Intersection.
Relation intersection_on_left(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  for (const SchemaNode& m : a.members())
    if (decide_inclusion(m, b, ctx, assumed) == Relation::Subset) return Relation::Subset;
  if (b.is(NodeKind::Union))
    for (const SchemaNode& m : b.members())
      if (decide_inclusion(a, m, ctx, assumed) == Relation::Subset) return Relation::Subset;
  // A value of a lies outside every Y of a's members ¬Y, so outside X when
  // X lies within their union: then a lies within b = ¬X.
  if (b.is(NodeKind::Complement))
    if (std::optional<SchemaNode> outside = ctx.lists.complements_joined(a.members()))
      if (decide_inclusion(*b.inner(), *outside, ctx, assumed) == Relation::Subset) return Relation::Subset;
  const ir::NodeList& ms = a.members();
  if (ms.size() == 2 && ms[0].is(NodeKind::Instance) && ms[1].is(NodeKind::Object)) {
    const uint64_t c = ms[0].number();
    if (b.is(NodeKind::Instance) && ctx.oracle.decide_subset(SchemaNode::instance(c), b) == OracleAnswer::No)
      return refutation_step(a, ctx);
    if (ir::kind_excludes_class(b, c, ctx.oracle, ctx.definitions)) return refutation_step(a, ctx);
  }
  return settle(kind_refutation(a, b, ctx, assumed), a, b, ctx);
}

bool counts_disjoint(int mode, const SchemaNode& a, const SchemaNode& m, DecisionContext& ctx) {
  return mode == 0 ? ir::nodes_disjoint(a, m, ctx.lists) : proved_disjoint(a, m, ctx);
}

// Test 11: b a Union, a neither a Union nor an Intersection.
Relation union_procedure(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  const ir::NodeList& members = b.members();
  // 1
  if (ctx.lists.contains(members, a)) return Relation::Subset;
  // 2
  bool some_refuted = false;
  for (const SchemaNode& m : members) {
    Relation r = decide_inclusion(a, m, ctx, assumed);
    if (r == Relation::Subset) return Relation::Subset;
    if (r == Relation::NotSubset) some_refuted = true;
  }
  // 3: a fixed tuple against a union of fixed tuples, position by position.
  if (a.is(NodeKind::Sequence) && !a.tail()) {
    std::vector<std::span<const SchemaNode>> alternatives;
    for (const SchemaNode& m : members)
      if (m.is(NodeKind::Sequence) && m.sequence_kind() == a.sequence_kind() && !m.tail() &&
          m.prefix().size() == a.prefix().size())
        alternatives.push_back(m.prefix().span());
    if (!alternatives.empty() && member_list_inclusion(a.prefix().span(), alternatives, ctx, assumed))
      return Relation::Subset;
  }
  // 4: members disjoint from a cannot help; decide against the rest.
  if (some_refuted) {
    for (int mode = 0; mode < 2; ++mode) {
      std::vector<SchemaNode> overlapping;
      bool any_disjoint = false;
      for (const SchemaNode& m : members) {
        if (counts_disjoint(mode, a, m, ctx))
          any_disjoint = true;
        else
          overlapping.push_back(m);
      }
      if (!any_disjoint) continue;
      Relation r;
      if (overlapping.empty()) {
        Emptiness e = emptiness_with_fresh_stack(a, ctx).emptiness();
        if (e == Emptiness::Empty) return Relation::Subset;
        if (e == Emptiness::Inhabited) return refutation_step(a, ctx);
        continue;
      }
      if (overlapping.size() == 1) {
        r = decide_inclusion(a, overlapping[0], ctx, assumed);
      } else {
        SchemaNode rest = SchemaNode::union_of(ir::NodeList::copy_of(overlapping));
        r = decide_inclusion(a, rest, ctx, assumed);
      }
      if (r == Relation::Subset) return Relation::Subset;
      if (r == Relation::NotSubset) return refutation_step(a, ctx);
    }
  }
  // 5
  Relation r = inclusion_via_reference(a, b, ctx, assumed);
  if (r == Relation::Subset) return Relation::Subset;
  if (a.is(NodeKind::Instance) && ctx.oracle.decide_subset(a, b) == OracleAnswer::Yes) return Relation::Subset;
  if (r == Relation::NotSubset) return refutation_step(a, ctx);
  return settle(kind_refutation(a, b, ctx, assumed), a, b, ctx);
}

}  // namespace

Relation refutation_step(const SchemaNode& a, DecisionContext& ctx) {
  if (ctx.lists.inhabited_on_sight(a)) return Relation::NotSubset;
  return relation_of(emptiness_with_fresh_stack(a, ctx).emptiness());
}

Relation emptiness_fallback(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx) {
  if (emptiness_with_fresh_stack(a, ctx).emptiness() == Emptiness::Empty) return Relation::Subset;
  if (!b.is(NodeKind::Union)) {
    KindMaskResult m = ctx.lists.kind_mask(b);
    return !m.unknown && m.mask == ir::kAllKinds ? Relation::Subset : Relation::Undecided;
  }
  return ctx.lists.known_kinds(b.members()) == ir::kAllKinds ? Relation::Subset : Relation::Undecided;
}

Relation settle(Relation r, const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx) {
  switch (r) {
    case Relation::Subset: return Relation::Subset;
    case Relation::NotSubset: return refutation_step(a, ctx);
    default: return emptiness_fallback(a, b, ctx);
  }
}

Relation decide_inclusion(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  // 1: the same node, without spending.
  if (&a == &b || ir::node_shallow_eq(a, b)) return Relation::Subset;
  // 2
  if (!ctx.budget.spend()) return Relation::Undecided;
  DecisionDepth depth(ctx);
  if (!depth.entered()) return Relation::Undecided;
  // 3
  const KindMaskResult ma = ctx.lists.kind_mask(a);
  const KindMaskResult mb = ctx.lists.kind_mask(b);
  if (!ma.unknown && !mb.unknown) return (ma.mask & ~mb.mask) == 0 ? Relation::Subset : refutation_step(a, ctx);
  // 4
  if (ir::node_eq(a, b)) return Relation::Subset;
  // 5: a pair already being explored on this path.
  for (const auto& [p, q] : assumed)
    if (ir::node_eq(p, a) && ir::node_eq(q, b)) return Relation::Subset;
  // 6
  if (std::optional<Relation> r = literal_sets(a, b, ctx)) return *r;
  // 7
  if (!mb.unknown && mb.mask == ir::kAllKinds) return Relation::Subset;
  // 8
  if (a.is(NodeKind::Union))
    return every_part(a.members(), a, b, ctx,
                      [&](const SchemaNode& m) { return decide_inclusion(m, b, ctx, assumed); });
  // 9
  if (b.is(NodeKind::Intersection))
    return every_part(b.members(), a, b, ctx,
                      [&](const SchemaNode& m) { return decide_inclusion(a, m, ctx, assumed); });
  // 10
  if (a.is(NodeKind::Intersection)) return intersection_on_left(a, b, ctx, assumed);
  // 11
  if (b.is(NodeKind::Union)) return union_procedure(a, b, ctx, assumed);
  // 12, 13
  if (a.is(NodeKind::Refinement) && a.constraints().empty())
    return settle(decide_inclusion(*a.base(), b, ctx, assumed), a, b, ctx);
  if (b.is(NodeKind::Refinement) && b.constraints().empty())
    return settle(decide_inclusion(a, *b.base(), ctx, assumed), a, b, ctx);
  // 14
  if (a.is(NodeKind::Reference)) return settle(inclusion_via_reference(a, b, ctx, assumed), a, b, ctx);
  // 15
  return per_kind_inclusion(a, b, ctx, assumed);
}

Relation inclusion_via_reference(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx,
                                 AssumedPairs& assumed) {
  if (a.is(NodeKind::Reference) && a.number() < ctx.definitions.size()) {
    assumed.emplace_back(a, b);
    Relation r = decide_inclusion(ctx.definitions[a.number()], b, ctx, assumed);
    assumed.pop_back();
    return r;
  }
  if (a.is(NodeKind::Refinement))
    return decide_inclusion(*a.base(), b, ctx, assumed) == Relation::Subset ? Relation::Subset : Relation::Undecided;
  return Relation::Undecided;
}

SchemaNode meet_pair(const SchemaNode& x, const SchemaNode& y, ir::DefinitionsView definitions) {
  std::vector<SchemaNode> members;
  members.reserve(2);
  members.push_back(x);
  members.push_back(y);
  return ir::make_intersection(std::move(members), definitions);
}

bool proved_disjoint(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx) {
  if (ir::nodes_disjoint(a, b, ctx.lists)) return true;
  SchemaNode meet = meet_pair(a, b, ctx.definitions);
  return emptiness_with_fresh_stack(meet, ctx).emptiness() == Emptiness::Empty;
}

bool member_list_inclusion(std::span<const SchemaNode> items, std::span<const std::span<const SchemaNode>> alternatives,
                           DecisionContext& ctx, AssumedPairs& assumed) {
  if (!ctx.budget.spend()) return false;
  DecisionDepth depth(ctx);
  if (!depth.entered()) return false;
  for (const SchemaNode& item : items)
    if (emptiness_with_fresh_stack(item, ctx).emptiness() == Emptiness::Empty) return true;
  if (alternatives.empty()) return false;
  std::span<const SchemaNode> first = alternatives[0];
  const size_t k = std::min(items.size(), first.size());
  if (k == 0) return true;
  // The product minus the first alternative is the union over i of the
  // products whose item i is replaced by item i minus its counterpart.
  std::vector<SchemaNode> replaced;
  for (size_t i = 0; i < k; ++i) {
    if (decide_inclusion(items[i], first[i], ctx, assumed) == Relation::Subset) continue;
    replaced.assign(items.begin(), items.end());
    replaced[i] = meet_pair(items[i], ir::make_complement(first[i]), {});
    if (!member_list_inclusion(replaced, alternatives.subspan(1), ctx, assumed)) return false;
  }
  return true;
}

}  // namespace tessolin::decide

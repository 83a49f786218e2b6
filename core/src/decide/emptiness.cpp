#include "decide/emptiness.hpp"

#include <algorithm>
#include <string_view>

#include "ir/constructors.hpp"
#include "ir/node_order.hpp"
#include "ir/value_kinds.hpp"

namespace tessolin::decide {

using ir::ConstraintKind;
using ir::KindMask;
using ir::NodeKind;
using ir::OracleAnswer;
using ir::SchemaNode;

namespace {

EmptinessReport undecided() noexcept { return EmptinessReport::inexact(Emptiness::Undecided); }

// First Empty item decides; otherwise Undecided when any was.
template <class Items, class Schema>
EmptinessReport all_inhabited(const Items& items, Schema schema_of, DecisionContext& ctx, ExpansionStack& stack) {
  Emptiness answer = Emptiness::Inhabited;
  for (const auto& item : items) {
    const SchemaNode* s = schema_of(item);
    if (!s) continue;
    Emptiness e = structural_emptiness(*s, ctx, stack).emptiness();
    if (e == Emptiness::Empty) return EmptinessReport::inexact(Emptiness::Empty);
    if (e == Emptiness::Undecided) answer = Emptiness::Undecided;
  }
  return EmptinessReport::inexact(answer);
}

EmptinessReport union_emptiness(const SchemaNode& node, DecisionContext& ctx, ExpansionStack& stack) {
  Emptiness answer = Emptiness::Empty;
  bool inexact = false;
  KindMask mask = 0;
  for (const SchemaNode& m : node.members()) {
    EmptinessReport r = structural_emptiness(m, ctx, stack);
    if (answer == Emptiness::Inhabited || r.emptiness() == Emptiness::Inhabited)
      answer = Emptiness::Inhabited;
    else if (r.emptiness() != Emptiness::Empty)
      answer = Emptiness::Undecided;
    mask |= r.mask();
    inexact = inexact || r.is_inexact();
    if (answer != Emptiness::Empty && inexact) break;
  }
  return EmptinessReport::folded(answer, inexact, mask);
}

bool over_bool_or_int(const SchemaNode& node) noexcept {
  const SchemaNode* n = &node;
  while (n->is(NodeKind::Refinement)) n = n->base().get();
  return n->is(NodeKind::Bool) || n->is(NodeKind::Int);
}

// Step 8 of the intersection rule: fields of the Record members, by name.
bool records_contradict(const SchemaNode& node, DecisionContext& ctx, ExpansionStack& stack) {
  struct Entry {
    std::string_view name;
    size_t member;
    const ir::RecordField* field;
  };
  std::vector<Entry> entries;
  size_t records = 0;
  size_t closed = 0;  // records without clauses: they admit no other key
  const ir::NodeList& members = node.members();
  auto is_closed = [&](size_t i) { return members[i].clauses().empty(); };
  for (size_t i = 0; i < members.size(); ++i) {
    if (!members[i].is(NodeKind::Record)) continue;
    ++records;
    if (is_closed(i)) ++closed;
    for (const ir::RecordField& f : members[i].fields()) entries.push_back({f.name.view(), i, &f});
  }
  if (records < 2) return false;
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return ir::name_cmp(a.name, b.name) < 0; });
  std::vector<SchemaNode> schemas;
  for (size_t begin = 0; begin < entries.size();) {
    size_t end = begin + 1;
    while (end < entries.size() && entries[end].name == entries[begin].name) ++end;
    bool required = false;
    for (size_t k = begin; k < end; ++k) required = required || entries[k].field->required;
    if (required) {
      if (end - begin >= 2) {
        schemas.clear();
        for (size_t k = begin; k < end; ++k) schemas.push_back(entries[k].field->schema);
        SchemaNode meet = SchemaNode::intersection_of(ir::NodeList::copy_of(schemas));
        // The current path's stack: a fresh one would restart the expansion
        // of a recursive record at every level.
        if (structural_emptiness(meet, ctx, stack).emptiness() == Emptiness::Empty) return true;
      }
      // Some closed record does not declare the name. A name's entries keep
      // member order, so the closed records declaring it are counted once each.
      size_t declaring = 0;
      for (size_t k = begin; k < end; ++k)
        if (is_closed(entries[k].member) && (k == begin || entries[k - 1].member != entries[k].member)) ++declaring;
      if (declaring < closed) return true;
    }
    begin = end;
  }
  return false;
}

EmptinessReport intersection_emptiness(const SchemaNode& node, DecisionContext& ctx, ExpansionStack& stack) {
  const ir::NodeList& members = node.members();
  // 1
  Emptiness running = Emptiness::Inhabited;
  bool some_empty = false;
  bool inexact = false;
  KindMask mask = ir::kAllKinds;
  for (const SchemaNode& m : members) {
    EmptinessReport r = structural_emptiness(m, ctx, stack);
    inexact = inexact || r.is_inexact();
    mask &= r.mask();
    if (r.emptiness() == Emptiness::Empty) {
      some_empty = true;
      running = Emptiness::Empty;
    } else if (r.emptiness() == Emptiness::Undecided && running != Emptiness::Empty) {
      running = Emptiness::Undecided;
    }
    if (some_empty && inexact) return EmptinessReport::inexact(Emptiness::Empty);
  }
  auto answer = [&](Emptiness e) { return EmptinessReport::folded(e, inexact, mask); };
  // 2, 3
  if (some_empty) return answer(Emptiness::Empty);
  if (!inexact && mask == 0) return EmptinessReport::exact(0);
  // 4: a closed X beside its complement.
  if (ir::has_complementary_pair(members.span(), ctx.oracle, {})) return answer(Emptiness::Empty);
  // 5: two members without a common value; the pairs of a long list that
  // no grouping answers each take a step, and a spent budget leaves it open.
  const OracleAnswer apart = ir::some_pair_disjoint(members, ctx.lists);
  if (apart == OracleAnswer::Yes) return answer(Emptiness::Empty);
  // 6, 7: constraints of the refinement members together.
  bool has_min = false, has_max = false;
  uint64_t largest_min = 0, smallest_max = UINT64_MAX;
  BoundsRecord bounds;
  bool int_member = false;
  for (const SchemaNode& m : members) {
    if (over_bool_or_int(m)) int_member = true;
    if (!m.is(NodeKind::Refinement)) continue;
    for (const ir::Constraint& c : m.constraints()) {
      if (c.kind() == ConstraintKind::MinLen) {
        has_min = true;
        largest_min = std::max(largest_min, c.word());
      } else if (c.kind() == ConstraintKind::MaxLen) {
        has_max = true;
        smallest_max = std::min(smallest_max, c.word());
      } else {
        bounds.add(c, ctx.oracle);
      }
    }
  }
  if (has_min && has_max && largest_min > smallest_max) return answer(Emptiness::Empty);
  if (bounds.has_lower() && bounds.has_upper()) {
    ir::ConstantOrder order = ctx.oracle.compare_constants(bounds.lower, bounds.upper);
    const bool strict = bounds.lower_state == BoundState::Strict || bounds.upper_state == BoundState::Strict;
    if (order == ir::ConstantOrder::Greater) return answer(Emptiness::Empty);
    if (order == ir::ConstantOrder::Equal && strict) return answer(Emptiness::Empty);
    if ((order == ir::ConstantOrder::Less || order == ir::ConstantOrder::Unordered) && int_member &&
        ctx.oracle.integer_range_empty(bounds.lower, bounds.lower_state == BoundState::Strict, bounds.upper,
                                       bounds.upper_state == BoundState::Strict) == OracleAnswer::Yes)
      return answer(Emptiness::Empty);
  }
  // 8
  if (records_contradict(node, ctx, stack)) return answer(Emptiness::Empty);
  // 9
  if (apart == OracleAnswer::Undecided) return undecided();
  if (members.size() == 2 && members[0].is(NodeKind::Instance) && members[1].is(NodeKind::Object))
    return answer(running);
  return answer(inexact ? Emptiness::Undecided : Emptiness::Inhabited);
}

EmptinessReport reference_emptiness(const SchemaNode& node, DecisionContext& ctx, ExpansionStack& stack) {
  const uint64_t n = node.number();
  // A value would need an infinite unfolding of a definition already open.
  if (std::find(stack.begin(), stack.end(), n) != stack.end()) return EmptinessReport::inexact(Emptiness::Empty);
  if (n >= ctx.definitions.size()) return undecided();
  stack.push_back(n);
  Emptiness e = structural_emptiness(ctx.definitions[n], ctx, stack).emptiness();
  stack.pop_back();
  return EmptinessReport::inexact(e);
}

}  // namespace

EmptinessReport structural_emptiness(const SchemaNode& node, DecisionContext& ctx, ExpansionStack& stack) {
  if (!ctx.budget.spend()) return undecided();
  DecisionDepth depth(ctx);
  if (!depth.entered()) return undecided();
  switch (node.kind()) {
    case NodeKind::Anything: return EmptinessReport::exact(ir::kAllKinds);
    case NodeKind::Nothing: return EmptinessReport::exact(0);
    case NodeKind::None: return EmptinessReport::exact(1);
    case NodeKind::Bool: return EmptinessReport::exact(2);
    case NodeKind::Int: return EmptinessReport::exact(6);
    case NodeKind::Float: return EmptinessReport::exact(8);
    case NodeKind::Str: return EmptinessReport::exact(16);
    case NodeKind::Bytes: return EmptinessReport::exact(32);
    case NodeKind::Literal:
      // A constant unequal to itself (a float NaN) admits no value.
      switch (ctx.oracle.constants_distinct(node.number(), node.number())) {
        case OracleAnswer::No: return EmptinessReport::inexact(Emptiness::Inhabited);
        case OracleAnswer::Yes: return EmptinessReport::inexact(Emptiness::Empty);
        default: return undecided();
      }
    case NodeKind::Sequence:
      // Without the tail: zero tail items is always possible.
      return all_inhabited(
          node.prefix(), [](const SchemaNode& s) { return &s; }, ctx, stack);
    case NodeKind::Collection: return EmptinessReport::inexact(Emptiness::Inhabited);  // the empty collection
    case NodeKind::Record:
      return all_inhabited(
          node.fields(), [](const ir::RecordField& f) { return f.required ? &f.schema : nullptr; }, ctx, stack);
    case NodeKind::Object:
      return all_inhabited(
          node.attributes(), [](const ir::RecordField& f) { return f.required ? &f.schema : nullptr; }, ctx, stack);
    case NodeKind::Union: return union_emptiness(node, ctx, stack);
    case NodeKind::Intersection: return intersection_emptiness(node, ctx, stack);
    case NodeKind::Complement: {
      EmptinessReport inner = structural_emptiness(*node.inner(), ctx, stack);
      if (inner.is_inexact()) return undecided();
      return EmptinessReport::exact(static_cast<KindMask>(ir::kAllKinds & ~inner.mask()));
    }
    case NodeKind::Instance:
      if (ctx.oracle.class_hooks_standard(node) == OracleAnswer::Yes)
        return EmptinessReport::inexact(Emptiness::Inhabited);
      return undecided();
    case NodeKind::Refinement:
      if (node.constraints().empty()) return structural_emptiness(*node.base(), ctx, stack);
      return EmptinessReport::inexact(refinement_emptiness(*node.base(), node.constraints().span(), ctx, stack));
    case NodeKind::Reference: return reference_emptiness(node, ctx, stack);
    case NodeKind::Placeholder: return undecided();
  }
  return undecided();
}

EmptinessReport emptiness_with_fresh_stack(const SchemaNode& node, DecisionContext& ctx) {
  ExpansionStack stack;
  return structural_emptiness(node, ctx, stack);
}

}  // namespace tessolin::decide

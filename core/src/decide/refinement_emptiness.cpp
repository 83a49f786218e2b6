// Emptiness of refinements: length and numeric bounds, and how many
// distinct values a set's element schema offers.
#include <algorithm>

#include "decide/emptiness.hpp"

namespace tessolin::decide {

using ir::ConstantOrder;
using ir::ConstraintKind;
using ir::NodeKind;
using ir::OracleAnswer;
using ir::SchemaNode;
using ir::SlotKind;

void BoundsRecord::add(const ir::Constraint& c, ir::Oracle& oracle) {
  bool lower_side;
  BoundState state;
  switch (c.kind()) {
    case ConstraintKind::Ge:
      lower_side = true;
      state = BoundState::Inclusive;
      break;
    case ConstraintKind::Gt:
      lower_side = true;
      state = BoundState::Strict;
      break;
    case ConstraintKind::Le:
      lower_side = false;
      state = BoundState::Inclusive;
      break;
    case ConstraintKind::Lt:
      lower_side = false;
      state = BoundState::Strict;
      break;
    default: return;
  }
  uint64_t& held = lower_side ? lower : upper;
  BoundState& held_state = lower_side ? lower_state : upper_state;
  if (held_state == BoundState::Absent) {
    held = c.word();
    held_state = state;
    return;
  }
  switch (oracle.compare_constants(c.word(), held)) {
    case ConstantOrder::Equal:
      if (state == BoundState::Strict) held_state = BoundState::Strict;
      break;
    case ConstantOrder::Greater:
      if (lower_side) {
        held = c.word();
        held_state = state;
      }
      break;
    case ConstantOrder::Less:
      if (!lower_side) {
        held = c.word();
        held_state = state;
      }
      break;
    default: comparable = false; break;
  }
}

BoundsRecord refinement_bounds(std::span<const ir::Constraint> constraints, ir::Oracle& oracle) {
  BoundsRecord r;
  for (const ir::Constraint& c : constraints) r.add(c, oracle);
  return r;
}

namespace {

bool is_bound(ConstraintKind k) noexcept { return k <= ConstraintKind::Lt; }
bool is_length(ConstraintKind k) noexcept { return k == ConstraintKind::MinLen || k == ConstraintKind::MaxLen; }

OracleAnswer range_empty(ir::Oracle& oracle, const BoundsRecord& b) {
  return oracle.integer_range_empty(b.lower, b.lower_state == BoundState::Strict, b.upper,
                                    b.upper_state == BoundState::Strict);
}

uint64_t saturating_add(uint64_t a, uint64_t b) noexcept {
  return a > ValueCountRange::kUnbounded - b ? ValueCountRange::kUnbounded : a + b;
}

ValueCountRange count_range_at(const SchemaNode& node, ir::Oracle& oracle, WorkBudget* budget, int depth) {
  constexpr uint64_t kAll = ValueCountRange::kUnbounded;
  switch (node.kind()) {
    case NodeKind::Nothing: return {0, 0};
    case NodeKind::None: return {1, 1};
    case NodeKind::Bool: return {2, 2};
    case NodeKind::Anything:
    case NodeKind::Int:
    case NodeKind::Float:
    case NodeKind::Str:
    case NodeKind::Bytes: return {kAll, kAll};
    case NodeKind::Literal:
      switch (oracle.constants_distinct(node.number(), node.number())) {
        case OracleAnswer::No:
          // Counted only when the constant is surely hashable: an
          // unhashable constant can never be a set's element.
          return {static_cast<uint8_t>(oracle.scalar_kind(node.number())) <= 5 ? 1u : 0u, 1};
        case OracleAnswer::Yes: return {0, 0};
        default: return {0, kAll};
      }
    case NodeKind::Collection:
      // The empty frozenset; a mutable set is unhashable.
      return {node.collection_kind() == ir::CollectionKind::FrozenSet ? 1u : 0u, kAll};
    case NodeKind::Union: {
      if (depth > 64) return {0, kAll};
      ValueCountRange r{0, 0};
      for (const SchemaNode& m : node.members()) {
        if (budget && !budget->spend()) return {0, kAll};
        ValueCountRange x = count_range_at(m, oracle, budget, depth + 1);
        r.at_least = std::max(r.at_least, x.at_least);
        r.at_most = saturating_add(r.at_most, x.at_most);
      }
      return r;
    }
    default: return {0, kAll};
  }
}

}  // namespace

ValueCountRange value_count_range(const SchemaNode& node, ir::Oracle& oracle, WorkBudget* budget) {
  return count_range_at(node, oracle, budget, 0);
}

Emptiness refinement_emptiness(const SchemaNode& base, std::span<const ir::Constraint> constraints,
                               DecisionContext& ctx, ExpansionStack& stack) {
  // 1: a literal base counts as no known kind here.
  const SlotKind kind = base.is(NodeKind::Literal) ? SlotKind::Unknown : ir::node_slot_kind(base, ctx.oracle);
  // 2
  if (structural_emptiness(base, ctx, stack).emptiness() == Emptiness::Empty) return Emptiness::Empty;
  // 3
  bool has_min = false, has_max = false, only_bounds = true, only_lengths = true;
  uint64_t largest_min = 0, smallest_max = UINT64_MAX;
  for (const ir::Constraint& c : constraints) {
    if (c.kind() == ConstraintKind::MinLen) {
      has_min = true;
      largest_min = std::max(largest_min, c.word());
    } else if (c.kind() == ConstraintKind::MaxLen) {
      has_max = true;
      smallest_max = std::min(smallest_max, c.word());
    }
    only_bounds = only_bounds && is_bound(c.kind());
    only_lengths = only_lengths && is_length(c.kind());
  }
  if (has_min && has_max && smallest_max < largest_min) return Emptiness::Empty;
  // 4
  const BoundsRecord bounds = refinement_bounds(constraints, ctx.oracle);
  if (bounds.has_lower() && bounds.has_upper()) {
    ConstantOrder order = ctx.oracle.compare_constants(bounds.lower, bounds.upper);
    const bool strict = bounds.lower_state == BoundState::Strict || bounds.upper_state == BoundState::Strict;
    if (order == ConstantOrder::Greater) return Emptiness::Empty;
    if (order == ConstantOrder::Equal && strict) return Emptiness::Empty;
    if ((order == ConstantOrder::Less || order == ConstantOrder::Unordered) &&
        (kind == SlotKind::Bool || kind == SlotKind::Int) && range_empty(ctx.oracle, bounds) == OracleAnswer::Yes)
      return Emptiness::Empty;
  }
  // 5
  if (base.is(NodeKind::Int)) {
    if (!only_bounds || !bounds.comparable) return Emptiness::Undecided;
    if (bounds.has_lower() && bounds.has_upper())
      return range_empty(ctx.oracle, bounds) == OracleAnswer::No ? Emptiness::Inhabited : Emptiness::Undecided;
    if (bounds.has_lower() || bounds.has_upper()) {
      // No integer within [v, v] exactly when v is not integral.
      const uint64_t v = bounds.has_lower() ? bounds.lower : bounds.upper;
      return ctx.oracle.integer_range_empty(v, false, v, false) == OracleAnswer::No ? Emptiness::Inhabited
                                                                                    : Emptiness::Undecided;
    }
    return Emptiness::Inhabited;
  }
  // 6
  if (!only_lengths) return Emptiness::Undecided;
  if (base.is(NodeKind::Str) || base.is(NodeKind::Bytes)) return Emptiness::Inhabited;
  const SchemaNode* element = nullptr;
  if (base.is(NodeKind::Collection))
    element = base.element().get();
  else if (base.is(NodeKind::Sequence) && base.prefix().empty() && base.tail())
    element = base.tail().get();
  if (!element) return Emptiness::Undecided;
  if (largest_min == 0) return Emptiness::Inhabited;  // the empty container
  if (base.is(NodeKind::Sequence)) return structural_emptiness(*element, ctx, stack).emptiness();
  const ValueCountRange counts = value_count_range(*element, ctx.oracle, &ctx.budget);
  if (largest_min > counts.at_most) return Emptiness::Empty;
  if (counts.at_least >= largest_min) return Emptiness::Inhabited;
  return Emptiness::Undecided;
}

}  // namespace tessolin::decide

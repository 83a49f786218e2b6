// The decision entry points into the descriptor algebra.
// Tested by core/tests/decide and core/tests/decide_threads.
#include "decide/descriptor_decisions.hpp"

#include <optional>
#include <utility>

#include "decide/decisions.hpp"
#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/lowering.hpp"

namespace tessolin::decide {

using descr::Descriptor;
using descr::Outcome;
using ir::SchemaNode;

namespace {

// Unfolded recursion counts only when there are definitions to unfold:
// without them a back edge reaches the lowering, which gives up.
bool recursion_to_unfold(const SchemaNode& node, ir::DefinitionsView definitions) {
  return !definitions.empty() && has_recursion(node);
}

// Whether a has values outside b's lowering: the meet of a with b's
// complement, tested in one fuel window. Nothing: gave up.
std::optional<Emptiness> difference_emptiness(const Descriptor& a, const Descriptor& b) {
  descr::FuelWindow window;
  const Descriptor outside_b = descr::complement_descriptor(b);
  Outcome<Descriptor> difference = descr::combine_descriptors(a, outside_b, descr::CombineMode::Meet);
  if (!difference) return std::nullopt;
  return descr::descriptor_emptiness(*difference);
}

}  // namespace

Outcome<Descriptor> lower_for_decision(const SchemaNode& node, ir::DefinitionsView definitions, UnfoldPolarity polarity,
                                       ir::Oracle& oracle) {
  std::optional<SchemaNode> unfolded;
  if (recursion_to_unfold(node, definitions)) unfolded = unfold_recursion(node, definitions, 1, polarity);
  const SchemaNode& target = unfolded ? *unfolded : node;
  descr::FuelWindow window;
  uint32_t allowance = descr::kLoweringAllowance;
  return descr::lower_node(target, oracle, allowance, descr::kLoweringDepth);
}

bool descriptors_prove_empty(const SchemaNode& node, ir::DefinitionsView definitions, ir::Oracle& oracle) {
  Outcome<Descriptor> lowered = lower_for_decision(node, definitions, UnfoldPolarity::Superset, oracle);
  return lowered && descr::descriptor_emptiness(*lowered) == Emptiness::Empty;
}

bool decide_empty(const SchemaNode& node, ir::Oracle& oracle, ir::DefinitionsView definitions) {
  WorkBudget budget(WorkBudget::kQuerySteps);
  return is_empty(node, definitions, oracle, budget) == Emptiness::Empty;
}

Relation relation_by_descriptors(const SchemaNode& a, const SchemaNode& b, ir::Oracle& oracle,
                                 ir::DefinitionsView definitions) {
  const bool recursive = recursion_to_unfold(a, definitions) || recursion_to_unfold(b, definitions);
  Outcome<Descriptor> lowered_a = lower_for_decision(a, definitions, UnfoldPolarity::Superset, oracle);
  if (!lowered_a) return Relation::Undecided;
  // An empty a lies in every b, whatever b lowers to.
  if (descr::descriptor_emptiness(*lowered_a) == Emptiness::Empty) return Relation::Subset;
  Outcome<Descriptor> lowered_b = lower_for_decision(b, definitions, UnfoldPolarity::Subset, oracle);
  if (!lowered_b) return Relation::Undecided;
  const std::optional<Emptiness> outside = difference_emptiness(*lowered_a, *lowered_b);
  if (!outside) return Relation::Undecided;
  if (*outside == Emptiness::Empty) return Relation::Subset;
  // A witness may come from the approximation of recursion.
  if (recursive || *outside != Emptiness::Inhabited) return Relation::Undecided;
  return Relation::NotSubset;
}

}  // namespace tessolin::decide

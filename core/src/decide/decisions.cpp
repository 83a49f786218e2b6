#include "decide/decisions.hpp"

#include "decide/descriptor_decisions.hpp"
#include "decide/inclusion.hpp"

namespace tessolin::decide {

using ir::SchemaNode;

namespace {

Relation one_direction(const SchemaNode& a, const SchemaNode& b, ir::DefinitionsView definitions, ir::Oracle& oracle,
                       WorkBudget& budget) {
  DecisionContext ctx(oracle, definitions, budget);
  AssumedPairs assumed;
  Relation r = decide_inclusion(a, b, ctx, assumed);
  if (r != Relation::Undecided) return r;
  return relation_by_descriptors(a, b, oracle, definitions);
}

}  // namespace

Emptiness is_empty(const SchemaNode& root, ir::DefinitionsView definitions, ir::Oracle& oracle, WorkBudget& budget) {
  DecisionContext ctx(oracle, definitions, budget);
  Emptiness e = emptiness_with_fresh_stack(root, ctx).emptiness();
  if (e != Emptiness::Undecided) return e;
  // The algebra proves emptiness or claims nothing: after a one-level
  // unfolding of recursion, a value it finds may not be a value of root.
  return descriptors_prove_empty(root, definitions, oracle) ? Emptiness::Empty : Emptiness::Undecided;
}

Relation relation(const SchemaNode& a, const SchemaNode& b, ir::DefinitionsView definitions, ir::Oracle& oracle,
                  WorkBudget& budget) {
  return one_direction(a, b, definitions, oracle, budget);
}

bool is_equivalent(const SchemaNode& a, const SchemaNode& b, ir::DefinitionsView definitions, ir::Oracle& oracle,
                   WorkBudget& budget) {
  if (one_direction(a, b, definitions, oracle, budget) != Relation::Subset) return false;
  return one_direction(b, a, definitions, oracle, budget) == Relation::Subset;
}

}  // namespace tessolin::decide

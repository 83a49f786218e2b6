#include "decide/decisions.hpp"

#include "decide/inclusion.hpp"

namespace tessolin::decide {

using ir::SchemaNode;

namespace {

// The descriptor algebra's turn, for questions the schema-level decisions
// leave open. Until it exists it claims nothing.
Emptiness emptiness_by_descriptors(const SchemaNode&, ir::DefinitionsView, ir::Oracle&) {
  return Emptiness::Undecided;
}
Relation relation_by_descriptors(const SchemaNode&, const SchemaNode&, ir::DefinitionsView, ir::Oracle&) {
  return Relation::Undecided;
}

Relation one_direction(const SchemaNode& a, const SchemaNode& b, ir::DefinitionsView definitions,
                       ir::Oracle& oracle, WorkBudget& budget) {
  DecisionContext ctx(oracle, definitions, budget);
  AssumedPairs assumed;
  Relation r = decide_inclusion(a, b, ctx, assumed);
  if (r != Relation::Undecided) return r;
  return relation_by_descriptors(a, b, definitions, oracle);
}

}  // namespace

Emptiness is_empty(const SchemaNode& root, ir::DefinitionsView definitions, ir::Oracle& oracle, WorkBudget& budget) {
  DecisionContext ctx(oracle, definitions, budget);
  Emptiness e = emptiness_with_fresh_stack(root, ctx).emptiness();
  if (e != Emptiness::Undecided) return e;
  return emptiness_by_descriptors(root, definitions, oracle);
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

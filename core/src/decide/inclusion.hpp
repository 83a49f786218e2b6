// The schema-level inclusion decision: is every value of a also in b?
#pragma once

#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "decide/decision_context.hpp"
#include "decide/emptiness.hpp"
#include "decide/relation.hpp"
#include "ir/node.hpp"

namespace tessolin::decide {

// The (a, b) pairs whose definitions are being compared on the current
// path; each is assumed included, which ends the unfolding of recursion.
using AssumedPairs = std::vector<std::pair<ir::SchemaNode, ir::SchemaNode>>;

Relation decide_inclusion(const ir::SchemaNode& a, const ir::SchemaNode& b, DecisionContext& ctx,
                          AssumedPairs& assumed);

// The rule for an a that is a Reference or a Refinement.
Relation inclusion_via_reference(const ir::SchemaNode& a, const ir::SchemaNode& b, DecisionContext& ctx,
                                 AssumedPairs& assumed);

// The meet of two nodes, normalised as the intersection constructor does.
ir::SchemaNode meet_pair(const ir::SchemaNode& x, const ir::SchemaNode& y, ir::DefinitionsView definitions);

// Disjoint by kinds, or the meet proved empty.
bool proved_disjoint(const ir::SchemaNode& a, const ir::SchemaNode& b, DecisionContext& ctx);

// Whether the product of the item schemas lies within the union of the
// alternatives (item lists of the same length). False means not proved.
bool member_list_inclusion(std::span<const ir::SchemaNode> items,
                           std::span<const std::span<const ir::SchemaNode>> alternatives, DecisionContext& ctx,
                           AssumedPairs& assumed);

// ---- settling an intermediate answer for the pair (a, b) of a call

// Some value of a, if a has any, lies outside b.
Relation refutation_step(const ir::SchemaNode& a, DecisionContext& ctx);
// a empty, or b known to hold every value.
Relation emptiness_fallback(const ir::SchemaNode& a, const ir::SchemaNode& b, DecisionContext& ctx);
// Subset stays, NotSubset goes to the refutation step, Undecided to the
// emptiness fallback.
Relation settle(Relation r, const ir::SchemaNode& a, const ir::SchemaNode& b, DecisionContext& ctx);

// The per-kind rules and the kind-based default, reached from
// decide_inclusion's last test.
Relation per_kind_inclusion(const ir::SchemaNode& a, const ir::SchemaNode& b, DecisionContext& ctx,
                            AssumedPairs& assumed);
Relation kind_refutation(const ir::SchemaNode& a, const ir::SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed);

}  // namespace tessolin::decide

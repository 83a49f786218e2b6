// The relation questions a validator answers about sets: is it empty, is it
// included in another schema, are two schemas the same set.
//
// Each entry asks the schema-level decisions first; where those leave the
// question open, the descriptor algebra gets its turn
// (descriptor_decisions.hpp). Both schemas must live in
// one constants pool and one definition list, and the oracle must answer
// over that pool. Nothing here throws but InternalError for a broken
// invariant; a spent budget or an oracle that declines gives Undecided.
#pragma once

#include "decide/emptiness.hpp"
#include "decide/relation.hpp"
#include "decide/work_budget.hpp"
#include "ir/definitions.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::decide {

// Empty and Inhabited are proofs.
Emptiness is_empty(const ir::SchemaNode& root, ir::DefinitionsView definitions, ir::Oracle& oracle, WorkBudget& budget);

// Whether every value of a lies in b.
Relation relation(const ir::SchemaNode& a, const ir::SchemaNode& b, ir::DefinitionsView definitions, ir::Oracle& oracle,
                  WorkBudget& budget);

// True only on a proof of inclusion both ways; the two directions share the
// one budget, and the second is not asked when the first is not proved.
bool is_equivalent(const ir::SchemaNode& a, const ir::SchemaNode& b, ir::DefinitionsView definitions,
                   ir::Oracle& oracle, WorkBudget& budget);

}  // namespace tessolin::decide

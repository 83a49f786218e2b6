// The descriptor algebra's turn in a decision: what the schema-level
// decisions leave undecided is lowered into descriptors and settled there.
//
// Every lowering, and the complement, meet and emptiness test of an
// inclusion difference, runs in its own fuel window (4096 units, the
// thread's previous fuel put back when the window closes, also after a
// give-up); the emptiness test of a just-lowered schema runs outside any
// window. Recursion is unfolded once before lowering, approximated on the
// side that keeps the answer sound: the schema asked about (the left side
// of an inclusion) is enlarged, the right side is shrunk. A witness found
// through such an approximation proves nothing, so with recursion only
// "empty" and "subset" are answered. Nothing here throws; a give-up is
// "undecided". Tested by core/tests/decide and core/tests/decide_threads.
#pragma once

#include "decide/relation.hpp"
#include "decide/unfold.hpp"
#include "descr/descriptor.hpp"
#include "ir/definitions.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::decide {

// The node (recursion unfolded once with the polarity when there are
// definitions) lowered in one fuel window with the full allowance and depth.
descr::Outcome<descr::Descriptor> lower_for_decision(const ir::SchemaNode& node, ir::DefinitionsView definitions,
                                                     UnfoldPolarity polarity, ir::Oracle& oracle);

// True only when the lowered node is proved empty (its emptiness test
// unlimited by fuel). No schema-level test first: see decide_empty.
bool descriptors_prove_empty(const ir::SchemaNode& node, ir::DefinitionsView definitions, ir::Oracle& oracle);

// True only when the schema is proved empty: the schema-level test with a
// fresh budget, then the descriptors for what it leaves undecided.
bool decide_empty(const ir::SchemaNode& node, ir::Oracle& oracle, ir::DefinitionsView definitions);

// Whether every value of a lies in b, by descriptors alone.
Relation relation_by_descriptors(const ir::SchemaNode& a, const ir::SchemaNode& b, ir::Oracle& oracle,
                                 ir::DefinitionsView definitions);

}  // namespace tessolin::decide

// The per-kind walks that walk_node dispatches to. Each answers membership
// of the input in the node's set and, in collecting modes, records why not.
// Every walk leaves the context's path as it found it.
#pragma once

#include <cstdint>

#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

// Sequences (lists, tuples) and sets.
bool walk_sequence(ir::SequenceKind kind, const ir::NodeList& prefix, const ir::NodeRef& tail, WalkInput input,
                   const WalkContext& ctx);
bool walk_set(ir::CollectionKind kind, const ir::SchemaNode& element, WalkInput input, const WalkContext& ctx);

// Records and mappings: both stages (membership, then the report).
bool walk_record(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx);

// Combinators.
bool walk_union(const ir::NodeList& members, WalkInput input, const WalkContext& ctx);
bool walk_intersection(const ir::NodeList& members, WalkInput input, const WalkContext& ctx);
bool walk_complement(const ir::SchemaNode& inner, WalkInput input, const WalkContext& ctx);
bool walk_reference(uint64_t definition, WalkInput input, const WalkContext& ctx);

// Leaves that call back into pooled Python objects.
bool check_literal(uint64_t pool_index, WalkInput input, const WalkContext& ctx);
bool check_instance(uint64_t pool_index, WalkInput input, const WalkContext& ctx);
bool walk_object(const ir::FieldList& attributes, WalkInput input, const WalkContext& ctx);
bool walk_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints, WalkInput input,
                     const WalkContext& ctx);
// One constraint over a Python value (a refinement's base already passed);
// a failure is recorded in collecting modes.
bool check_refinement_constraint(const ir::Constraint& c, PyObject* value, const WalkContext& ctx);

}  // namespace tessolin::check

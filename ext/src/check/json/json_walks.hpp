// The JSON column of the walk: parsed JSON values checked in place, without
// making Python objects, except where a check must call into a pooled
// Python object (predicates, odd constants), and then at most once per
// value and node.
//
// Membership only: is_valid_json's exact road is the one check that walks
// JSON values, in Membership mode; every collecting check (validate_json,
// load) walks the Python objects of the document instead. So these walks
// record nothing and stop at the first failure. A JSON value stands for
// the Python object json.loads would make (leaf_tests.hpp); every answer
// equals the answer of the walk over that object.
#pragma once

#include <cstdint>

#include "check/json/json_number_order.hpp"
#include "check/leaf_tests.hpp"
#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "ir/node.hpp"
#include "json/json_value.hpp"

namespace tessolin::check {

// An exact int, bool or float constant as a Number; nothing for any other
// type (its comparisons are Python's business).
std::optional<Number> constant_number(PyObject* c) noexcept;

bool walk_json_sequence(ir::SequenceKind kind, const ir::NodeList& prefix, const ir::NodeRef& tail, WalkInput input,
                        const WalkContext& ctx);
bool walk_json_record(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx);
bool walk_json_union(const ir::NodeList& members, WalkInput input, const WalkContext& ctx);
bool check_json_literal(uint64_t pool_index, WalkInput input, const WalkContext& ctx);
bool check_json_instance(uint64_t pool_index, WalkInput input, const WalkContext& ctx);
bool walk_json_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints, WalkInput input,
                          const WalkContext& ctx);

}  // namespace tessolin::check

// The seam between the walk and parsed JSON values. The walk over Python
// objects is complete; these are the calls a JSON input goes through.
#pragma once

#include "binding/ref.hpp"
#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

// The Python object a JSON input stands for (a new reference), or an empty
// PyRef with the exception pending.
py::PyRef json_input_to_object(WalkInput input) noexcept;

// walk_node's dispatch for a JSON input, once depth and abort are handled.
bool walk_json_node(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx);

}  // namespace tessolin::check

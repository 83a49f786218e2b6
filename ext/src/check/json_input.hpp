// A parsed JSON value as the Python object it stands for: what the walk
// hands to the checks that call into Python (predicates, odd constants,
// attributes) and renders.
#pragma once

#include "binding/ref.hpp"
#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

// The Python object a JSON input stands for (a new reference), or an empty
// PyRef with the exception pending.
py::PyRef json_input_to_object(WalkInput input) noexcept;

}  // namespace tessolin::check

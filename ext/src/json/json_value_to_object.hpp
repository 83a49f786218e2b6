// The Python object a parsed JSON value stands for: what the walk over JSON
// values renders in messages and hands to the checks that need a Python
// object (literals, instances, attributes, refinements).
#pragma once

#include <Python.h>

#include "binding/ref.hpp"
#include "json/json_value.hpp"

namespace tessolin::py {

// null -> None, bool, int (beyond 64 bits too), float, str, a new list, a
// new dict. The value is immutable and its nesting bounded by the parser,
// so the recursion is bounded. Returns an empty PyRef with the exception
// pending when an object cannot be made (the partial result is released).
PyRef json_value_to_object(const json::JsonValue& value) noexcept;

}  // namespace tessolin::py

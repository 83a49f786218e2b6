// The builtin classes that compile to their own node kinds.
#pragma once

#include <Python.h>

#include <optional>

#include "ir/node.hpp"

namespace tessolin::build {

// By identity: bool, int, float, str, bytes, NoneType give their leaves;
// list and tuple any-length sequences of anything; set and frozenset
// collections of anything; dict the record of one (anything, anything)
// clause. Any other object (subclasses and `object` included): nullopt;
// `object` is recognised by compile_class through the typing handles.
// Calls no Python code; throws only InternalError.
std::optional<ir::SchemaNode> builtin_class_node(PyObject* cls);

}  // namespace tessolin::build

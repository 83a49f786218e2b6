// Definitions brought into a schema: recursive(...) fixpoints, self-naming
// type aliases and embedded validators.
#pragma once

#include <Python.h>

#include <span>
#include <vector>

#include "binding/ref.hpp"
#include "ir/node.hpp"
#include "ir/renumber.hpp"

namespace tessolin::build {

// The body of recursive(builder, /): calls builder with a placeholder
// validator, compiles what it returns, ties the fixpoint and finalises it.
// Throws PythonError (the builder's exception, a compile error, the
// contractiveness ValueError, a finalisation error).
py::PyRef build_recursive(PyObject* builder);

// A renumbered copy of each node, in order (a node needing no change is
// copied as it is).
std::vector<ir::SchemaNode> import_nodes(std::span<const ir::SchemaNode> nodes, const ir::IndexRenumbering& params);

}  // namespace tessolin::build

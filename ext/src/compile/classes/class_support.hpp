// Reading classes: their resolved annotations and their flag attributes.
#pragma once

#include <Python.h>

#include "binding/ref.hpp"
#include "compile/compile_context.hpp"
#include "ir/node.hpp"

namespace tessolin::build {

// typing.get_type_hints(cls, include_extras=True), required to be a dict
// (or subclass): otherwise the binding's TypeError naming dict.
py::PyRef type_hints(PyObject* cls);

// The truth of getattr(cls, name); a failing read or truth test is false.
bool class_flag_attribute(PyObject* cls, const char* name) noexcept;

// A dataclass or named tuple: the meet of its instance test and its shape.
ir::SchemaNode compile_shaped_class(CompileContext& ctx, PyObject* cls);

}  // namespace tessolin::build

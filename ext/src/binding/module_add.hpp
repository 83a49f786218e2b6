// Filling a module: attributes registered in __all__, and built-in functions.
#pragma once

#include <Python.h>

#include "binding/ref.hpp"

namespace tessolin::py {

// Appends `name` to the module's __all__ (created as an empty list when the
// module has none; an __all__ that is not a list is the binding's type
// error), then sets the attribute. The name is appended before the
// attribute is set. Throws PythonError.
void module_add(PyObject* module, const char* name, PyRef value);

// Adds a function under its own __name__ (which must be a str).
void module_add_function(PyObject* module, PyRef function);

// A built-in function from a static method definition. With a module, its
// self is the module and its __module__ the module's name; without one it
// has neither (the error-hook built-ins). `def` must outlive the function.
PyRef new_builtin_function(PyMethodDef* def, PyObject* module);

}  // namespace tessolin::py

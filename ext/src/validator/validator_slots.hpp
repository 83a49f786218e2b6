// Bodies of the Validator slots that live in their own files; the type
// (validator_type.cpp) installs them through the binding trampolines.
#pragma once

#include <Python.h>

#include "binding/ref.hpp"

namespace tessolin::py {

// Annotation text of the schema.
PyRef validator_repr(PyObject* self);
// SipHash-1-3 with zero keys over the canonical form; raises a fatal
// exception from a constant's __hash__, drops an ordinary one.
Py_hash_t validator_hash(PyObject* self);
// == and != by schema; NotImplemented for other operators and non-validators.
PyRef validator_richcompare(PyObject* self, PyObject* other, int op);

}  // namespace tessolin::py

// The lazily built attributes of ValidationError: the bodies behind the
// built-ins validation_error_getattr(instance, name, /) and
// validation_error_reduce(instance, /).
#pragma once

#include <Python.h>

#include "binding/ref.hpp"

namespace tessolin::py {

// Serves "code", "path", "message", "expected", "value", "errors" from the
// instance's `_failures` and stores the one asked for in the instance dict;
// any other name is AttributeError. Without a usable `_failures` it answers
// the defaults ("" or ()) and stores nothing.
PyRef validation_error_getattr(PyObject* instance, PyObject* name);

// Stores all six attributes (from one read of `_failures`), drops
// `_failures`, and returns Exception.__reduce__(instance).
PyRef validation_error_reduce(PyObject* instance);

// The static method definitions of the two built-ins (signature docstrings
// included), for the hook installation.
PyMethodDef& validation_error_getattr_def();
PyMethodDef& validation_error_reduce_def();

}  // namespace tessolin::py

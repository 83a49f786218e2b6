// The `fail_fast` keyword of the raising check methods.
#pragma once

#include <Python.h>

namespace tessolin::py {

// False when absent; an exact bool or a NumPy boolean scalar gives its truth;
// anything else raises the argument-type TypeError (throws PythonError).
bool fail_fast_argument(PyObject* value);

}  // namespace tessolin::py

// The process-wide reprlib.Repr that renders containers in messages.
#pragma once

#include <Python.h>

namespace tessolin::py {

// A reprlib.Repr() with maxlevel 12, container limits 32 and string, long
// and other limits 80, built on first use and kept for the process (borrowed
// reference). Throws PythonError when it cannot be built; the next call
// tries again.
PyObject* value_repr();

}  // namespace tessolin::py

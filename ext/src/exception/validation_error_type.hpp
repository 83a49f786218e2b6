// The exception class tessolin.ValidationError.
#pragma once

#include <Python.h>

namespace tessolin::py {

// The class (base Exception), created once per process and shared by every
// module execution (borrowed reference). Its creation failing is an internal
// error with the text "Failed to initialize new exception type.".
PyObject* validation_error_type();

}  // namespace tessolin::py

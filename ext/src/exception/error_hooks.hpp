// The Python-level hooks that make ValidationError's attributes lazy.
#pragma once

#include <Python.h>

namespace tessolin::py {

// Executes the embedded hook source as module "tessolin._error_hooks",
// calls its make(read, reduce) with the built-ins validation_error_getattr
// and validation_error_reduce, and installs the two functions it returns as
// ValidationError.__getattr__ and __reduce__. Runs on every module
// execution; throws PythonError (or InternalError) on any failure.
void install_validation_error_hooks();

}  // namespace tessolin::py

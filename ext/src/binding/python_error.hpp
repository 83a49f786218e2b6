// The C++ exception that says "a Python exception is pending".
#pragma once

namespace tessolin::py {

// Thrown right after a C API call reported failure; the Python exception
// itself stays in the thread's error indicator until a trampoline returns
// NULL / -1 to CPython (binding/error.hpp has the rules).
struct PythonError {};

}  // namespace tessolin::py

// The module functions that build validators by set operations:
// union, intersection, complement and recursive.
#pragma once

#include <Python.h>

namespace tessolin::py {

// Adds union, intersection, complement and recursive, in that order.
void add_combinator_functions(PyObject* module);

}  // namespace tessolin::py

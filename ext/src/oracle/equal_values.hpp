// The values a literal admits: every value of exactly its constant's type
// that equals the constant. Testing the constant alone speaks for all of them
// only when equal values cannot fare differently: 1.0 == 1 in a dataclass
// field, -0.0 == 0.0, Decimal("1.0") == Decimal("1"), or two instances of a
// str subclass carrying different attributes.
#pragma once

#include <Python.h>

#include <optional>
#include <vector>

#include "binding/ref.hpp"
#include "check/first_fatal.hpp"

namespace tessolin::oracle {

// Values, held, that together stand for every value the literal of `x`
// admits, `x` first: `x` alone for exact None, bool, int, str and bytes,
// non-zero floats and instances of classes that compare by identity; a float
// or complex zero with its signed twins. nullopt for any other constant (an
// enum member of a closed enum is the caller's to settle through its
// members). Throws PythonError when a Python call fails.
std::optional<std::vector<py::PyRef>> literal_representatives(PyObject* x, check::FirstFatal& fatal);

}  // namespace tessolin::oracle

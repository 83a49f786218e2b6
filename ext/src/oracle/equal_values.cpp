#include "oracle/equal_values.hpp"

#include <cmath>

#include "binding/error.hpp"
#include "oracle/class_facts.hpp"

namespace tessolin::oracle {

using ir::SlotKind;
using py::PyRef;

namespace {

using Values = std::vector<PyRef>;

Values only(PyObject* x) {
  Values values;
  values.push_back(PyRef::borrow(x));
  return values;
}

// A float zero and its twin of the other sign; another float equals only
// floats of its bits, a NaN nothing.
Values float_twins(PyObject* x) {
  Values values = only(x);
  const double v = PyFloat_AS_DOUBLE(x);
  if (v == 0.0) values.push_back(PyRef::check(PyFloat_FromDouble(-v)));
  return values;
}

// The value with each zero part of either sign; a NaN part makes the value
// equal to nothing but itself.
Values complex_twins(PyObject* x) {
  Values values = only(x);
  const Py_complex c = PyComplex_AsCComplex(x);
  if (std::isnan(c.real) || std::isnan(c.imag)) return values;
  const auto twin = [&](double real, double imag) {
    values.push_back(PyRef::check(PyComplex_FromDoubles(real, imag)));
  };
  if (c.real == 0.0) twin(-c.real, c.imag);
  if (c.imag == 0.0) twin(c.real, -c.imag);
  if (c.real == 0.0 && c.imag == 0.0) twin(-c.real, -c.imag);
  return values;
}

}  // namespace

std::optional<Values> literal_representatives(PyObject* x, check::FirstFatal& fatal) {
  switch (scalar_kind_of(x)) {
    case SlotKind::Float: return float_twins(x);
    case SlotKind::Unknown: break;
    default: return only(x);
  }
  if (PyComplex_CheckExact(x)) return complex_twins(x);
  if (has_identity_eq(reinterpret_cast<PyObject*>(Py_TYPE(x)), fatal)) return only(x);
  return std::nullopt;
}

}  // namespace tessolin::oracle

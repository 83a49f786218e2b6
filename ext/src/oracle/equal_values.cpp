#include "oracle/equal_values.hpp"

#include <cmath>

#include "binding/error.hpp"
#include "limits/limits.hpp"
#include "oracle/class_facts.hpp"
#include "oracle/enum_closure.hpp"

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

// 0.0 and -0.0 for a float zero; the value itself otherwise (a NaN equals
// nothing, another float equals only floats of its bits).
Values float_twins(PyObject* x) {
  if (PyFloat_AS_DOUBLE(x) != 0.0) return only(x);
  Values values;
  values.push_back(PyRef::check(PyFloat_FromDouble(0.0)));
  values.push_back(PyRef::check(PyFloat_FromDouble(-0.0)));
  return values;
}

// Every sign of each zero part; a part that is a NaN makes the value equal
// to nothing but itself.
Values complex_twins(PyObject* x) {
  const Py_complex c = PyComplex_AsCComplex(x);
  if (std::isnan(c.real) || std::isnan(c.imag)) return only(x);
  const int reals = c.real == 0.0 ? 2 : 1;
  const int imags = c.imag == 0.0 ? 2 : 1;
  Values values;
  for (int r = 0; r < reals; ++r)
    for (int i = 0; i < imags; ++i)
      values.push_back(PyRef::check(PyComplex_FromDoubles(r == 0 ? c.real : -c.real, i == 0 ? c.imag : -c.imag)));
  return values;
}

// The members of x's enum equal to x, when the enum is closed: its only
// instances are then its members.
std::optional<Values> equal_members(PyObject* x) {
  std::optional<Values> members =
      closed_enum_members(reinterpret_cast<PyObject*>(Py_TYPE(x)), limits::kMaxEnumMembers);
  if (!members) return std::nullopt;
  Values equal;
  for (PyRef& member : *members)
    if (py::check(PyObject_RichCompareBool(member.get(), x, Py_EQ)) == 1) equal.push_back(std::move(member));
  return equal;
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
  if (fatal.met()) return std::nullopt;
  return equal_members(x);
}

}  // namespace tessolin::oracle

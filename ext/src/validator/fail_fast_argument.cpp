#include "validator/fail_fast_argument.hpp"

#include "binding/binding.hpp"

namespace tessolin::py {

namespace {

// A NumPy boolean scalar: its type's module is "numpy" and its name "bool_"
// or "bool". Recognised by name, so NumPy is never imported.
bool is_numpy_bool(PyObject* value) {
  PyTypeObject* type = Py_TYPE(value);
  PyRef module = PyRef::steal(PyType_GetModuleName(type));
  if (!module) {
    PyErr_Clear();
    return false;
  }
  if (!PyUnicode_Check(module.get()) || PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0) return false;
  PyRef name = PyRef::steal(PyType_GetName(type));
  if (!name) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_CompareWithASCIIString(name.get(), "bool_") == 0 ||
         PyUnicode_CompareWithASCIIString(name.get(), "bool") == 0;
}

}  // namespace

bool fail_fast_argument(PyObject* value) {
  if (value == nullptr) return false;
  if (PyBool_Check(value)) return value == Py_True;
  if (is_numpy_bool(value)) {
    inquiry truth = Py_TYPE(value)->tp_as_number ? Py_TYPE(value)->tp_as_number->nb_bool : nullptr;
    if (truth != nullptr) return check(truth(value)) != 0;
  }
  raise_argument_type("fail_fast", value, "bool");
}

}  // namespace tessolin::py

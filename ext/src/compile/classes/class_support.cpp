#include "compile/classes/class_support.hpp"

#include "binding/error.hpp"
#include "handles/typing_handles.hpp"

namespace tessolin::build {

py::PyRef type_hints(PyObject* cls) {
  const py::TypingHandles& h = py::typing_handles();
  py::PyRef kwargs = py::PyRef::check(PyDict_New());
  py::check(PyDict_SetItemString(kwargs.get(), "include_extras", Py_True));
  py::PyRef args = py::PyRef::check(PyTuple_Pack(1, cls));
  py::PyRef hints = py::PyRef::check(PyObject_Call(h.get_type_hints.get(), args.get(), kwargs.get()));
  if (!PyDict_Check(hints.get())) py::raise_not_instance(hints.get(), "dict");
  return hints;
}

bool class_flag_attribute(PyObject* cls, const char* name) noexcept {
  PyObject* value = PyObject_GetAttrString(cls, name);
  if (value == nullptr) {
    PyErr_Clear();
    return false;
  }
  int truth = PyObject_IsTrue(value);
  Py_DECREF(value);
  if (truth < 0) {
    PyErr_Clear();
    return false;
  }
  return truth == 1;
}

}  // namespace tessolin::build

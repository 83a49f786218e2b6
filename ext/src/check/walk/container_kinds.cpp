#include "check/walk/container_kinds.hpp"

#include <array>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "binding/trampoline.hpp"
#include "handles/typing_handles.hpp"

namespace tessolin::check {

namespace {

using SlotSet = py::BuiltinContainerAttributes;

constinit py::InternedName kIterName{"__iter__"};

// The process-wide builtin __iter__ set; nullptr with the exception pending
// when it cannot be filled.
const SlotSet* builtin_iter_set() noexcept {
  return py::guarded<const SlotSet*>(nullptr, [] { return &py::builtin_iter_set(); });
}

PyObject* name_or_null(py::InternedName& name) noexcept {
  try {
    return name.get();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

bool has_builtin_slot(PyTypeObject* type, PyObject* name, PyObject* builtin) noexcept {
  if (name == nullptr) {
    PyErr_Clear();
    return false;
  }
  PyObject* found = nullptr;
  int rc = PyObject_GetOptionalAttr(reinterpret_cast<PyObject*>(type), name, &found);
  if (rc < 0) {
    PyErr_Clear();
    return false;
  }
  if (rc == 0) return false;
  bool same = found == builtin;
  Py_DECREF(found);
  return same;
}

std::optional<uint64_t> builtin_length(PyObject* obj) noexcept {
  Py_ssize_t n = -1;
  if (PyUnicode_Check(obj)) {
    n = PyUnicode_GET_LENGTH(obj);
  } else if (PyList_Check(obj)) {
    n = PyList_Size(obj);
  } else if (PyDict_Check(obj)) {
    n = PyDict_Size(obj);
  } else if (PyTuple_Check(obj)) {
    n = PyTuple_GET_SIZE(obj);
  } else if (PyBytes_Check(obj)) {
    n = PyBytes_GET_SIZE(obj);
  } else if (PyAnySet_Check(obj)) {
    n = PySet_Size(obj);
  }
  if (n < 0) return std::nullopt;
  return static_cast<uint64_t>(n);
}

bool value_length(PyObject* obj, uint64_t& length) noexcept {
  if (std::optional<uint64_t> builtin = builtin_length(obj)) {
    length = *builtin;
    return true;
  }
  Py_ssize_t n = PyObject_Size(obj);
  if (n < 0) return false;
  length = static_cast<uint64_t>(n);
  return true;
}

py::PyRef set_members_iter(PyObject* obj) noexcept {
  PyTypeObject* type = Py_TYPE(obj);
  if (type == &PySet_Type || type == &PyFrozenSet_Type) return py::PyRef::steal(PyObject_GetIter(obj));
  ContainerKind kind;
  if (PyType_IsSubtype(type, &PySet_Type)) {
    kind = ContainerKind::Set;
  } else if (PyType_IsSubtype(type, &PyFrozenSet_Type)) {
    kind = ContainerKind::FrozenSet;
  } else {
    return py::PyRef::steal(PyObject_GetIter(obj));
  }
  const SlotSet* slots = builtin_iter_set();
  if (slots != nullptr) {
    if (has_builtin_slot(type, name_or_null(kIterName), (*slots)[static_cast<size_t>(kind)].get())) {
      return py::PyRef::steal(PyObject_GetIter(obj));
    }
  } else {
    PyErr_Clear();
    slots = builtin_iter_set();
    if (slots == nullptr) return {};
  }
  py::PyRef result = py::PyRef::steal(PyObject_CallOneArg((*slots)[static_cast<size_t>(kind)].get(), obj));
  if (!result) return {};
  return py::PyRef::steal(PyObject_GetIter(result.get()));
}

}  // namespace tessolin::check

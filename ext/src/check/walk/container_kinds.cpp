#include "check/walk/container_kinds.hpp"

#include <array>
#include <climits>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "binding/trampoline.hpp"
#include "handles/typing_handles.hpp"

namespace tessolin::check {

namespace {

using SlotSet = py::BuiltinContainerAttributes;

constinit py::InternedName kLenName{"__len__"};
constinit py::InternedName kIterName{"__iter__"};

// The process-wide builtin __len__ / __iter__ sets; nullptr with the
// exception pending when a set cannot be filled.
const SlotSet* builtin_len_set() noexcept {
  return py::guarded<const SlotSet*>(nullptr, [] { return &py::builtin_len_set(); });
}

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

bool to_length(PyObject* result, uint64_t& length) noexcept {
  py::PyRef index;
  PyObject* number = result;
  if (!PyLong_Check(result)) {
    index = py::PyRef::steal(PyNumber_Index(result));
    if (!index) return false;
    number = index.get();
  }
  unsigned long long v = PyLong_AsUnsignedLongLong(number);
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    // A negative value raises OverflowError too, which is the contract.
    return false;
  }
  length = static_cast<uint64_t>(v);
  return true;
}

bool size_of(PyObject* obj, uint64_t& length) noexcept {
  Py_ssize_t n = PyObject_Size(obj);
  if (n < 0) return false;
  length = static_cast<uint64_t>(n);
  return true;
}

bool is_set_subclass(PyTypeObject* type) noexcept { return type == &PySet_Type || PyType_IsSubtype(type, &PySet_Type); }
bool is_frozenset_subclass(PyTypeObject* type) noexcept {
  return type == &PyFrozenSet_Type || PyType_IsSubtype(type, &PyFrozenSet_Type);
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

bool keeps_builtin_len(PyObject* obj, ContainerKind kind) noexcept {
  const SlotSet* slots = builtin_len_set();
  if (slots == nullptr) {
    PyErr_Clear();
    return false;
  }
  return has_builtin_slot(Py_TYPE(obj), name_or_null(kLenName), (*slots)[static_cast<size_t>(kind)].get());
}

bool builtin_len(PyObject* obj, ContainerKind kind, uint64_t& length) noexcept {
  const SlotSet* slots = builtin_len_set();
  if (slots == nullptr) return false;
  py::PyRef result = py::PyRef::steal(PyObject_CallOneArg((*slots)[static_cast<size_t>(kind)].get(), obj));
  if (!result) return false;
  return to_length(result.get(), length);
}

bool value_length(PyObject* obj, uint64_t& length) noexcept {
  PyTypeObject* type = Py_TYPE(obj);
  struct Row {
    PyTypeObject* exact;
    bool subclass;
    ContainerKind kind;
  };
  const Row rows[7] = {
      {&PyUnicode_Type, PyUnicode_Check(obj) != 0, ContainerKind::Str},
      {&PyList_Type, PyList_Check(obj) != 0, ContainerKind::List},
      {&PyDict_Type, PyDict_Check(obj) != 0, ContainerKind::Dict},
      {&PyTuple_Type, PyTuple_Check(obj) != 0, ContainerKind::Tuple},
      {&PyBytes_Type, PyBytes_Check(obj) != 0, ContainerKind::Bytes},
      {&PySet_Type, false, ContainerKind::Set},
      {&PyFrozenSet_Type, false, ContainerKind::FrozenSet},
  };
  for (size_t i = 0; i < 7; ++i) {
    const Row& row = rows[i];
    if (type == row.exact) return size_of(obj, length);
    bool subclass = row.subclass;
    if (row.kind == ContainerKind::Set) subclass = is_set_subclass(type);
    if (row.kind == ContainerKind::FrozenSet) subclass = is_frozenset_subclass(type);
    if (subclass) {
      if (keeps_builtin_len(obj, row.kind)) return size_of(obj, length);
      return builtin_len(obj, row.kind, length);
    }
  }
  return size_of(obj, length);
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

#include "oracle/class_facts.hpp"

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "binding/ref.hpp"

namespace tessolin::oracle {

using ir::OracleAnswer;
using ir::SlotKind;
using py::PyRef;

namespace {

constinit py::InternedName kInstanceCheck{"__instancecheck__"};
constinit py::InternedName kSubclassCheck{"__subclasscheck__"};
constinit py::InternedName kEq{"__eq__"};
constinit py::InternedName kMro{"__mro__"};

PyObject* as_object(PyTypeObject* type) noexcept { return reinterpret_cast<PyObject*>(type); }

// Whether the hook `name` that the interpreter finds on cls is the very
// entry `standard` defines: Yes, No, or Undecided when the MRO cannot be
// read or a lookup fails (absorbed into `fatal`, or met before).
OracleAnswer is_standard_hook(PyObject* cls, PyTypeObject* standard, py::InternedName& name,
                              check::FirstFatal& fatal) noexcept {
  if (fatal.met()) return OracleAnswer::Undecided;
  try {
    std::optional<PyRef> found = lookup_in_mro(cls, name.get());
    if (!found) return OracleAnswer::Undecided;
    PyRef own = own_dict_entry(as_object(standard), name.get());
    return own && found->get() == own.get() ? OracleAnswer::Yes : OracleAnswer::No;
  } catch (const py::PythonError&) {
    fatal.absorb_pending();
    return OracleAnswer::Undecided;
  }
}

struct BaseProbe {
  PyTypeObject* type;
  SlotKind kind;
  unsigned long flag;  // the subclass flag validation's test reads; 0: none
};

// Probe order: bool-based classes report int, as bool subclasses int.
const BaseProbe kProbes[] = {
    {&PyLong_Type, SlotKind::Int, Py_TPFLAGS_LONG_SUBCLASS},
    {&PyUnicode_Type, SlotKind::Str, Py_TPFLAGS_UNICODE_SUBCLASS},
    {&PyBytes_Type, SlotKind::Bytes, Py_TPFLAGS_BYTES_SUBCLASS},
    {&PyFloat_Type, SlotKind::Float, 0},
    {&PyTuple_Type, SlotKind::Tuple, Py_TPFLAGS_TUPLE_SUBCLASS},
    {&PyFrozenSet_Type, SlotKind::FrozenSet, 0},
    {&PyList_Type, SlotKind::List, Py_TPFLAGS_LIST_SUBCLASS},
    {&PySet_Type, SlotKind::Set, 0},
    {&PyDict_Type, SlotKind::Dict, Py_TPFLAGS_DICT_SUBCLASS},
};

// Whether validation's test for the probe's builtin (PyLong_Check and the
// like) accepts instances of cls: the type flag where the test reads one,
// else the type's own MRO. A metaclass mro() can make the flag and the MRO
// disagree; the flag is what validation sees.
bool passes_builtin_test(PyTypeObject* cls, const BaseProbe& probe) noexcept {
  if (probe.flag != 0) return PyType_FastSubclass(cls, probe.flag);
  return PyType_IsSubtype(cls, probe.type) != 0;
}

}  // namespace

OracleAnswer has_standard_class_hooks(PyObject* metaclass, check::FirstFatal& fatal) noexcept {
  OracleAnswer instance = is_standard_hook(metaclass, &PyType_Type, kInstanceCheck, fatal);
  if (instance != OracleAnswer::Yes) return instance;
  return is_standard_hook(metaclass, &PyType_Type, kSubclassCheck, fatal);
}

bool has_identity_eq(PyObject* cls, check::FirstFatal& fatal) noexcept {
  return is_standard_hook(cls, &PyBaseObject_Type, kEq, fatal) == OracleAnswer::Yes;
}

BuiltinBase builtin_base_kind(PyObject* cls) noexcept {
  if (!PyType_Check(cls)) return {};
  uint32_t position = 1;
  for (const BaseProbe& probe : kProbes) {
    if (passes_builtin_test(reinterpret_cast<PyTypeObject*>(cls), probe)) return {position, probe.kind};
    ++position;
  }
  return {};
}

PyRef own_mro(PyObject* cls) noexcept {
  if (!PyType_Check(cls)) return {};
  try {
    PyRef getter = own_dict_entry(as_object(&PyType_Type), kMro.get());
    descrgetfunc get = getter ? Py_TYPE(getter.get())->tp_descr_get : nullptr;
    if (get == nullptr) return {};
    PyRef mro = PyRef::check(get(getter.get(), cls, as_object(Py_TYPE(cls))));
    if (PyTuple_Check(mro.get())) return mro;
  } catch (const py::PythonError&) {
    PyErr_Clear();
  }
  return {};
}

PyRef own_dict_entry(PyObject* cls, PyObject* name) {
  PyRef dict = PyRef::check(PyType_GetDict(reinterpret_cast<PyTypeObject*>(cls)));
  PyObject* found = nullptr;
  py::check(PyDict_GetItemRef(dict.get(), name, &found));
  return PyRef::steal(found);
}

std::optional<PyRef> lookup_in_mro(PyObject* cls, PyObject* name) {
  PyRef mro = own_mro(cls);
  if (!mro) return std::nullopt;
  for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(mro.get()); ++k) {
    PyObject* item = PyTuple_GET_ITEM(mro.get(), k);
    if (!PyType_Check(item)) return std::nullopt;
    if (PyRef found = own_dict_entry(item, name)) return found;
  }
  return PyRef{};
}

bool finds_same_entry(PyObject* cls, PyObject* reference, PyObject* name) {
  std::optional<PyRef> own = lookup_in_mro(cls, name);
  if (!own) return false;
  std::optional<PyRef> standard = lookup_in_mro(reference, name);
  return standard && own->get() == standard->get();
}

SlotKind scalar_kind_of(PyObject* obj) noexcept {
  if (obj == Py_None) return SlotKind::None;
  if (PyBool_Check(obj)) return SlotKind::Bool;
  if (PyLong_CheckExact(obj)) return SlotKind::Int;
  if (PyFloat_CheckExact(obj)) return SlotKind::Float;
  if (PyUnicode_CheckExact(obj)) return SlotKind::Str;
  if (PyBytes_CheckExact(obj)) return SlotKind::Bytes;
  return SlotKind::Unknown;
}

PyObject* builtin_class_of(SlotKind kind) noexcept {
  PyTypeObject* type = nullptr;
  switch (kind) {
    case SlotKind::Bool: type = &PyBool_Type; break;
    case SlotKind::Int: type = &PyLong_Type; break;
    case SlotKind::Float: type = &PyFloat_Type; break;
    case SlotKind::Str: type = &PyUnicode_Type; break;
    case SlotKind::Bytes: type = &PyBytes_Type; break;
    case SlotKind::List: type = &PyList_Type; break;
    case SlotKind::Tuple: type = &PyTuple_Type; break;
    case SlotKind::Set: type = &PySet_Type; break;
    case SlotKind::FrozenSet: type = &PyFrozenSet_Type; break;
    case SlotKind::Dict: type = &PyDict_Type; break;
    default: return nullptr;
  }
  return reinterpret_cast<PyObject*>(type);
}

}  // namespace tessolin::oracle

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

// getattr(obj, name); empty when it fails (the error absorbed into `fatal`)
// or when a fatal exception was met before.
PyRef attribute_or_empty(PyObject* obj, py::InternedName& name, check::FirstFatal& fatal) noexcept {
  if (fatal.met()) return {};
  try {
    PyObject* value = PyObject_GetAttr(obj, name.get());
    if (value == nullptr) fatal.absorb_pending();
    return PyRef::steal(value);
  } catch (const py::PythonError&) {
    fatal.absorb_pending();
    return {};
  }
}

// Whether the metaclass's hook of this name is type's own: Yes, No, or
// Undecided when either look-up fails. Both results are held while compared.
OracleAnswer same_as_type_hook(PyObject* metaclass, py::InternedName& name, check::FirstFatal& fatal) noexcept {
  PyRef own = attribute_or_empty(metaclass, name, fatal);
  if (!own) return OracleAnswer::Undecided;
  PyRef standard = attribute_or_empty(reinterpret_cast<PyObject*>(&PyType_Type), name, fatal);
  if (!standard) return OracleAnswer::Undecided;
  return own.get() == standard.get() ? OracleAnswer::Yes : OracleAnswer::No;
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
  OracleAnswer instance = same_as_type_hook(metaclass, kInstanceCheck, fatal);
  if (instance != OracleAnswer::Yes) return instance;
  return same_as_type_hook(metaclass, kSubclassCheck, fatal);
}

bool has_identity_eq(PyObject* cls, check::FirstFatal& fatal) noexcept {
  PyRef own = attribute_or_empty(cls, kEq, fatal);
  if (!own) return false;
  PyRef base = attribute_or_empty(reinterpret_cast<PyObject*>(&PyBaseObject_Type), kEq, fatal);
  return base && own.get() == base.get();
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
  PyRef mro = PyRef::borrow(reinterpret_cast<PyTypeObject*>(cls)->tp_mro);
  if (!mro || !PyTuple_Check(mro.get())) return {};
  return mro;
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

#include "oracle/enum_closure.hpp"

#include <algorithm>
#include <array>

#include "binding/error.hpp"
#include "oracle/class_facts.hpp"
#include "handles/typing_handles.hpp"

namespace tessolin::oracle {

using py::PyRef;

namespace {

PyTypeObject* as_type(PyObject* cls) noexcept { return reinterpret_cast<PyTypeObject*>(cls); }

// The methods of the metaclass that calling, indexing, iterating, sizing or
// instance-testing an enum class go through, and the enum machinery's own
// hooks for making and adding members. A metaclass on which one of them
// resolves to another entry than on EnumType may make or hide instances.
constexpr std::array kMetaclassHooks = {
    // calling, indexing, iterating, sizing, and the maps they read
    "__call__", "__getitem__", "__iter__", "__reversed__", "__len__", "__contains__", "__members__",
    "_member_names_", "_member_map_", "_value2member_map_",
    // attribute access and instance tests
    "__getattr__", "__getattribute__", "__setattr__", "__delattr__", "__instancecheck__", "__subclasscheck__",
    // class creation and the enum machinery's own hooks
    "__prepare__", "mro", "_add_member_", "_missing_", "_create_", "_convert_", "_find_new_", "_get_mixins_",
    "_find_data_type_", "_check_for_existing_members_",
};

PyRef name_object(const char* name) { return PyRef::check(PyUnicode_InternFromString(name)); }

// The value of `name` in the class's own dict, held; empty when absent.
PyRef own_entry(PyObject* cls, const char* name) { return own_dict_entry(cls, name_object(name).get()); }

bool defines(PyObject* cls, const char* name) { return static_cast<bool>(own_entry(cls, name)); }

// Whether each hook above resolves on the metaclass, as the interpreter
// looks it up along the metaclass's MRO, to the entry it resolves to on
// EnumType. A class anywhere on that MRO counts, after EnumType too: a
// metaclass mixing EnumType with ABCMeta gets ABCMeta's instance check.
bool standard_metaclass(PyObject* meta, PyObject* enum_meta) {
  if (meta == enum_meta) return true;
  for (const char* name : kMetaclassHooks)
    if (!finds_same_entry(meta, enum_meta, name_object(name).get())) return false;
  return true;
}

// A staticmethod's function, which is what the class attribute gives.
PyRef unwrapped(PyRef value) {
  if (!Py_IS_TYPE(value.get(), &PyStaticMethod_Type)) return value;
  return PyRef::check(PyObject_GetAttrString(value.get(), "__func__"));
}

// Whether, on the enum's MRO before Enum itself, no class defines _missing_
// (E(value) could return a member iteration never yields) and the first
// __new__ met is Enum's own (which the enum machinery installs on every enum
// class; another one, assigned later, may make instances).
bool standard_lookup(PyObject* cls, PyObject* enum_base, PyObject* enum_new) {
  PyRef mro = own_mro(cls);
  if (!mro) return false;
  bool new_seen = false;
  for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(mro.get()); ++k) {
    PyObject* item = PyTuple_GET_ITEM(mro.get(), k);
    if (item == enum_base) return true;
    if (!PyType_Check(item) || defines(item, "_missing_")) return false;
    if (new_seen) continue;
    if (PyRef found = own_entry(item, "__new__")) {
      if (unwrapped(std::move(found)).get() != enum_new) return false;
      new_seen = true;
    }
  }
  return false;
}

// Whether every value of the class's own dict entry `name` (an exact dict)
// is one of `members`, which is sorted by address. A missing entry, another
// type, or more values than `limit` answer false.
bool values_are_members(PyObject* cls, const char* name, const std::vector<PyObject*>& members, size_t limit) {
  PyRef map = own_entry(cls, name);
  if (!map || !PyDict_CheckExact(map.get())) return false;
  // A copy of the values, taken under the dict's lock; only addresses are
  // compared, so no user code runs while they are read.
  PyRef values = PyRef::check(PyDict_Values(map.get()));
  if (static_cast<size_t>(PyList_GET_SIZE(values.get())) > limit) return false;
  for (Py_ssize_t k = 0; k < PyList_GET_SIZE(values.get()); ++k)
    if (!std::binary_search(members.begin(), members.end(), PyList_GET_ITEM(values.get(), k))) return false;
  return true;
}

}  // namespace

std::optional<std::vector<PyRef>> closed_enum_members(PyObject* cls, size_t max_members) {
  const py::EnumHandles& handles = py::enum_handles();
  if (!PyType_Check(cls)) return std::nullopt;
  PyObject* meta = reinterpret_cast<PyObject*>(Py_TYPE(cls));
  if (!PyType_IsSubtype(as_type(meta), as_type(handles.enum_meta.get()))) return std::nullopt;
  if (!standard_metaclass(meta, handles.enum_meta.get())) return std::nullopt;
  // A Flag has members its iteration does not yield (combinations).
  if (PyType_IsSubtype(as_type(cls), as_type(handles.flag.get()))) return std::nullopt;
  if (!standard_lookup(cls, handles.base.get(), handles.enum_new.get())) return std::nullopt;

  std::vector<PyRef> members;
  PyRef iterator = PyRef::check(PyObject_GetIter(cls));
  while (members.size() <= max_members) {
    PyObject* item = PyIter_Next(iterator.get());
    if (item == nullptr) break;
    members.push_back(PyRef::steal(item));
  }
  if (PyErr_Occurred()) throw py::PythonError{};
  if (members.empty() || members.size() > max_members) return std::nullopt;

  // The private maps: a member added to __members__ that iteration skips, or
  // a value looked up to an instance that is no member.
  std::vector<PyObject*> addresses;
  addresses.reserve(members.size());
  for (const PyRef& m : members) addresses.push_back(m.get());
  std::sort(addresses.begin(), addresses.end());
  const size_t limit = 8 * max_members;  // aliases share their member
  if (!values_are_members(cls, "_member_map_", addresses, limit)) return std::nullopt;
  if (!values_are_members(cls, "_value2member_map_", addresses, limit)) return std::nullopt;
  return members;
}

}  // namespace tessolin::oracle

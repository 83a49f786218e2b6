#include "handles/typing_handles.hpp"

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "binding/once_cell.hpp"

namespace tessolin::py {

namespace {

PyRef import(const char* name) { return PyRef::check(PyImport_ImportModule(name)); }

PyRef required_attr(PyObject* module, const char* name) { return PyRef::check(PyObject_GetAttrString(module, name)); }

// Any exception of the look-up means absent.
PyRef optional_attr(PyObject* module, const char* name) noexcept {
  PyObject* value = PyObject_GetAttrString(module, name);
  if (value == nullptr) PyErr_Clear();
  return PyRef::steal(value);
}

}  // namespace

std::vector<PyRef> getattr_many(PyObject* module, std::initializer_list<const char*> names) {
  std::vector<PyRef> found;
  for (const char* name : names) {
    PyRef value = optional_attr(module, name);
    if (value) found.push_back(std::move(value));
  }
  return found;
}

TypingHandles load_typing_handles() {
  TypingHandles h;
  PyRef typing = import("typing");
  PyRef builtins = import("builtins");
  h.any = required_attr(typing.get(), "Any");
  h.never = optional_attr(typing.get(), "Never");
  h.no_extra_items = optional_attr(typing.get(), "NoExtraItems");
  h.no_return = optional_attr(typing.get(), "NoReturn");
  h.type_alias_type = optional_attr(typing.get(), "TypeAliasType");
  h.union_form = required_attr(typing.get(), "Union");
  h.optional = required_attr(typing.get(), "Optional");
  {
    PyRef types = import("types");
    h.union_type = required_attr(types.get(), "UnionType");
  }
  h.literal = required_attr(typing.get(), "Literal");
  h.get_origin = required_attr(typing.get(), "get_origin");
  h.get_args = required_attr(typing.get(), "get_args");
  h.forward_ref = optional_attr(typing.get(), "ForwardRef");
  h.typing_constructs = getattr_many(typing.get(), {"TypeVar", "ParamSpec", "TypeVarTuple", "_SpecialForm"});
  h.required = optional_attr(typing.get(), "Required");
  h.not_required = optional_attr(typing.get(), "NotRequired");
  h.read_only = optional_attr(typing.get(), "ReadOnly");
  h.unpack = optional_attr(typing.get(), "Unpack");
  h.get_type_hints = required_attr(typing.get(), "get_type_hints");
  h.object = required_attr(builtins.get(), "object");
  {
    PyRef enum_module = import("enum");
    h.enum_class = required_attr(enum_module.get(), "Enum");
  }
  {
    PyRef abc = import("collections.abc");
    h.callable = required_attr(abc.get(), "Callable");
  }
  h.ellipsis = required_attr(builtins.get(), "Ellipsis");
  return h;
}

const TypingHandles& typing_handles() {
  static constinit OnceCell<TypingHandles> cell;
  return cell.get(load_typing_handles);
}

PyRef loaded_typing_extensions_attr(PyObject* name) {
  static constinit InternedName module_name{"typing_extensions"};
  PyRef module = PyRef::steal(PyImport_GetModule(module_name.get()));
  if (!module) {
    if (PyErr_Occurred()) throw PythonError{};
    return {};
  }
  PyObject* raw = nullptr;
  if (PyObject_GetOptionalAttr(module.get(), name, &raw) < 0) PyErr_Clear();
  return PyRef::steal(raw);
}

BuiltinContainerAttributes builtin_container_types(const char* name) {
  PyTypeObject* types[] = {&PyList_Type, &PyTuple_Type,     &PyUnicode_Type, &PyBytes_Type,
                           &PySet_Type,  &PyFrozenSet_Type, &PyDict_Type};
  BuiltinContainerAttributes out;
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = PyRef::check(PyObject_GetAttrString(reinterpret_cast<PyObject*>(types[i]), name));
  }
  return out;
}

PyObject* dataclass_test() {
  static constinit OnceCell<PyRef> cell;
  return cell.get([] { return required_attr(import("dataclasses").get(), "is_dataclass"); }).get();
}

const EnumHandles& enum_handles() {
  static constinit OnceCell<EnumHandles> cell;
  return cell.get([] {
    PyRef module = import("enum");
    EnumHandles h;
    h.enum_meta = required_attr(module.get(), "EnumMeta");
    h.flag = required_attr(module.get(), "Flag");
    h.base = required_attr(module.get(), "Enum");
    h.enum_new = required_attr(h.base.get(), "__new__");
    return h;
  });
}

const RoundingHandles& rounding_handles() {
  static constinit OnceCell<RoundingHandles> cell;
  return cell.get([] {
    PyRef module = import("math");
    RoundingHandles h;
    h.floor = required_attr(module.get(), "floor");
    h.ceil = required_attr(module.get(), "ceil");
    return h;
  });
}

PyObject* attribute_mask_cache() {
  static constinit OnceCell<PyRef> cell;
  return cell.get([] { return PyRef::check(PyDict_New()); }).get();
}

const BuiltinContainerAttributes& builtin_iter_set() {
  static constinit OnceCell<BuiltinContainerAttributes> cell;
  return cell.get([] { return builtin_container_types("__iter__"); });
}

}  // namespace tessolin::py

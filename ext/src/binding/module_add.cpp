#include "binding/module_add.hpp"

#include "binding/error.hpp"
#include "binding/interned.hpp"

namespace tessolin::py {

namespace {

constinit InternedName kAllName{"__all__"};
constinit InternedName kNameName{"__name__"};

// The module's __all__, created empty when absent.
PyRef all_list(PyObject* module) {
  PyObject* all = nullptr;
  int found = check(PyObject_GetOptionalAttr(module, kAllName.get(), &all));
  PyRef ref = PyRef::steal(all);
  if (found == 0) {
    ref = PyRef::check(PyList_New(0));
    check(PyObject_SetAttr(module, kAllName.get(), ref.get()));
  }
  if (!PyList_Check(ref.get())) raise_not_instance(ref.get(), "list");
  return ref;
}

}  // namespace

void module_add(PyObject* module, const char* name, PyRef value) {
  PyRef all = all_list(module);
  PyRef text = PyRef::check(PyUnicode_InternFromString(name));
  if (PyList_Append(all.get(), text.get()) < 0) {
    PyErr_Clear();
    raise(PyExc_RuntimeError, "could not append __name__ to __all__");
  }
  check(PyObject_SetAttr(module, text.get(), value.get()));
}

void module_add_function(PyObject* module, PyRef function) {
  PyRef name = PyRef::check(PyObject_GetAttr(function.get(), kNameName.get()));
  if (!PyUnicode_Check(name.get())) raise_not_instance(name.get(), "str");
  const char* utf8 = PyUnicode_AsUTF8AndSize(name.get(), nullptr);
  if (utf8 == nullptr) throw PythonError{};
  module_add(module, utf8, std::move(function));
}

PyRef new_builtin_function(PyMethodDef* def, PyObject* module) {
  if (module == nullptr) return PyRef::check(PyCMethod_New(def, nullptr, nullptr, nullptr));
  PyRef module_name = PyRef::check(PyModule_GetNameObject(module));
  return PyRef::check(PyCMethod_New(def, module, module_name.get(), nullptr));
}

}  // namespace tessolin::py

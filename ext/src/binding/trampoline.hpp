// noexcept entry points for every signature CPython calls.
//
// Each template takes the body as a non-type template parameter and returns
// a function with the exact C signature; it catches every C++ exception and
// turns it into the pending Python exception (binding/error.hpp), returning
// NULL / -1. No C++ exception ever unwinds through a CPython frame.
//
// Bodies (all may throw PythonError / InternalError / std::exception):
//
//   method_noargs<B>       B: PyRef (PyObject* self)                 METH_NOARGS
//   method_o<B>            B: PyRef (PyObject* self, PyObject* arg)  METH_O
//   method_fastcall<B>     B: PyRef (PyObject* self, PyObject* const* args,
//                                    Py_ssize_t nargs, PyObject* kwnames)
//                                                        METH_FASTCALL|METH_KEYWORDS
//                          (nargs has the vectorcall offset flag removed)
//   method_varargs<B>      B: PyRef (PyObject* self, PyObject* args_tuple,
//                                    PyObject* kwargs_or_null)
//                                                        METH_VARARGS|METH_KEYWORDS
//   slot_new<B>            B: PyRef (PyTypeObject*, PyObject* args, PyObject* kwargs)
//   slot_repr<B>           B: PyRef (PyObject* self)                 tp_repr / tp_str
//   slot_hash<B>           B: Py_hash_t (PyObject* self)   (-1 is mapped to -2)
//   slot_richcompare<B>    B: PyRef (PyObject* self, PyObject* other, int op)
//   slot_contains<B>       B: bool (PyObject* self, PyObject* item)  sq_contains
//   slot_binary<B>         B: PyRef (PyObject* left, PyObject* right) nb_or, ...
//   slot_exec<B>           B: void (PyObject* module)                Py_mod_exec
//
// Bodies that must not throw (checked with static_assert):
//
//   slot_traverse<B>       B: int (PyObject* self, visitproc, void*) noexcept
//                          The trampoline first visits Py_TYPE(self), as every
//                          heap type's traverse must. No Python calls in B.
//   slot_clear<B>          B: void (PyObject* self) noexcept
//
// The deallocator of an Instance<T> type is dealloc_instance<T>
// (binding/heap_type.hpp).
//
// Method table entries:
//   PyMethodDef defs[] = {
//       method_def("validate", &method_fastcall<&validate_body>,
//                  METH_FASTCALL | METH_KEYWORDS, kValidateDoc),
//       ...
//       {nullptr, nullptr, 0, nullptr}};
// and type slots:  type_slot(Py_tp_repr, &slot_repr<&repr_body>)
#pragma once

#include <Python.h>

#include <type_traits>

#include "binding/error.hpp"
#include "binding/ref.hpp"

namespace tessolin::py {

// Runs `body`; any C++ exception becomes the pending Python exception and
// the call answers `failure` (NULL or -1) instead.
template <class R, class F>
R guarded(R failure, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    restore_error_from_current_exception();
    return failure;
  }
}

template <auto Body>
PyObject* method_noargs(PyObject* self, PyObject* /*unused*/) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(self).release(); });
}

template <auto Body>
PyObject* method_o(PyObject* self, PyObject* arg) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(self, arg).release(); });
}

template <auto Body>
PyObject* method_fastcall(PyObject* self, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(self, args, PyVectorcall_NARGS(nargsf), kwnames).release(); });
}

template <auto Body>
PyObject* method_varargs(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(self, args, kwargs).release(); });
}

template <auto Body>
PyObject* slot_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(type, args, kwargs).release(); });
}

template <auto Body>
PyObject* slot_repr(PyObject* self) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(self).release(); });
}

template <auto Body>
Py_hash_t slot_hash(PyObject* self) noexcept {
  return guarded<Py_hash_t>(-1, [&] {
    Py_hash_t h = Body(self);
    return h == -1 ? Py_hash_t{-2} : h;
  });
}

template <auto Body>
PyObject* slot_richcompare(PyObject* self, PyObject* other, int op) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(self, other, op).release(); });
}

template <auto Body>
int slot_contains(PyObject* self, PyObject* item) noexcept {
  return guarded<int>(-1, [&] { return Body(self, item) ? 1 : 0; });
}

template <auto Body>
PyObject* slot_binary(PyObject* left, PyObject* right) noexcept {
  return guarded<PyObject*>(nullptr, [&] { return Body(left, right).release(); });
}

template <auto Body>
int slot_exec(PyObject* module) noexcept {
  return guarded<int>(-1, [&] {
    Body(module);
    return 0;
  });
}

template <auto Body>
int slot_traverse(PyObject* self, visitproc visit, void* arg) noexcept {
  static_assert(noexcept(Body(self, visit, arg)), "a traverse body must be noexcept");
  Py_VISIT(Py_TYPE(self));
  return Body(self, visit, arg);
}

template <auto Body>
int slot_clear(PyObject* self) noexcept {
  static_assert(noexcept(Body(self)), "a clear body must be noexcept");
  Body(self);
  return 0;
}

// A PyMethodDef for a trampoline of any of the method_* shapes.
template <class Fn>
PyMethodDef method_def(const char* name, Fn* fn, int flags, const char* doc) noexcept {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(fn)), flags, doc};
}

template <class Fn>
PyType_Slot type_slot(int slot, Fn* fn) noexcept {
  return {slot, reinterpret_cast<void*>(fn)};
}

}  // namespace tessolin::py

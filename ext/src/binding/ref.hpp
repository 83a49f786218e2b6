// Owned references to Python objects.
//
// Conventions of the whole Python-facing layer:
// - `PyRef` owns one strong reference (or none); it is move-only and drops
//   the reference in its destructor.
// - A plain `PyObject*` parameter or member is BORROWED: the caller keeps the
//   object alive for the whole call. Only pass a borrowed pointer when that is
//   provable: a call argument, a tuple item (tuples are immutable), an object
//   held by a PyRef in an enclosing scope, a process-wide once-cell value.
// - An item read out of a list, dict or set is made owned (PyRef) before any
//   code that can run Python is called; read such containers inside
//   Py_BEGIN_CRITICAL_SECTION, or use the *Ref getters (PyList_GetItemRef,
//   PyDict_GetItemRef) which return strong references.
// - A function returning `PyRef` never returns an empty one to signal
//   failure: failure is a thrown PythonError (binding/error.hpp).
#pragma once

#include <Python.h>

#include <cstddef>
#include <utility>

#include "binding/python_error.hpp"

namespace tessolin::py {

class PyRef {
 public:
  constexpr PyRef() noexcept = default;
  constexpr PyRef(std::nullptr_t) noexcept {}

  // Takes over a new reference (may be null).
  static PyRef steal(PyObject* obj) noexcept { return PyRef(obj); }
  // Adds a strong reference to a borrowed object (may be null).
  static PyRef borrow(PyObject* obj) noexcept { return PyRef(Py_XNewRef(obj)); }
  // Takes over the result of a C API call that returns a new reference or
  // NULL with an exception set; throws PythonError on NULL.
  static PyRef check(PyObject* result) {
    if (result == nullptr) throw PythonError{};
    return PyRef(result);
  }

  PyRef(PyRef&& other) noexcept : obj_(other.obj_) { other.obj_ = nullptr; }
  PyRef& operator=(PyRef&& other) noexcept {
    if (this != &other) {
      PyObject* old = obj_;
      obj_ = other.obj_;
      other.obj_ = nullptr;
      Py_XDECREF(old);
    }
    return *this;
  }
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() { Py_XDECREF(obj_); }

  PyObject* get() const noexcept { return obj_; }
  explicit operator bool() const noexcept { return obj_ != nullptr; }
  // Gives the reference away (for returning to CPython or for a "steals"
  // API such as PyTuple_SET_ITEM).
  [[nodiscard]] PyObject* release() noexcept {
    PyObject* obj = obj_;
    obj_ = nullptr;
    return obj;
  }
  // A second strong reference to the same object.
  PyRef dup() const noexcept { return borrow(obj_); }
  void reset() noexcept {
    PyObject* old = obj_;
    obj_ = nullptr;
    Py_XDECREF(old);
  }

 private:
  explicit PyRef(PyObject* obj) noexcept : obj_(obj) {}
  PyObject* obj_ = nullptr;
};

}  // namespace tessolin::py

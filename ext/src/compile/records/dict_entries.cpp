#include "compile/records/dict_entries.hpp"

#include "binding/error.hpp"
#include "check/critical_section.hpp"

namespace tessolin::build {

namespace {

Py_ssize_t locked_size(PyObject* dict) noexcept {
  check::CriticalSection section(dict);
  return PyDict_GET_SIZE(dict);
}

}  // namespace

DictEntries::DictEntries(PyObject* dict) noexcept : dict_(dict), size_(locked_size(dict)) {}

bool DictEntries::next(py::PyRef& key, py::PyRef& value) {
  enum class Step { Entry, End, SizeChanged, KeysChanged } step;
  PyObject* k = nullptr;
  PyObject* v = nullptr;
  {
    check::CriticalSection section(dict_);
    if (PyDict_GET_SIZE(dict_) != size_) {
      step = Step::SizeChanged;
    } else if (!PyDict_Next(dict_, &position_, &k, &v)) {
      step = Step::End;
    } else if (produced_ >= size_) {
      step = Step::KeysChanged;
    } else {
      // Owned before the section ends: nothing else may drop them meanwhile.
      Py_INCREF(k);
      Py_INCREF(v);
      ++produced_;
      step = Step::Entry;
    }
  }
  switch (step) {
    case Step::Entry:
      // Replacing the caller's previous references may run a destructor, so
      // it happens outside the section.
      key = py::PyRef::steal(k);
      value = py::PyRef::steal(v);
      return true;
    case Step::End: return false;
    case Step::SizeChanged: py::raise(PyExc_RuntimeError, "dictionary changed size during iteration");
    case Step::KeysChanged: py::raise(PyExc_RuntimeError, "dictionary keys changed during iteration");
  }
  return false;
}

}  // namespace tessolin::build

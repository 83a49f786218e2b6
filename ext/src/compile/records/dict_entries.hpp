// Reads a dict one entry at a time without holding it across Python code.
//
// Each step enters the dict's critical section, checks that its size is
// still the one seen at the start and that no more entries than that have
// been produced, takes new references to the next key and value, and leaves
// the section; whatever the caller then runs (a compile, a __getattr__) runs
// outside it. A dict changed meanwhile raises CPython's own RuntimeError.
#pragma once

#include <Python.h>

#include "binding/ref.hpp"

namespace tessolin::build {

class DictEntries {
 public:
  explicit DictEntries(PyObject* dict) noexcept;

  // The next entry into key and value (new references); false at the end.
  // Throws PythonError (RuntimeError) when the dict changed.
  bool next(py::PyRef& key, py::PyRef& value);

 private:
  PyObject* dict_;  // borrowed: the caller holds the dict
  Py_ssize_t size_;
  Py_ssize_t position_ = 0;
  Py_ssize_t produced_ = 0;
};

}  // namespace tessolin::build

// Process-wide interned Python strings for attribute and method names.
//
//   static constinit InternedName kFailuresName{"_failures"};
//   PyObject_GetAttr(obj, kFailuresName.get());   // borrowed, lives forever
//
// get() throws PythonError if the string cannot be made (the next call
// retries).
#pragma once

#include <Python.h>

#include "binding/error.hpp"
#include "binding/once_cell.hpp"
#include "binding/ref.hpp"

namespace tessolin::py {

class InternedName {
 public:
  explicit constexpr InternedName(const char* text) noexcept : text_(text) {}
  InternedName(const InternedName&) = delete;
  InternedName& operator=(const InternedName&) = delete;

  PyObject* get() {
    return cell_.get([this] { return PyRef::check(PyUnicode_InternFromString(text_)); }).get();
  }
  const char* text() const noexcept { return text_; }

 private:
  const char* text_;
  OnceCell<PyRef> cell_;
};

}  // namespace tessolin::py

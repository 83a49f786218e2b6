// Errors inside the Python-facing C++ code and their conversion at the
// boundary to CPython.
//
// Inside C++:
// - `PythonError` is thrown right after a C API call reported failure; the
//   Python exception stays in the thread's error indicator, the C++ exception
//   only carries "an error is pending" up to the nearest trampoline. Nothing
//   between throw and catch may clear or replace the indicator.
// - `InternalError` (the core's type, ir/internal_error.hpp) is a broken
//   invariant. It surfaces to Python as tessolin's internal-error exception
//   (`internal_error_type()`), with its message.
// - Any other std::exception escaping a body also becomes the internal-error
//   exception and keeps its what() text; a failure without a message (an
//   empty what(), a non-std exception) gets "uncaught panic at ffi boundary".
// - std::bad_alloc ends the process: exhausted memory is not recoverable.
//
// At the boundary: every function CPython calls is a noexcept trampoline
// (binding/trampoline.hpp) whose catch-all calls `restore_error_from_current_exception()`.
#pragma once

#include <Python.h>

#include <string>
#include <string_view>

#include "binding/python_error.hpp"
#include "binding/ref.hpp"
#include "ir/internal_error.hpp"

namespace tessolin::py {

using InternalError = ir::InternalError;

// The text of an internal error that carries no message of its own.
inline constexpr const char* kPanicText = "uncaught panic at ffi boundary";

[[noreturn]] inline void throw_python_error() { throw PythonError{}; }

// Throws PythonError when a C API call returned NULL / -1.
inline PyObject* check(PyObject* result) {
  if (result == nullptr) throw PythonError{};
  return result;
}
inline int check(int status) {
  if (status < 0) throw PythonError{};
  return status;
}

// Sets `type` with `message` (UTF-8) and throws PythonError.
[[noreturn]] void raise(PyObject* type, std::string_view message);
[[noreturn]] inline void raise_type_error(std::string_view message) { raise(PyExc_TypeError, message); }
[[noreturn]] inline void raise_value_error(std::string_view message) { raise(PyExc_ValueError, message); }

// The binding layer's type check failure: "'{}' object is not an instance of
// '{}'" with the type name of `obj`, or "'None' is not an instance of '{}'".
[[noreturn]] void raise_not_instance(PyObject* obj, std::string_view wanted);

// Adds a note (BaseException.add_note) to the pending exception; the
// exception stays pending. A failure of add_note itself is ignored.
void add_note_to_pending(std::string_view note) noexcept;

// The internal-error exception class: "tessolin.InternalError", base
// BaseException, created once per process (never added to any module).
// Throws PythonError only if the class cannot be made.
PyObject* internal_error_type();

// Sets the internal-error exception with `message` as the pending error.
// Never fails (falls back to SystemError if the class cannot be made).
void set_internal_error(std::string_view message) noexcept;

// To be called only inside a catch handler (catch (...)): turns the C++
// exception in flight into the pending Python exception, per the rules above.
void restore_error_from_current_exception() noexcept;

// Takes the pending exception out of the indicator (may be empty) / puts it
// back. Thin wrappers to keep ownership in PyRef.
inline PyRef fetch_error() noexcept { return PyRef::steal(PyErr_GetRaisedException()); }
inline void restore_error(PyRef exc) noexcept { PyErr_SetRaisedException(exc.release()); }

}  // namespace tessolin::py

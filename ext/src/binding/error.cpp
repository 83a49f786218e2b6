// Raising helpers and the conversion of C++ failures at the boundary.
#include "binding/error.hpp"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "binding/once_cell.hpp"

namespace tessolin::py {

namespace {

constexpr const char* kInternalErrorDoc =
    "A broken internal invariant of tessolin. This is a bug, not bad input: please report it.";

void set_string(PyObject* type, std::string_view message) noexcept {
  PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
  if (text == nullptr) return;  // the decode error (MemoryError) stays set
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

}  // namespace

void raise(PyObject* type, std::string_view message) {
  set_string(type, message);
  throw PythonError{};
}

void raise_not_instance(PyObject* obj, std::string_view wanted) {
  std::string text;
  if (obj == Py_None) {
    text = "'None' is not an instance of '";
  } else {
    PyRef type_name = PyRef::steal(PyType_GetName(Py_TYPE(obj)));
    const char* utf8 = type_name ? PyUnicode_AsUTF8AndSize(type_name.get(), nullptr) : nullptr;
    if (utf8 == nullptr) {
      PyErr_Clear();
      utf8 = Py_TYPE(obj)->tp_name;
    }
    text = "'";
    text += utf8;
    text += "' object is not an instance of '";
  }
  text += wanted;
  text += "'";
  raise(PyExc_TypeError, text);
}

void add_note_to_pending(std::string_view note) noexcept {
  PyObject* exc = PyErr_GetRaisedException();
  if (exc == nullptr) return;
  PyObject* text = PyUnicode_FromStringAndSize(note.data(), static_cast<Py_ssize_t>(note.size()));
  if (text != nullptr) {
    PyObject* r = PyObject_CallMethod(exc, "add_note", "O", text);
    Py_DECREF(text);
    Py_XDECREF(r);
  }
  PyErr_Clear();
  PyErr_SetRaisedException(exc);
}

PyObject* internal_error_type() {
  static constinit OnceCell<PyRef> cell;
  return cell
      .get([] {
        return PyRef::check(
            PyErr_NewExceptionWithDoc("tessolin.InternalError", kInternalErrorDoc, PyExc_BaseException, nullptr));
      })
      .get();
}

void set_internal_error(std::string_view message) noexcept {
  PyObject* type = nullptr;
  try {
    type = internal_error_type();
  } catch (...) {
    PyErr_Clear();
    type = PyExc_SystemError;
  }
  set_string(type, message.empty() ? std::string_view(kPanicText) : message);
}

void restore_error_from_current_exception() noexcept {
  try {
    throw;
  } catch (const PythonError&) {
    if (!PyErr_Occurred()) set_internal_error("an error was signalled but no Python exception was set");
  } catch (const std::bad_alloc&) {
    Py_FatalError("tessolin: out of memory");
  } catch (const std::exception& e) {
    // A Python error left pending by a failed step is superseded.
    PyErr_Clear();
    set_internal_error(e.what());
  } catch (...) {
    PyErr_Clear();
    set_internal_error(kPanicText);
  }
}

}  // namespace tessolin::py

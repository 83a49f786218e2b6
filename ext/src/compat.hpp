// C API calls that arrived in CPython 3.14, available on older interpreters.
//
// Everything here lives in tessolin::compat under the C API's own name, so
// code writes `compat::PyLong_AsInt64(obj, &v)` and switches to the real call
// for free when built against 3.14 or later. The fallbacks keep the 3.14
// contracts (return values, raised exceptions) exactly.
//
//   compat::PyLong_FromInt64(int64_t)            -> new ref or NULL
//   compat::PyLong_AsInt64(obj, int64_t*)        -> 0, or -1 with an error set
//   compat::PyIter_NextItem(iter, PyObject**)    -> 1 item, 0 exhausted, -1 error
//   compat::PyUnicode_Equal(a, b)                -> 1 / 0, or -1 (TypeError) if
//                                                   either is not a str
//   compat::PyUnicodeWriter* and its calls       -> Create, Discard, Finish,
//                                                   WriteChar, WriteUTF8,
//                                                   WriteStr, WriteRepr
#pragma once

#include <Python.h>

#include <cstdint>

#if PY_VERSION_HEX >= 0x030E0000

namespace tessolin::compat {
using ::PyIter_NextItem;
using ::PyLong_AsInt64;
using ::PyLong_FromInt64;
using ::PyUnicode_Equal;
using ::PyUnicodeWriter;
using ::PyUnicodeWriter_Create;
using ::PyUnicodeWriter_Discard;
using ::PyUnicodeWriter_Finish;
using ::PyUnicodeWriter_WriteChar;
using ::PyUnicodeWriter_WriteRepr;
using ::PyUnicodeWriter_WriteStr;
using ::PyUnicodeWriter_WriteUTF8;
}  // namespace tessolin::compat

#else

namespace tessolin::compat {

static_assert(sizeof(long long) == sizeof(int64_t));

inline PyObject* PyLong_FromInt64(int64_t value) noexcept { return PyLong_FromLongLong(static_cast<long long>(value)); }

inline int PyLong_AsInt64(PyObject* obj, int64_t* value) noexcept {
  long long v = PyLong_AsLongLong(obj);
  if (v == -1 && PyErr_Occurred()) return -1;
  *value = static_cast<int64_t>(v);
  return 0;
}

inline int PyIter_NextItem(PyObject* iter, PyObject** item) noexcept {
  if (!PyIter_Check(iter)) {
    *item = nullptr;
    PyErr_Format(PyExc_TypeError, "expected an iterator, got '%T'", iter);
    return -1;
  }
  *item = PyIter_Next(iter);
  if (*item != nullptr) return 1;
  return PyErr_Occurred() ? -1 : 0;
}

inline int PyUnicode_Equal(PyObject* a, PyObject* b) noexcept {
  if (!PyUnicode_Check(a)) {
    PyErr_Format(PyExc_TypeError, "first argument must be str, not %T", a);
    return -1;
  }
  if (!PyUnicode_Check(b)) {
    PyErr_Format(PyExc_TypeError, "second argument must be str, not %T", b);
    return -1;
  }
  if (a == b) return 1;
  if (PyUnicode_GET_LENGTH(a) != PyUnicode_GET_LENGTH(b) || PyUnicode_KIND(a) != PyUnicode_KIND(b)) {
    return 0;
  }
  return PyUnicode_Compare(a, b) == 0 ? 1 : 0;
}

// The writer accumulates UTF-8; a lone surrogate is stored in its 3-byte
// "surrogatepass" form and restored by Finish, so any str round-trips.
struct PyUnicodeWriter;

PyUnicodeWriter* PyUnicodeWriter_Create(Py_ssize_t length) noexcept;
void PyUnicodeWriter_Discard(PyUnicodeWriter* writer) noexcept;
PyObject* PyUnicodeWriter_Finish(PyUnicodeWriter* writer) noexcept;
int PyUnicodeWriter_WriteChar(PyUnicodeWriter* writer, Py_UCS4 ch) noexcept;
int PyUnicodeWriter_WriteUTF8(PyUnicodeWriter* writer, const char* str, Py_ssize_t size) noexcept;
int PyUnicodeWriter_WriteStr(PyUnicodeWriter* writer, PyObject* obj) noexcept;
int PyUnicodeWriter_WriteRepr(PyUnicodeWriter* writer, PyObject* obj) noexcept;

}  // namespace tessolin::compat

#endif

// The str writer of CPython 3.14 for older interpreters (see compat.hpp).
#include "compat.hpp"

#if PY_VERSION_HEX < 0x030E0000

#include <cstring>
#include <new>
#include <string>

namespace tessolin::compat {

struct PyUnicodeWriter {
  std::string utf8;
  bool has_surrogates = false;
};

namespace {

int append(PyUnicodeWriter* w, const char* data, std::size_t size) noexcept {
  try {
    w->utf8.append(data, size);
    return 0;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
    return -1;
  }
}

// Strict UTF-8 (no surrogates, no overlongs); the length of the valid prefix.
std::size_t valid_utf8_prefix(const unsigned char* s, std::size_t n) noexcept {
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return i;
    }
    if (i + len > n) return i;
    for (std::size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return i;
    }
    i += len;
  }
  return n;
}

int append_str(PyUnicodeWriter* w, PyObject* str) noexcept {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data != nullptr) return append(w, data, static_cast<std::size_t>(size));
  if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return -1;
  PyErr_Clear();
  PyObject* bytes = PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass");
  if (bytes == nullptr) return -1;
  w->has_surrogates = true;
  int rc = append(w, PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
  Py_DECREF(bytes);
  return rc;
}

}  // namespace

PyUnicodeWriter* PyUnicodeWriter_Create(Py_ssize_t length) noexcept {
  if (length < 0) {
    PyErr_SetString(PyExc_ValueError, "length must be positive");
    return nullptr;
  }
  auto* w = new (std::nothrow) PyUnicodeWriter;
  if (w == nullptr) {
    PyErr_NoMemory();
    return nullptr;
  }
  try {
    w->utf8.reserve(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    delete w;
    PyErr_NoMemory();
    return nullptr;
  }
  return w;
}

void PyUnicodeWriter_Discard(PyUnicodeWriter* writer) noexcept { delete writer; }

PyObject* PyUnicodeWriter_Finish(PyUnicodeWriter* writer) noexcept {
  PyObject* result = PyUnicode_DecodeUTF8(writer->utf8.data(), static_cast<Py_ssize_t>(writer->utf8.size()),
                                          writer->has_surrogates ? "surrogatepass" : nullptr);
  delete writer;
  return result;
}

int PyUnicodeWriter_WriteChar(PyUnicodeWriter* writer, Py_UCS4 ch) noexcept {
  if (ch > 0x10FFFF) {
    PyErr_SetString(PyExc_ValueError, "character must be in range(0x110000)");
    return -1;
  }
  char buf[4];
  std::size_t n;
  if (ch < 0x80) {
    buf[0] = static_cast<char>(ch);
    n = 1;
  } else if (ch < 0x800) {
    buf[0] = static_cast<char>(0xC0 | (ch >> 6));
    buf[1] = static_cast<char>(0x80 | (ch & 0x3F));
    n = 2;
  } else if (ch < 0x10000) {
    buf[0] = static_cast<char>(0xE0 | (ch >> 12));
    buf[1] = static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    buf[2] = static_cast<char>(0x80 | (ch & 0x3F));
    n = 3;
    if (ch >= 0xD800 && ch <= 0xDFFF) writer->has_surrogates = true;
  } else {
    buf[0] = static_cast<char>(0xF0 | (ch >> 18));
    buf[1] = static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
    buf[2] = static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    buf[3] = static_cast<char>(0x80 | (ch & 0x3F));
    n = 4;
  }
  return append(writer, buf, n);
}

int PyUnicodeWriter_WriteUTF8(PyUnicodeWriter* writer, const char* str, Py_ssize_t size) noexcept {
  std::size_t n = size < 0 ? std::strlen(str) : static_cast<std::size_t>(size);
  if (valid_utf8_prefix(reinterpret_cast<const unsigned char*>(str), n) != n) {
    // Let the codec produce the precise UnicodeDecodeError.
    PyObject* decoded = PyUnicode_DecodeUTF8(str, static_cast<Py_ssize_t>(n), "strict");
    Py_XDECREF(decoded);
    if (decoded != nullptr) PyErr_SetString(PyExc_UnicodeError, "invalid UTF-8");
    return -1;
  }
  return append(writer, str, n);
}

int PyUnicodeWriter_WriteStr(PyUnicodeWriter* writer, PyObject* obj) noexcept {
  PyObject* str = PyObject_Str(obj);
  if (str == nullptr) return -1;
  int rc = append_str(writer, str);
  Py_DECREF(str);
  return rc;
}

int PyUnicodeWriter_WriteRepr(PyUnicodeWriter* writer, PyObject* obj) noexcept {
  PyObject* str = PyObject_Repr(obj);
  if (str == nullptr) return -1;
  int rc = append_str(writer, str);
  Py_DECREF(str);
  return rc;
}

}  // namespace tessolin::compat

#endif

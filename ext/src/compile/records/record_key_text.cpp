#include "binding/error.hpp"
#include "compile/records/record_support.hpp"

namespace tessolin::build {

std::string_view record_key_text(PyObject* str) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(str, &size);
  if (text == nullptr) {
    PyErr_Clear();
    py::raise_value_error("a record key must be valid Unicode; a field name cannot contain a lone surrogate");
  }
  return {text, static_cast<size_t>(size)};
}

}  // namespace tessolin::build

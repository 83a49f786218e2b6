#include "json/json_input_text.hpp"

#include "binding/error.hpp"
#include "errors/failures.hpp"
#include "json/python_object_builder.hpp"

namespace tessolin::py {

JsonInputText json_input_text(PyObject* data) noexcept {
  if (PyUnicode_Check(data)) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(data, &size);
    if (utf8 == nullptr) {
      // A lone surrogate is the document's fault; anything else
      // (memory) is not and stays pending.
      if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return {JsonInputClass::Failed, {}};
      PyErr_Clear();
      return {JsonInputClass::Undecodable, {}};
    }
    return {JsonInputClass::Text, std::string_view(utf8, static_cast<std::size_t>(size))};
  }
  if (PyBytes_Check(data)) {
    return {JsonInputClass::Text,
            std::string_view(PyBytes_AS_STRING(data), static_cast<std::size_t>(PyBytes_GET_SIZE(data)))};
  }
  return {JsonInputClass::WrongType, {}};
}

PyRef parse_json_input(PyObject* data) {
  const JsonInputText input = json_input_text(data);
  switch (input.kind) {
    case JsonInputClass::Text: return parse_json_to_object(input.text);
    case JsonInputClass::Undecodable: restore_error(json_invalid_error(kLoneSurrogateMessage)); throw PythonError{};
    case JsonInputClass::WrongType: raise_type_error(kJsonInputTypeMessage);
    case JsonInputClass::Failed: throw PythonError{};
  }
  throw InternalError("unknown JSON input class");
}

}  // namespace tessolin::py

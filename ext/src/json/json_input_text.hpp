// What a JSON entry point accepts as a document: a str (its UTF-8) or a
// bytes object (as is), subclasses of both.
#pragma once

#include <Python.h>

#include <string_view>

#include "binding/ref.hpp"

namespace tessolin::py {

enum class JsonInputClass : unsigned char {
  Text,         // `text` views the document
  Undecodable,  // a str holding a lone surrogate; no exception pending
  WrongType,    // neither str nor bytes; no exception pending
  Failed,       // the UTF-8 form of a str could not be made for another
                // reason (memory); that exception is pending
};

struct JsonInputText {
  JsonInputClass kind;
  std::string_view text;  // valid while `data` lives (immutable buffers)
};

// Classifies `data` (borrowed; the view lives as long as it does).
JsonInputText json_input_text(PyObject* data) noexcept;

inline constexpr const char* kJsonInputTypeMessage = "JSON input must be a str or bytes object";
inline constexpr const char* kLoneSurrogateMessage = "input string is not valid UTF-8 (contains a lone surrogate)";

// Classifies and parses into Python objects: TypeError for a wrong type,
// the "json_invalid" ValidationError for a lone surrogate or a document that
// does not parse. Throws PythonError with the exception pending.
PyRef parse_json_input(PyObject* data);

}  // namespace tessolin::py

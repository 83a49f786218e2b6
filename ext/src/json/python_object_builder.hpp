// Parsing a JSON document straight into Python objects: dicts, lists, str,
// int, float, bool and None, in one pass over the text.
#pragma once

#include <Python.h>

#include <optional>
#include <string_view>

#include "binding/ref.hpp"
#include "json/json_error.hpp"

namespace tessolin::py {

// The Python object the document spells. A document that does not parse
// raises the "json_invalid" ValidationError naming the fault's line and
// column; any other failure (memory) raises its own exception. Throws
// PythonError with the exception pending.
PyRef parse_json_to_object(std::string_view text);

// The same, but a document that does not parse comes back as its error,
// with nothing pending and `out` left empty; only a failure to make an
// object throws PythonError.
std::optional<json::JsonError> parse_json_objects(std::string_view text, PyRef& out);

}  // namespace tessolin::py

#include "json/python_object_builder.hpp"

#include <optional>

#include "binding/error.hpp"
#include "errors/failures.hpp"
#include "json/json_big_integer.hpp"
#include "json/json_parser.hpp"
#include "json/python_builder.hpp"

namespace tessolin::py {

static_assert(json::JsonBuilder<PythonObjectBuilder>);

std::optional<json::JsonError> parse_json_objects(std::string_view text, PyRef& out) {
  PythonObjectBuilder builder;
  std::optional<json::JsonError> error = json::parse_json(text, builder);
  if (error) {
    if (error->code != json::JsonErrorCode::StoppedByBuilder) return error;
    if (PyErr_Occurred()) throw PythonError{};
    throw InternalError("the JSON parse stopped without a reason");
  }
  out = builder.take_result();
  if (!out) throw InternalError("the JSON parse left no single value");
  return std::nullopt;
}

PyRef parse_json_to_object(std::string_view text) {
  PyRef result;
  if (std::optional<json::JsonError> error = parse_json_objects(text, result)) {
    restore_error(json_invalid_error(error->text()));
    throw PythonError{};
  }
  return result;
}

}  // namespace tessolin::py

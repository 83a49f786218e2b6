#include "check/json_input.hpp"
#include "json/json_value_to_object.hpp"

namespace tessolin::check {

py::PyRef json_input_to_object(WalkInput input) noexcept { return py::json_value_to_object(*input.json_value()); }

}  // namespace tessolin::check

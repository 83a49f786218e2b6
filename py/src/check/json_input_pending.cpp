// Until JSON values are walked in place, no entry point hands one to the
// walk; should one arrive, it is a non-member and its conversion fails
// loudly rather than passing.
#include "check/json_input.hpp"

namespace tessolin::check {

py::PyRef json_input_to_object(WalkInput) noexcept {
    PyErr_SetString(PyExc_NotImplementedError, "JSON values are not walked in place yet");
    return {};
}

bool walk_json_node(const ir::SchemaNode&, WalkInput, const WalkContext&) { return false; }

}  // namespace tessolin::check

#include "check/recording.hpp"

#include "binding/python_error.hpp"
#include "check/fatal_errors.hpp"
#include "check/json_input.hpp"
#include "ir/node_walk.hpp"
#include "render/value_text.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {
constexpr const char* kUnrepresentable = "<unrepresentable>";
}  // namespace

std::string render_object_text(PyObject* obj, const WalkShared& shared) {
  try {
    return py::render_value(obj);
  } catch (const py::PythonError&) {
    // The repr of a long linked chain recurses past the interpreter's limit
    // (Python's own repr of it does too) while the check itself did not:
    // only the message loses its value text. Any other fatal exception
    // still stops the check.
    if (PyErr_ExceptionMatches(PyExc_RecursionError)) {
      discard_pending_error();
    } else {
      absorb_pending_error(shared);
    }
    return kUnrepresentable;
  }
}

std::string render_input(WalkInput input, const WalkShared& shared) {
  if (input.is_object()) return render_object_text(input.py(), shared);
  py::PyRef converted = json_input_to_object(input);
  if (!converted) {
    discard_pending_error();
    return kUnrepresentable;
  }
  return render_object_text(converted.get(), shared);
}

py::Violation make_violation(const char* code, std::string expected, WalkInput input,
                             const std::vector<py::PathSegment>& path, const WalkShared& shared) {
  return py::Violation{path, std::move(expected), render_input(input, shared), code};
}

void push_violation(const char* code, std::string expected, WalkInput input, const WalkContext& ctx) {
  if (!ctx.collecting()) return;
  ctx.violations->push_back(make_violation(code, std::move(expected), input, *ctx.path, *ctx.shared));
}

void push_type_violation(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
  std::string_view code = ir::kind_error_code(node);
  // Error codes are static texts of the IR's kind tables.
  ctx.violations->push_back(
      make_violation(code.data(), std::string(ir::kind_display_name(node)), input, *ctx.path, *ctx.shared));
}

void record_mutation(WalkInput input, const WalkContext& ctx) {
  push_violation(errors::code::kMutatedDuringValidation, "a value that does not change while it is checked", input,
                 ctx);
}

py::Violation make_key_violation(const std::vector<py::PathSegment>& path, py::PathSegment step, const char* code,
                                 std::string expected, std::string value) {
  py::Violation v{path, std::move(expected), std::move(value), code};
  v.path.push_back(std::move(step));
  return v;
}

}  // namespace tessolin::check

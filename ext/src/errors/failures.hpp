// The Failures object behind a raised ValidationError, and the making of
// that error.
#pragma once

#include <Python.h>

#include <string_view>
#include <vector>

#include "binding/ref.hpp"
#include "errors/violation.hpp"

namespace tessolin::py {

// Instance data of a Failures object; never changed after it is made.
struct FailuresData {
  std::vector<Violation> violations;
};

// The Failures class ("tessolin.Failures"), made once per process. A failure
// to make it is an InternalError.
PyTypeObject* failures_type();

// The data of `obj` when it is a Failures instance, else nullptr.
const FailuresData* failures_data(PyObject* obj) noexcept;

// The ValidationError for a failed walk: message, instance, and a Failures
// object that takes over `violations` (moved, never copied) stored as
// `_failures`. `violations` may be empty. Throws PythonError with the
// exception that stopped the making.
PyRef build_validation_error(std::vector<Violation>&& violations);

// Makes the error and sets it as the pending exception; always throws
// PythonError (the walk's entry points end with this).
[[noreturn]] void raise_validation_error(std::vector<Violation>&& violations);

// The ValidationError for a JSON document that does not parse: one
// violation, empty path, expected "valid JSON", value `parser_text` cut to
// 80 characters, code "json_invalid".
PyRef json_invalid_error(std::string_view parser_text);

}  // namespace tessolin::py

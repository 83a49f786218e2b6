// One failure found by the walk, and how its text is written.
#pragma once

#include <Python.h>

#include <string>
#include <vector>

#include "binding/ref.hpp"
#include "errors/path_segment.hpp"

namespace tessolin::py {

struct Violation {
  std::vector<PathSegment> path;  // outermost step first; empty: the value itself
  std::string expected;           // what the schema asked for there (UTF-8)
  std::string value;              // the offending value as rendered (at most 80 chars + "...")
  const char* code;               // a fixed error code, static text: "int_type", ...
};

// Stands in for the first violation of an empty list: empty path, expected
// "a member of the schema's set", empty value, code "validation_error".
const Violation& default_violation() noexcept;

// Appends the violation's line: "at {path}: " when the path is not empty,
// then "expected {}, got {} [{}]".
void write_violation_line(const Violation& violation, std::string& out);

// The whole message of an error holding `violations` (may be empty): one
// line for zero or one violation, else "{n} validation errors:" and each
// line after a newline.
std::string validation_error_message(const std::vector<Violation>& violations);

// The `path` attribute: a tuple of str and int. Throws PythonError.
PyRef path_to_tuple(const std::vector<PathSegment>& path);

// A str from UTF-8 text produced here (lone surrogates pass). Throws.
PyRef text_to_str(std::string_view text);

}  // namespace tessolin::py

// How Python values are written into messages: cut to 80 characters,
// never failing where a message must still be produced.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "limits/limits.hpp"

namespace tessolin::py {

// Characters (scalar values, not bytes) kept of a rendered value or error
// text; a longer text becomes its first 80 characters and "...".
inline constexpr std::size_t kViolationTextLimit = limits::kValueTextChars;

// The text of any object: lists, tuples, dicts, sets, frozensets and their
// subclasses through value_repr(), everything else through repr(); cut with
// shorten_text. Throws PythonError only when repr() of a non-container
// raises (the container route falls back to repr() on any failure).
std::string render_value(PyObject* obj);
// Appends the same text to `out`.
void append_rendered_value(std::string& out, PyObject* obj);

// The cut to kViolationTextLimit characters; `text` is UTF-8.
std::string shorten_text(std::string_view text);

// render_value, or "<unrepresentable>" when it raises; leaves no exception.
std::string safe_repr(PyObject* obj);

// The __name__ of a class, or safe_repr(cls) when that is not a usable str.
std::string class_name(PyObject* cls);

// `text` as a double-quoted literal: \" \\ \t \r \n \0 escaped, characters
// that are not printable or that extend a grapheme as \u{hex}.
std::string quote_text(std::string_view text);

// Whether render_value takes the value_repr route for `obj`.
bool is_rendered_as_container(PyObject* obj) noexcept;

}  // namespace tessolin::py

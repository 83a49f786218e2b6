// JSON integers beyond 64 bits as Python ints, converted exactly from their
// decimal text to binary (never through int(str), so the interpreter's
// limit on digits for string conversion does not apply).
#pragma once

#include <Python.h>

#include <string_view>

namespace tessolin::py {

// A new reference to the int that `text` (optional '-', then digits) spells,
// or nullptr with the exception set.
PyObject* big_integer_to_int(std::string_view text) noexcept;

}  // namespace tessolin::py

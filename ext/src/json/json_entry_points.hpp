// The JSON validation methods of a Validator: validate_json, load and
// is_valid_json, in that order, as method-table entries (without the null
// sentinel; a static array that lives for the process). They belong in the
// class's table right after validate, is_valid and ensure.
#pragma once

#include <Python.h>

#include <span>

namespace tessolin::py {

std::span<const PyMethodDef> json_check_methods();

}  // namespace tessolin::py

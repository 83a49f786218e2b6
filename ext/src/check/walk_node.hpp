// The one recursive operation of the validation walk.
#pragma once

#include <Python.h>

#include <cstdint>

#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

// True when the input is a member of the node's set. Guards the abort flag
// and the nesting limit (512 levels, every kind counts one), decides the
// scalar kinds inline and hands the rest to the per-kind walks.
bool walk_node(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx);

// The scalar test of tags 0..7 for a Python object, recording nothing.
inline bool scalar_matches(uint8_t tag, PyObject* obj) noexcept {
    switch (tag) {
        case 0: return true;
        case 1: return false;
        case 2: return obj == Py_None;
        case 3: return Py_IS_TYPE(obj, &PyBool_Type);
        case 4: return PyLong_Check(obj);
        case 5: return PyFloat_Check(obj);
        case 6: return PyUnicode_Check(obj);
        default: return PyBytes_Check(obj);
    }
}

}  // namespace tessolin::check

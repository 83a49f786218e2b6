// The leaf tests of the walk, for both inputs side by side: the answer of
// the plain kinds (Anything to Bytes), which a value's kind alone settles,
// and the builtin type a JSON value stands for.
//
// A JSON value stands for the object json.loads makes of it: null is None,
// true and false are bool, integers of any size are int, numbers with a
// fraction or an exponent are float, strings are str, arrays are list and
// objects are dict. Each test answers alike for a JSON value and the object
// it stands for. The JSON plan (json/json_plan.hpp) reads the same table.
#pragma once

#include <Python.h>

#include <cstdint>

#include "check/walk_input.hpp"
#include "ir/node_kind.hpp"
#include "json/json_value.hpp"

namespace tessolin::check {

// A set of JSON value kinds, one bit per json::JsonKind.
using JsonKinds = uint8_t;
inline constexpr JsonKinds json_kind_bit(json::JsonKind kind) noexcept {
  return static_cast<JsonKinds>(1u << static_cast<unsigned>(kind));
}
inline constexpr JsonKinds kAllJsonKinds = 0xFF;

// A Python object against a plain kind (`tag` at most Bytes). An int
// schema takes bools, as isinstance(True, int) does.
inline bool scalar_matches(uint8_t tag, PyObject* obj) noexcept {
  using K = ir::NodeKind;
  switch (static_cast<K>(tag)) {
    case K::Anything: return true;
    case K::Nothing: return false;
    case K::None: return obj == Py_None;
    case K::Bool: return Py_IS_TYPE(obj, &PyBool_Type);
    case K::Int: return PyLong_Check(obj);
    case K::Float: return PyFloat_Check(obj);
    case K::Str: return PyUnicode_Check(obj);
    default: return PyBytes_Check(obj);
  }
}

// The JSON value kinds a plain kind takes (`tag` at most Bytes).
inline constexpr JsonKinds plain_json_kinds(uint8_t tag) noexcept {
  using K = ir::NodeKind;
  using json::JsonKind;
  switch (static_cast<K>(tag)) {
    case K::Anything: return kAllJsonKinds;
    case K::None: return json_kind_bit(JsonKind::Null);
    case K::Bool: return json_kind_bit(JsonKind::Bool);
    case K::Int: return json_kind_bit(JsonKind::Int) | json_kind_bit(JsonKind::Bool) | json_kind_bit(JsonKind::BigInt);
    case K::Float: return json_kind_bit(JsonKind::Float);
    case K::Str: return json_kind_bit(JsonKind::String);
    default: return 0;  // Nothing; and no JSON value is bytes
  }
}

// A JSON value against a plain kind.
inline bool json_scalar_matches(uint8_t tag, const json::JsonValue& value) noexcept {
  return (plain_json_kinds(tag) & json_kind_bit(value.kind())) != 0;
}

// Either input against a plain kind.
inline bool leaf_matches(uint8_t tag, WalkInput input) noexcept {
  return input.is_object() ? scalar_matches(tag, input.py()) : json_scalar_matches(tag, *input.json_value());
}

// The builtin type of the Python object a JSON value of `kind` stands for.
inline PyTypeObject* json_python_type(json::JsonKind kind) noexcept {
  using json::JsonKind;
  switch (kind) {
    case JsonKind::Null: return Py_TYPE(Py_None);
    case JsonKind::Bool: return &PyBool_Type;
    case JsonKind::Int:
    case JsonKind::BigInt: return &PyLong_Type;
    case JsonKind::Float: return &PyFloat_Type;
    case JsonKind::String: return &PyUnicode_Type;
    case JsonKind::Array: return &PyList_Type;
    case JsonKind::Object: return &PyDict_Type;
  }
  return Py_TYPE(Py_None);
}

}  // namespace tessolin::check

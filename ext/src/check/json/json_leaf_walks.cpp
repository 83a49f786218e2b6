// Literals, instances and unions over JSON values (membership only,
// json_walks.hpp). A literal or instance test that the value's kind settles
// is answered without making the Python object; the rest converts the value
// and runs the Python-object test.
#include <cassert>
#include <optional>
#include <string_view>

#include "check/fatal_errors.hpp"
#include "check/json/json_walks.hpp"
#include "check/precompute.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"

namespace tessolin::check {

namespace {

using json::JsonKind;
using json::JsonValue;

// Whether a JSON value equals a constant, when that is known without making
// the value's object: nothing means convert and compare.
std::optional<bool> json_equals_constant(const JsonValue& value, PyObject* constant) {
  PyTypeObject* type = Py_TYPE(constant);
  // A literal matches only a value of exactly its type.
  if (type != json_python_type(value.kind())) return false;
  switch (value.kind()) {
    case JsonKind::Null: return true;
    case JsonKind::Bool: return value.as_bool() == (constant == Py_True);
    case JsonKind::Int: {
      int overflow = 0;
      const long long c = PyLong_AsLongLongAndOverflow(constant, &overflow);
      if (overflow != 0) return false;  // the value fits 64 bits, the constant does not
      if (c == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return std::nullopt;
      }
      return static_cast<long long>(value.as_int()) == c;
    }
    case JsonKind::BigInt: {
      int overflow = 0;
      PyLong_AsLongLongAndOverflow(constant, &overflow);
      if (PyErr_Occurred()) {
        PyErr_Clear();
        return std::nullopt;
      }
      if (overflow == 0) return false;  // the value does not fit 64 bits, the constant does
      return std::nullopt;
    }
    case JsonKind::Float: return value.as_float() == PyFloat_AS_DOUBLE(constant);
    case JsonKind::String: {
      Py_ssize_t size = 0;
      const char* data = PyUnicode_AsUTF8AndSize(constant, &size);
      if (data == nullptr) {
        // Lone surrogates: no JSON string holds one.
        PyErr_Clear();
        return false;
      }
      return value.as_string() == std::string_view(data, static_cast<size_t>(size));
    }
    default: return std::nullopt;
  }
}

}  // namespace

bool check_json_literal(uint64_t pool_index, WalkInput input, const WalkContext& ctx) {
  assert(ctx.mode == WalkMode::Membership);
  PyObject* constant = ctx.shared->pool.at(pool_index);
  if (constant == nullptr) return false;
  if (std::optional<bool> answer = json_equals_constant(*input.json_value(), constant)) return *answer;
  return check_literal(pool_index, input, ctx);
}

bool check_json_instance(uint64_t pool_index, WalkInput input, const WalkContext& ctx) {
  assert(ctx.mode == WalkMode::Membership);
  PyObject* cls = ctx.shared->pool.at(pool_index);
  if (cls == nullptr) return false;
  // A class whose metaclass is exactly type has no __instancecheck__ of
  // its own, and the builtin types a JSON value stands for report
  // themselves as __class__: isinstance is the subtype test.
  if (PyType_CheckExact(cls)) {
    return PyType_IsSubtype(json_python_type(input.json_value()->kind()), reinterpret_cast<PyTypeObject*>(cls));
  }
  return check_instance(pool_index, input, ctx);
}

bool walk_json_union(const ir::NodeList& members, WalkInput input, const WalkContext& ctx) {
  assert(ctx.mode == WalkMode::Membership);
  const WalkShared& shared = *ctx.shared;
  if (shared.tables != nullptr) {
    const JsonValue& value = *input.json_value();
    // An int within 64 bits or a str is exactly an int or str object, so
    // the union's literal sets answer as they do for Python objects.
    if (value.kind() == JsonKind::Int || value.kind() == JsonKind::String) {
      if (const LiteralSet* set = shared.tables->find_literals(members)) {
        if (value.kind() == JsonKind::Int) return set->ints.find(value.as_int()) != set->ints.end();
        return set->texts.find(value.as_string()) != set->texts.end();
      }
    }
  }
  for (const ir::SchemaNode& member : members) {
    if (walk_node(member, input, ctx)) return true;
    if (shared.aborted()) return false;
  }
  return false;
}

}  // namespace tessolin::check

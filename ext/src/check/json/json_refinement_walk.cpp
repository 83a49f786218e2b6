// Refinements over JSON values (membership only, json_walks.hpp). Each
// constraint that the JSON value settles by itself is read from it:
// lengths (str in code points), exact numeric bounds and divisors, patterns
// on the UTF-8 text. The others (predicates, bounds and divisors of other
// types, big ints where exactness needs Python) convert the value once and
// run the Python test.
#include <cassert>
#include <optional>
#include <string_view>

#include "compile/annotated/anchored_pattern.hpp"
#include "check/json/json_number_order.hpp"
#include "check/json/json_walks.hpp"
#include "check/json_input.hpp"
#include "check/precompute.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"

namespace tessolin::check {

// An exact int, bool or float constant as a Number; nothing for any other
// type (its comparisons are Python's business).
std::optional<Number> constant_number(PyObject* c) noexcept {
  if (PyBool_Check(c)) return Number{Number::Kind::Int, c == Py_True ? 1 : 0};
  if (PyLong_CheckExact(c)) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(c, &overflow);
    if (overflow != 0) return Number{Number::Kind::Big, 0, 0.0, overflow};
    if (v == -1 && PyErr_Occurred()) {
      PyErr_Clear();
      return std::nullopt;
    }
    return Number{Number::Kind::Int, static_cast<int64_t>(v)};
  }
  if (PyFloat_CheckExact(c)) return Number{Number::Kind::Double, 0, PyFloat_AS_DOUBLE(c)};
  return std::nullopt;
}

namespace {

using ir::ConstraintKind;
using json::JsonKind;
using json::JsonValue;

std::optional<bool> read_bound(ConstraintKind kind, const JsonValue& v, PyObject* bound) {
  if (PyUnicode_CheckExact(bound)) {
    if (v.kind() != JsonKind::String) return std::nullopt;
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(bound, &size);
    if (data == nullptr) {
      PyErr_Clear();
      return std::nullopt;
    }
    return text_order_passes(kind, v.as_string(), std::string_view(data, static_cast<size_t>(size)));
  }
  const std::optional<Number> b = constant_number(bound);
  if (!b) return std::nullopt;
  const std::optional<Number> a = json_number(v);
  // Ordering None, a str, a list or a dict against a number raises.
  if (!a) return false;
  const std::optional<int> order = order_numbers(*a, *b);
  if (!order) return std::nullopt;
  return order_passes(kind, *order);
}

std::optional<bool> read_multiple_of(const JsonValue& v, PyObject* divisor) {
  const std::optional<Number> d = constant_number(divisor);
  const std::optional<Number> a = json_number(v);
  if (!d || !a) return std::nullopt;
  return numbers_multiple_of(*a, *d);
}

std::optional<bool> read_length(ConstraintKind kind, uint64_t count, const JsonValue& v) noexcept {
  uint64_t length = 0;
  switch (v.kind()) {
    case JsonKind::String: length = code_points(v.as_string(), v.is_ascii()); break;
    case JsonKind::Array:
    case JsonKind::Object: length = v.size(); break;
    default: return false;  // len() of a number, bool or None raises
  }
  return kind == ConstraintKind::MinLen ? length >= count : length <= count;
}

bool read_pattern(std::string_view source, const JsonValue& v, const WalkShared& shared) {
  if (v.kind() != JsonKind::String) return false;
  if (const build::AnchoredPattern* compiled = shared.tables ? shared.tables->find_pattern(source) : nullptr) {
    return compiled->full_match(v.as_string());
  }
  build::AnchoredPatternResult own = build::compile_anchored_pattern(source);
  return own.pattern != nullptr && own.pattern->full_match(v.as_string());
}

// The constraint's answer read from the JSON value, or nothing when the
// Python object must be asked.
std::optional<bool> read_constraint(const ir::Constraint& c, const JsonValue& v, const WalkShared& shared) {
  switch (c.kind()) {
    case ConstraintKind::Ge:
    case ConstraintKind::Gt:
    case ConstraintKind::Le:
    case ConstraintKind::Lt: {
      PyObject* bound = shared.pool.at(c.word());
      if (bound == nullptr) return false;
      return read_bound(c.kind(), v, bound);
    }
    case ConstraintKind::MinLen:
    case ConstraintKind::MaxLen: return read_length(c.kind(), c.word(), v);
    case ConstraintKind::MultipleOf: {
      PyObject* divisor = shared.pool.at(c.word());
      if (divisor == nullptr) return false;
      return read_multiple_of(v, divisor);
    }
    case ConstraintKind::Predicate: return std::nullopt;
    case ConstraintKind::Pattern: return read_pattern(c.pattern_text(), v, shared);
  }
  return std::nullopt;
}

}  // namespace

bool walk_json_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints, WalkInput input,
                          const WalkContext& ctx) {
  assert(ctx.mode == WalkMode::Membership);
  if (!walk_node(base, input, ctx)) return false;
  const WalkShared& shared = *ctx.shared;
  py::PyRef converted;  // made at most once, on the first constraint that needs it
  for (const ir::Constraint& c : constraints) {
    if (std::optional<bool> read = read_constraint(c, *input.json_value(), shared)) {
      if (!*read) return false;
      continue;
    }
    if (!converted) {
      converted = json_input_to_object(input);
      if (!converted) {
        PyErr_Clear();
        return false;
      }
    }
    if (!check_refinement_constraint(c, converted.get(), ctx)) return false;
  }
  return true;
}

}  // namespace tessolin::check

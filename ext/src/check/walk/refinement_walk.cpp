// Refinements: a base node narrowed by bounds, lengths, a divisor, a
// predicate and a pattern, checked in canonical order.
#include <string>

#include "check/fatal_errors.hpp"
#include "check/json_input.hpp"
#include "check/precompute.hpp"
#include "check/recording.hpp"
#include "check/user_code.hpp"
#include "check/walk/container_kinds.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"
#include "render/value_text.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {

using ir::ConstraintKind;

struct Outcome {
  bool passed;
  bool record;  // whether a failure is recorded
  const char* code;
  std::string expected;
};

const char* compare_symbol(ConstraintKind kind) noexcept {
  switch (kind) {
    case ConstraintKind::Ge: return ">=";
    case ConstraintKind::Gt: return ">";
    case ConstraintKind::Le: return "<=";
    default: return "<";
  }
}

const char* compare_code(ConstraintKind kind) noexcept {
  switch (kind) {
    case ConstraintKind::Ge: return errors::code::kGreaterThanEqual;
    case ConstraintKind::Gt: return errors::code::kGreaterThan;
    case ConstraintKind::Le: return errors::code::kLessThanEqual;
    default: return errors::code::kLessThan;
  }
}

int compare_op(ConstraintKind kind) noexcept {
  switch (kind) {
    case ConstraintKind::Ge: return Py_GE;
    case ConstraintKind::Gt: return Py_GT;
    case ConstraintKind::Le: return Py_LE;
    default: return Py_LT;
  }
}

// The truth of `result`, or -1 with the exception pending (also when
// `result` is null because the producing call raised).
int truth_of(const py::PyRef& result) noexcept { return result ? PyObject_IsTrue(result.get()) : -1; }

// "ValueError: bad": the qualified type name and the exception's str.
std::string raised_text(PyObject* exception, const WalkShared& shared) {
  std::string text;
  py::PyRef qualname = py::PyRef::steal(PyType_GetQualName(Py_TYPE(exception)));
  Py_ssize_t size = 0;
  const char* data = qualname ? PyUnicode_AsUTF8AndSize(qualname.get(), &size) : nullptr;
  if (data != nullptr) {
    text.assign(data, static_cast<size_t>(size));
  } else {
    absorb_pending_error(shared);
  }
  py::PyRef str = py::PyRef::steal(PyObject_Str(exception));
  data = str ? PyUnicode_AsUTF8AndSize(str.get(), &size) : nullptr;
  if (data != nullptr) {
    text += ": ";
    text.append(data, static_cast<size_t>(size));
  } else {
    absorb_pending_error(shared);
    text += ": <exception str() failed>";
  }
  return py::shorten_text(text);
}

Outcome check_predicate(PyObject* predicate, PyObject* value, const WalkShared& shared) {
  py::PyRef result = py::PyRef::steal(PyObject_CallOneArg(predicate, value));
  int truth = truth_of(result);
  if (truth > 0) return {true, false, nullptr, {}};
  if (truth == 0) return {false, true, errors::code::kPredicateFailed, "a passing predicate"};
  py::PyRef exception = py::PyRef::steal(PyErr_GetRaisedException());
  if (is_fatal_exception(exception.get())) {
    store_fatal_error(std::move(exception), shared);
    return {false, false, nullptr, {}};
  }
  // The text may run __str__ of the exception; a fatal exception from it
  // is kept too.
  std::string expected = "a predicate that does not raise (raised " + raised_text(exception.get(), shared) + ")";
  return {false, true, errors::code::kPredicateError, std::move(expected)};
}

// The expected text quotes the pattern; it is made only for a failure, so a
// passing check costs the match alone.
Outcome pattern_failure(std::string_view source) {
  return {false, true, errors::code::kStringPatternMismatch, "a string matching " + py::quote_text(source)};
}

Outcome check_pattern(std::string_view source, PyObject* value, const WalkShared& shared) {
  if (!PyUnicode_Check(value)) return pattern_failure(source);
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value, &size);
  if (data == nullptr) {
    absorb_pending_error(shared);
    return pattern_failure(source);
  }
  std::string_view text(data, static_cast<size_t>(size));
  const build::AnchoredPattern* compiled = shared.tables ? shared.tables->find_pattern(source) : nullptr;
  bool matched = false;
  if (compiled != nullptr) {
    matched = compiled->full_match(text);
  } else {
    // Not in the tables (failed to compile there, or empty tables):
    // compile for this one test; a pattern that cannot compile fails.
    build::AnchoredPatternResult own = build::compile_anchored_pattern(source);
    matched = own.pattern != nullptr && own.pattern->full_match(text);
  }
  if (matched) return {true, false, nullptr, {}};
  return pattern_failure(source);
}

Outcome check_constraint(const ir::Constraint& c, PyObject* value, const WalkShared& shared) {
  switch (c.kind()) {
    case ConstraintKind::Ge:
    case ConstraintKind::Gt:
    case ConstraintKind::Le:
    case ConstraintKind::Lt: {
      PyObject* bound = shared.pool.at(c.word());
      if (bound == nullptr) return {false, false, nullptr, {}};
      if (!(is_plain_scalar(value) && is_plain_scalar(bound)) && !may_run_user_code(shared)) {
        return {false, false, nullptr, {}};
      }
      py::PyRef result = py::PyRef::steal(PyObject_RichCompare(value, bound, compare_op(c.kind())));
      if (fold_check_result(truth_of(result), shared)) return {true, false, nullptr, {}};
      return {false, true, compare_code(c.kind()),
              std::string(compare_symbol(c.kind())) + " " + render_object_text(bound, shared)};
    }
    case ConstraintKind::MinLen:
    case ConstraintKind::MaxLen: {
      if (!builtin_length(value) && !may_run_user_code(shared)) return {false, false, nullptr, {}};
      const bool min = c.kind() == ConstraintKind::MinLen;
      uint64_t length = 0;
      bool ok = value_length(value, length);
      if (!ok) {
        absorb_pending_error(shared);
      } else {
        ok = min ? length >= c.word() : length <= c.word();
      }
      if (ok) return {true, false, nullptr, {}};
      return {false, true, min ? errors::code::kTooShort : errors::code::kTooLong,
              std::string("length ") + (min ? ">= " : "<= ") + std::to_string(c.word())};
    }
    case ConstraintKind::MultipleOf: {
      PyObject* divisor = shared.pool.at(c.word());
      if (divisor == nullptr) return {false, false, nullptr, {}};
      if (!(is_plain_scalar(value) && is_plain_scalar(divisor)) && !may_run_user_code(shared)) {
        return {false, false, nullptr, {}};
      }
      py::PyRef remainder = py::PyRef::steal(PyNumber_Remainder(value, divisor));
      int truth = -1;
      if (remainder) {
        py::PyRef zero = py::PyRef::steal(PyLong_FromLong(0));
        py::PyRef equal =
            zero ? py::PyRef::steal(PyObject_RichCompare(remainder.get(), zero.get(), Py_EQ)) : py::PyRef();
        truth = truth_of(equal);
      }
      if (fold_check_result(truth, shared)) return {true, false, nullptr, {}};
      return {false, true, errors::code::kMultipleOf, "a multiple of " + render_object_text(divisor, shared)};
    }
    case ConstraintKind::Predicate: {
      PyObject* predicate = shared.pool.at(c.word());
      if (predicate == nullptr || !may_run_user_code(shared)) return {false, false, nullptr, {}};
      return check_predicate(predicate, value, shared);
    }
    case ConstraintKind::Pattern: return check_pattern(c.pattern_text(), value, shared);
  }
  return {false, false, nullptr, {}};
}

}  // namespace

bool walk_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints, WalkInput input,
                     const WalkContext& ctx) {
  if (!walk_node(base, input, ctx)) return false;
  const WalkShared& shared = *ctx.shared;
  py::PyRef holder;
  PyObject* value = input.is_object() ? input.py() : nullptr;
  if (value == nullptr) {
    holder = json_input_to_object(input);
    if (!holder) {
      PyErr_Clear();
      return false;
    }
    value = holder.get();
  }
  bool all = true;
  for (const ir::Constraint& c : constraints) {
    if (check_refinement_constraint(c, value, ctx)) continue;
    all = false;
    if (shared.aborted() || ctx.mode != WalkMode::CollectAll) return false;
  }
  return all;
}

bool check_refinement_constraint(const ir::Constraint& c, PyObject* value, const WalkContext& ctx) {
  const WalkShared& shared = *ctx.shared;
  Outcome outcome = check_constraint(c, value, shared);
  if (outcome.passed) return true;
  if (!shared.aborted() && outcome.record && ctx.collecting()) {
    ctx.violations->push_back(
        py::Violation{*ctx.path, std::move(outcome.expected), render_object_text(value, shared), outcome.code});
  }
  return false;
}

}  // namespace tessolin::check

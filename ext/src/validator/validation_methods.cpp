// The membership entry points of a Validator for Python objects: validate,
// is_valid, ensure and the `in` operator. Each runs one walk over the root
// and turns its outcome into the result; a fatal exception met by the walk
// is raised by every one of them, the boolean ones included.
#include <string_view>
#include <vector>

#include "binding/binding.hpp"
#include "check/run_walk.hpp"
#include "json/json_entry_points.hpp"
#include "validator/fail_fast_argument.hpp"
#include "validator/validator_data.hpp"
#include "validator/validator_methods.hpp"

namespace tessolin::py {

namespace {

using check::WalkInput;
using check::WalkMode;

constexpr Signature<2> kValidateSig{
    "Validator.validate()", {{{"obj", ParamKind::PositionalOnly, true}, {"fail_fast", ParamKind::KeywordOnly, false}}}};
constexpr Signature<1> kIsValidSig{"Validator.is_valid()", {{{"obj", ParamKind::PositionalOnly, true}}}};
constexpr Signature<1> kEnsureSig{"Validator.ensure()", {{{"obj", ParamKind::PositionalOnly, true}}}};

ValidatorData& data_of(PyObject* self) { return *validator_data(self); }

// True for a member; otherwise false with the fatal exception or the
// ValidationError pending, which the caller reports by returning an empty
// result (NULL to the interpreter) rather than by a C++ throw.
bool run_validation(PyObject* self, PyObject* obj, WalkMode mode) {
  check::WalkOutcome outcome = check::run_walk(data_of(self), WalkInput::object(obj), mode);
  if (!outcome.fatal && outcome.member) return true;
  check::set_walk_failure(std::move(outcome));
  return false;
}

bool run_membership(PyObject* self, PyObject* obj) {
  check::WalkOutcome outcome = check::run_walk(data_of(self), WalkInput::object(obj), WalkMode::Membership);
  if (outcome.fatal) check::raise_walk_failure(std::move(outcome));
  return outcome.member;
}

PyRef validate_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kValidateSig, args, nargs, kwnames);
  const bool fail_fast = fail_fast_argument(a[1]);
  if (!run_validation(self, a[0], fail_fast ? WalkMode::FailFast : WalkMode::CollectAll)) return {};
  return PyRef::borrow(Py_None);
}

PyRef is_valid_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kIsValidSig, args, nargs, kwnames);
  return PyRef::borrow(run_membership(self, a[0]) ? Py_True : Py_False);
}

PyRef ensure_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kEnsureSig, args, nargs, kwnames);
  if (!run_validation(self, a[0], WalkMode::CollectAll)) return {};
  return PyRef::borrow(a[0]);
}

bool contains_body(PyObject* self, PyObject* item) { return run_membership(self, item); }

constexpr const char kValidateDoc[] =
    "validate($self, obj, /, *, fail_fast=False)\n--\n\n"
    "Validate `obj`, raising `ValidationError` if it is not a member of the\n"
    "schema's set; return None when it is.\n\n"
    "With fail_fast=True only the first failure is reported.";
constexpr const char kIsValidDoc[] =
    "is_valid($self, obj, /)\n--\n\n"
    "Whether `obj` is a member of the schema's set.";
constexpr const char kEnsureDoc[] =
    "ensure($self, obj, /)\n--\n\n"
    "Validate `obj` and return it unchanged.\n\n"
    "Raises `ValidationError` when it is not a member of the schema's set.";

const PyMethodDef kCheckMethods[] = {
    method_def("validate", &method_fastcall<&validate_body>, METH_FASTCALL | METH_KEYWORDS, kValidateDoc),
    method_def("is_valid", &method_fastcall<&is_valid_body>, METH_FASTCALL | METH_KEYWORDS, kIsValidDoc),
    method_def("ensure", &method_fastcall<&ensure_body>, METH_FASTCALL | METH_KEYWORDS, kEnsureDoc),
};

}  // namespace

// validate, is_valid, ensure, then the JSON entry points; built once and
// kept for the process, as the type keeps pointers into it.
std::span<const PyMethodDef> check_methods() {
  static const std::vector<PyMethodDef>* table = [] {
    auto* t = new std::vector<PyMethodDef>(std::begin(kCheckMethods), std::end(kCheckMethods));
    for (const PyMethodDef& def : json_check_methods()) t->push_back(def);
    return t;
  }();
  return *table;
}

int validator_contains(PyObject* self, PyObject* item) noexcept { return slot_contains<&contains_body>(self, item); }

}  // namespace tessolin::py

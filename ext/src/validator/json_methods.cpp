// The JSON entry points of a Validator. Each first takes the fast road when
// the validator's plan runs no user code: the document checked while it is
// read (check/json/json_fast_road.hpp), proving members in one pass;
// is_valid_json and validate_json make no objects on it, load makes each
// object as it checks it. What the fast road does not prove goes down the
// exact road: validate_json and load parse the document into Python objects
// and run the same walk as validate over them, so they reach the same
// answers and errors; is_valid_json parses into immutable JSON values and
// walks those in place in membership mode.
#include <string_view>

#include "binding/binding.hpp"
#include "check/json/json_fast_road.hpp"
#include "check/precompute.hpp"
#include "check/run_walk.hpp"
#include "json/json_document.hpp"
#include "json/json_entry_points.hpp"
#include "json/json_input_text.hpp"
#include "json/python_object_builder.hpp"
#include "validator/fail_fast_argument.hpp"
#include "validator/validator_data.hpp"

namespace tessolin::py {

namespace {

using check::WalkInput;
using check::WalkMode;

constexpr Signature<2> kValidateJsonSig{
    "Validator.validate_json()",
    {{{"data", ParamKind::PositionalOnly, true}, {"fail_fast", ParamKind::KeywordOnly, false}}}};
constexpr Signature<2> kLoadSig{
    "Validator.load()", {{{"data", ParamKind::PositionalOnly, true}, {"fail_fast", ParamKind::KeywordOnly, false}}}};
constexpr Signature<1> kIsValidJsonSig{"Validator.is_valid_json()", {{{"data", ParamKind::PositionalOnly, true}}}};

// The validator's plan when documents may take the fast road.
const check::JsonPlan* fast_road_plan(PyObject* self) {
  const check::Precompute& tables = check::ensure_precompute(*validator_data(self));
  const check::JsonPlan* plan = tables.json_plan.get();
  return plan != nullptr && !plan->runs_user_code() && check::fast_road_enabled() ? plan : nullptr;
}

// The parsed document (None unless `make_value`) when it is a member;
// otherwise an empty result with the fatal exception or the ValidationError
// of the walk pending, or a parse failure raised.
PyRef load_checked(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, const Signature<2>& sig,
                   bool make_value) {
  PyObject* data = nullptr;
  bool fail_fast = false;
  if (nargs == 1 && kwnames == nullptr) {
    data = args[0];  // the usual call: the document alone, so no flag to read
  } else {
    auto a = parse_fastcall(sig, args, nargs, kwnames);
    // Before the document is looked at: a bad flag is reported whatever the data.
    fail_fast = fail_fast_argument(a[1]);
    data = a[0];
  }
  if (const check::JsonPlan* plan = fast_road_plan(self)) {
    const JsonInputText input = json_input_text(data);
    if (input.kind == JsonInputClass::Text) {
      if (!make_value) {
        if (check::document_proved_member(*plan, input.text)) return PyRef::borrow(Py_None);
      } else if (PyRef loaded = check::load_proved_member(*plan, input.text)) {
        return loaded;
      }
    }
    PyErr_Clear();  // the exact road classifies the input again
  }
  PyRef parsed = parse_json_input(data);
  check::WalkOutcome outcome = check::run_walk(*validator_data(self), WalkInput::object(parsed.get()),
                                               fail_fast ? WalkMode::FailFast : WalkMode::CollectAll);
  if (outcome.fatal || !outcome.member) {
    check::set_walk_failure(std::move(outcome));
    return {};  // NULL with the failure pending, without a C++ throw
  }
  if (!make_value) return PyRef::borrow(Py_None);
  return parsed;
}

PyRef validate_json_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return load_checked(self, args, nargs, kwnames, kValidateJsonSig, false);
}

PyRef load_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return load_checked(self, args, nargs, kwnames, kLoadSig, true);
}

PyRef membership(PyObject* self, WalkInput input) {
  check::WalkOutcome outcome = check::run_walk(*validator_data(self), input, WalkMode::Membership);
  if (outcome.fatal) check::raise_walk_failure(std::move(outcome));
  return PyRef::borrow(outcome.member ? Py_True : Py_False);
}

// The fast road of is_valid_json: a long document is read with the
// interpreter lock released. `data` stays referenced by the caller for the
// whole call, and the text it views cannot change: a bytes object is
// immutable, and a str keeps its UTF-8 form until it dies.
bool document_member(const check::JsonPlan& plan, PyObject* data, std::string_view text) {
  if (text.size() < check::kReleaseLockBytes) return check::document_proved_member(plan, text);
  PyRef hold = PyRef::borrow(data);
  bool member;
  Py_BEGIN_ALLOW_THREADS member = check::document_proved_member(plan, text);
  Py_END_ALLOW_THREADS return member;
}

PyRef is_valid_json_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kIsValidJsonSig, args, nargs, kwnames);
  const JsonInputText input = json_input_text(a[0]);
  // A failure to make the UTF-8 form (memory) is fatal and stays raised;
  // a wrong type or a lone surrogate is simply not a member.
  if (input.kind == JsonInputClass::Failed) throw PythonError{};
  if (input.kind != JsonInputClass::Text) return PyRef::borrow(Py_False);
  if (const check::JsonPlan* plan = fast_road_plan(self)) {
    if (document_member(*plan, a[0], input.text)) return PyRef::borrow(Py_True);
  }
  // The document is walked as parsed JSON values, with no Python objects
  // made for its containers or strings.
  json::JsonDocument document;
  if (json::parse_json_document(input.text, document)) return PyRef::borrow(Py_False);
  return membership(self, WalkInput::json(&document.root()));
}

constexpr const char kValidateJsonDoc[] =
    "validate_json($self, data, /, *, fail_fast=False)\n--\n\n"
    "Validate a JSON document after parsing it natively: return None when it is a\n"
    "member of the schema's set, else raise ValidationError (code \"json_invalid\"\n"
    "when `data`, a str or bytes, does not parse).\n\n"
    "With fail_fast=True only the first failure is reported.";
constexpr const char kLoadDoc[] =
    "load($self, data, /, *, fail_fast=False)\n--\n\n"
    "Validate a JSON document and return the parsed value.\n\n"
    "`data` is a str or bytes; raises ValidationError when it does not parse or\n"
    "is not a member of the schema's set.\n\n"
    "With fail_fast=True only the first failure is reported.";
constexpr const char kIsValidJsonDoc[] =
    "is_valid_json($self, data, /)\n--\n\n"
    "Whether a JSON document parses and is a member of the schema's set.\n\n"
    "`data` is a str or bytes.";

const PyMethodDef kJsonMethods[] = {
    method_def("validate_json", &method_fastcall<&validate_json_body>, METH_FASTCALL | METH_KEYWORDS, kValidateJsonDoc),
    method_def("load", &method_fastcall<&load_body>, METH_FASTCALL | METH_KEYWORDS, kLoadDoc),
    method_def("is_valid_json", &method_fastcall<&is_valid_json_body>, METH_FASTCALL | METH_KEYWORDS, kIsValidJsonDoc),
};

}  // namespace

std::span<const PyMethodDef> json_check_methods() { return kJsonMethods; }

}  // namespace tessolin::py

// The JSON entry points of a Validator. validate_json and load parse the
// document into Python objects and run the same walk as validate over them,
// so they reach the same answers and errors; load hands back the object it
// checked. is_valid_json parses into immutable JSON values and walks those
// in place in membership mode, creating no Python objects for the document.
#include <string_view>

#include "binding/binding.hpp"
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

constexpr Signature<2> kValidateJsonSig{"Validator.validate_json()",
                                        {{{"data", ParamKind::PositionalOnly, true},
                                          {"fail_fast", ParamKind::KeywordOnly, false}}}};
constexpr Signature<2> kLoadSig{"Validator.load()",
                                {{{"data", ParamKind::PositionalOnly, true},
                                  {"fail_fast", ParamKind::KeywordOnly, false}}}};
constexpr Signature<1> kIsValidJsonSig{"Validator.is_valid_json()", {{{"data", ParamKind::PositionalOnly, true}}}};


// The parsed document when it is a member; otherwise raises the fatal
// exception, the ValidationError of the walk, or the parse failure.
PyRef load_checked(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                   const Signature<2>& sig) {
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
    PyRef parsed = parse_json_input(data);
    check::WalkOutcome outcome = check::run_walk(*validator_data(self), WalkInput::object(parsed.get()),
                                                 fail_fast ? WalkMode::FailFast : WalkMode::CollectAll);
    if (outcome.fatal || !outcome.member) check::raise_walk_failure(std::move(outcome));
    return parsed;
}

PyRef validate_json_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    load_checked(self, args, nargs, kwnames, kValidateJsonSig);
    return PyRef::borrow(Py_None);
}

PyRef load_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return load_checked(self, args, nargs, kwnames, kLoadSig);
}

PyRef membership(PyObject* self, WalkInput input) {
    check::WalkOutcome outcome = check::run_walk(*validator_data(self), input, WalkMode::Membership);
    if (outcome.fatal) check::raise_walk_failure(std::move(outcome));
    return PyRef::borrow(outcome.member ? Py_True : Py_False);
}

PyRef is_valid_json_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto a = parse_fastcall(kIsValidJsonSig, args, nargs, kwnames);
    const JsonInputText input = json_input_text(a[0]);
    // A failure to make the UTF-8 form (memory) is fatal and stays raised;
    // a wrong type or a lone surrogate is simply not a member.
    if (input.kind == JsonInputClass::Failed) throw PythonError{};
    if (input.kind != JsonInputClass::Text) return PyRef::borrow(Py_False);
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
    method_def("validate_json", &method_fastcall<&validate_json_body>, METH_FASTCALL | METH_KEYWORDS,
               kValidateJsonDoc),
    method_def("load", &method_fastcall<&load_body>, METH_FASTCALL | METH_KEYWORDS, kLoadDoc),
    method_def("is_valid_json", &method_fastcall<&is_valid_json_body>, METH_FASTCALL | METH_KEYWORDS,
               kIsValidJsonDoc),
};

}  // namespace

std::span<const PyMethodDef> json_check_methods() { return kJsonMethods; }

}  // namespace tessolin::py

// Copying shares everything and resets only the precompute cell; pickling
// is refused.
#include "binding/args.hpp"
#include "binding/error.hpp"
#include "binding/trampoline.hpp"
#include "validator/validator_data.hpp"
#include "validator/validator_methods.hpp"

namespace tessolin::py {

namespace {

constexpr const char* kPickleRefusal =
    "a Validator cannot be pickled: it holds the classes and callables its schema names, and those are what would "
    "have to travel. Send the schema instead and rebuild with Validator(...) on the other side; compiling is cheap, "
    "and `repr(validator)` gives an expression that rebuilds every form but a class or a predicate.";

constexpr Signature<1> kDeepcopySignature{"Validator.__deepcopy__()",
                                          {{{"_memo", ParamKind::PositionalOrKeyword, true}}}};

PyRef reduce_body(PyObject* /*self*/) { raise_type_error(kPickleRefusal); }

PyRef copy_body(PyObject* self) { return new_validator_object(validator_clone(*validator_data(self))); }

PyRef deepcopy_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  parse_fastcall(kDeepcopySignature, args, nargs, kwnames);
  return copy_body(self);
}

const PyMethodDef kCopyMethods[] = {
    method_def("__reduce__", &method_noargs<&reduce_body>, METH_NOARGS,
               "__reduce__($self)\n--\n\nRefuse to pickle, and say what to do instead."),
    method_def("__copy__", &method_noargs<&copy_body>, METH_NOARGS,
               "__copy__($self)\n--\n\nReturn an equivalent validator. The validator is immutable, so the copy\n"
               "shares its schema and constants; only its lazily built lookup tables start afresh."),
    method_def("__deepcopy__", &method_fastcall<&deepcopy_body>, METH_FASTCALL | METH_KEYWORDS,
               "__deepcopy__($self, _memo)\n--\n\nDeep-copy to an equivalent validator. Since the validator is "
               "immutable,\nthe copy shares its schema and constants, as __copy__ does."),
};

}  // namespace

std::span<const PyMethodDef> copy_methods() { return kCopyMethods; }

}  // namespace tessolin::py

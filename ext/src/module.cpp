// Entry point of the extension module _tessolin and its start-up sequence.
//
// The execute slot adds the public names in a fixed order, which is also the
// order of __all__. Any failing step stops the sequence and fails the import
// (names added before it stay on the module).
#include <Python.h>

#include "binding/error.hpp"
#include "binding/module_add.hpp"
#include "binding/ref.hpp"
#include "binding/trampoline.hpp"
#include "compat.hpp"
#include "exception/error_hooks.hpp"
#include "exception/validation_error_type.hpp"
#include "ir/limits.hpp"
#include "validator/combinators.hpp"
#include "validator/validator_data.hpp"

namespace tessolin::py {

namespace {

constexpr const char* kModuleDoc =
    "The `tessolin._tessolin` extension module.\n"
    "\n"
    "It declares itself ready for free-threaded Python: every surface it shares\n"
    "is immutable or synchronised inside. A Validator is frozen once built; its\n"
    "only lazy state, the precompute tables, fills once under a one-time cell;\n"
    "and each check keeps its recursion guard and failures in its own call.";

// Step 11: add the `Validator` class (the validator component provides its
// type object).
void add_validator_class(PyObject* module) {
  module_add(module, "Validator", PyRef::borrow(reinterpret_cast<PyObject*>(validator_type())));
}

// Step 12: add the module functions `union`, `intersection`, `complement`,
// `recursive`, in that order, each with module_add_function.
void add_module_functions(PyObject* module) { add_combinator_functions(module); }

// Step 13: add `anything` (over the shared Anything node), then `nothing`.
void add_validator_constants(PyObject* module) {
  module_add(module, "anything", make_anything_validator());
  module_add(module, "nothing", make_nothing_validator());
}

void add_limits(PyObject* module) {
  module_add(module, "MAX_SCHEMA_DEPTH", PyRef::check(PyLong_FromUnsignedLongLong(ir::kMaxSchemaDepth)));
  module_add(module, "MAX_DEFINITIONS", PyRef::check(PyLong_FromUnsignedLongLong(ir::kMaxDefinitions)));
  module_add(module, "MAX_SCHEMA_NODES", PyRef::check(PyLong_FromUnsignedLongLong(ir::kMaxSchemaNodes)));
}

void init_module(PyObject* module) {
  module_add(module, "__version__", PyRef::check(PyUnicode_FromString("0.0.12")));
  module_add(module, "_debug_build", PyRef::borrow(Py_False));
  // Creates ValidationError on first use in the process, runs the hook
  // module and installs __getattr__ / __reduce__ on the class.
  install_validation_error_hooks();
  module_add(module, "ValidationError", PyRef::borrow(validation_error_type()));
  add_validator_class(module);
  add_module_functions(module);
  add_validator_constants(module);
  add_limits(module);
}

void module_exec(PyObject* module) {
  if (module == nullptr) {
    if (PyErr_Occurred()) throw PythonError{};
    throw InternalError("module execution was handed no module");
  }
  if (!PyModule_Check(module)) raise_not_instance(module, "module");
  init_module(module);
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&slot_exec<&module_exec>)},
    // ValidationError and the type objects are shared process-wide, so the
    // module cannot live in an interpreter with its own object space.
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_tessolin", kModuleDoc, 0, nullptr, module_slots, nullptr, nullptr, nullptr,
};

}  // namespace

}  // namespace tessolin::py

PyMODINIT_FUNC PyInit__tessolin(void) { return PyModuleDef_Init(&tessolin::py::module_def); }

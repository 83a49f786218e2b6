#include "exception/error_hooks.hpp"

#include "binding/error.hpp"
#include "binding/module_add.hpp"
#include "binding/ref.hpp"
#include "errors/error_attributes.hpp"
#include "exception/validation_error_type.hpp"

namespace tessolin::py {

namespace {

// Plain functions, so that the class keeps ordinary Python semantics:
// __getattr__ runs only when normal lookup fails.
constexpr const char kHookSource[] =
    "def make(read, reduce):\n"
    "    def __getattr__(self, name):\n"
    "        return read(self, name)\n"
    "\n"
    "    def __reduce__(self):\n"
    "        return reduce(self)\n"
    "\n"
    "    return __getattr__, __reduce__\n";
static_assert(sizeof(kHookSource) - 1 == 180);

constexpr const char* kHookFileName = "<tessolin error hooks>";

PyRef load_error_hooks() {
  PyRef code = PyRef::check(Py_CompileStringExFlags(kHookSource, kHookFileName, Py_file_input, nullptr, -1));
  PyRef module = PyRef::check(PyImport_ExecCodeModuleEx("tessolin._error_hooks", code.get(), kHookFileName));
  if (!PyModule_Check(module.get())) raise_not_instance(module.get(), "module");
  return module;
}

}  // namespace

void install_validation_error_hooks() {
  PyObject* error_type = validation_error_type();
  PyRef hooks = load_error_hooks();
  PyRef make = PyRef::check(PyObject_GetAttrString(hooks.get(), "make"));
  PyRef read = new_builtin_function(&validation_error_getattr_def(), nullptr);
  PyRef reduce = new_builtin_function(&validation_error_reduce_def(), nullptr);
  PyObject* args[] = {read.get(), reduce.get()};
  PyRef pair = PyRef::check(PyObject_Vectorcall(make.get(), args, 2, nullptr));
  if (!PyTuple_Check(pair.get())) raise_not_instance(pair.get(), "tuple");
  // Tuple items stay alive with the tuple; GetItem raises IndexError when short.
  PyObject* getattr_fn = check(PyTuple_GetItem(pair.get(), 0));
  check(PyObject_SetAttrString(error_type, "__getattr__", getattr_fn));
  PyObject* reduce_fn = check(PyTuple_GetItem(pair.get(), 1));
  check(PyObject_SetAttrString(error_type, "__reduce__", reduce_fn));
}

}  // namespace tessolin::py

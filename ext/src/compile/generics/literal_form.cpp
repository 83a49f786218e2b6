// Literal[...]: a union of constants, with the arguments that would read as
// schemas of their own refused.
#include <vector>

#include "compile/compile_annotation.hpp"
#include "compile/generics/generic_support.hpp"
#include "ir/constructors.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

namespace {

void refuse_literal_argument(PyObject* argument) {
  const char* subject = nullptr;
  const char* rewrite = nullptr;
  if (PyList_Check(argument)) {
    subject = "a list";
    rewrite = "list[T] for a list of values, or a tuple of them in the Literal";
  } else if (PyDict_Check(argument)) {
    subject = "a dict";
    rewrite = "dict[K, V], or a record written as a dict literal";
  } else if (PyObject_TypeCheck(argument, &PySet_Type)) {
    subject = "a set";
    rewrite = "set[T]";
  } else {
    return;
  }
  refuse_form(std::string(subject) +
              " is not a Literal argument: the typing spec allows None, an enum member, or an int, bool, str or "
              "bytes value, and this one would be read as a schema of its own rather than as a constant. Write " +
              rewrite);
}

}  // namespace

ir::SchemaNode compile_literal_form(CompileContext& ctx, PyObject* args) {
  Py_ssize_t count = PyTuple_GET_SIZE(args);
  std::vector<ir::SchemaNode> members;
  members.reserve(static_cast<size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* argument = PyTuple_GET_ITEM(args, i);
    if (PyType_Check(argument)) {
      refuse_form(py::safe_repr(argument) +
                  " is a type rather than a constant, and is not a Literal argument: the typing spec allows None, "
                  "an enum member, or an int, bool, str or bytes value. Write the type on its own to admit its "
                  "values, or a constant to admit one");
    }
    refuse_literal_argument(argument);
    members.push_back(compile_annotation(ctx, argument));
  }
  return ir::make_union(std::move(members), ctx.definitions);
}

}  // namespace tessolin::build

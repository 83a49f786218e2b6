// A class written as a schema: builtin classes as their own kinds, object as
// the top, TypedDicts as records, enums as instance tests, dataclasses and
// named tuples with their shape, and every other class as an instance test.
#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "compile/builtin_classes.hpp"
#include "compile/classes/class_support.hpp"
#include "compile/forms.hpp"
#include "compile/records/record_support.hpp"
#include "handles/typing_handles.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

namespace {

constinit py::InternedName kRequiredKeysName{"__required_keys__"};
constinit py::InternedName kFieldsName{"_fields"};

bool has_attribute(PyObject* obj, PyObject* name) { return py::check(PyObject_HasAttrWithError(obj, name)) == 1; }

bool is_dataclass(PyObject* cls) {
  py::PyRef answer = py::PyRef::check(PyObject_CallOneArg(py::dataclass_test(), cls));
  return py::check(PyObject_IsTrue(answer.get())) == 1;
}

bool is_named_tuple(PyObject* cls) {
  return py::check(PyObject_IsSubclass(cls, reinterpret_cast<PyObject*>(&PyTuple_Type))) == 1 &&
         has_attribute(cls, kFieldsName.get());
}

}  // namespace

ir::SchemaNode compile_class(CompileContext& ctx, PyObject* cls) {
  if (auto node = builtin_class_node(cls)) return std::move(*node);
  const py::TypingHandles& h = py::typing_handles();
  if (cls == h.object.get()) return ir::SchemaNode::anything();
  if (cls == h.union_form.get() || cls == h.optional.get()) {
    py::raise(PyExc_NotImplementedError,
              py::safe_repr(cls) +
                  " is a typing special form, not a value; write a concrete type (for a union, X | Y or Union[X, Y])");
  }
  if (has_attribute(cls, kRequiredKeysName.get())) return compile_typed_dict(ctx, cls);
  // Enums of every flavour stay instance tests, also when they are
  // dataclasses; the oracle decides their members.
  if (py::check(PyObject_IsSubclass(cls, h.enum_class.get())) == 1) {
    return ir::SchemaNode::instance(ctx.pool.intern_constant(cls));
  }
  if (is_dataclass(cls) || is_named_tuple(cls)) return compile_shaped_class(ctx, cls);
  if (class_flag_attribute(cls, "_is_protocol") && !class_flag_attribute(cls, "_is_runtime_protocol")) {
    py::raise(PyExc_NotImplementedError, "a Protocol must be @runtime_checkable to be used as a schema");
  }
  return ir::SchemaNode::instance(ctx.pool.intern_constant(cls));
}

}  // namespace tessolin::build

// Dataclasses and named tuples: the instance test met with the class's shape,
// its hinted attributes for a dataclass, its fixed-length tuple for a named
// tuple.
#include <optional>
#include <vector>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "compile/classes/class_support.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/records/record_support.hpp"
#include "compat.hpp"
#include "ir/constructors.hpp"
#include "ir/intern.hpp"
#include "ir/node_order.hpp"

namespace tessolin::build {

namespace {

using py::PyRef;

constinit py::InternedName kFieldsName{"_fields"};
constinit py::InternedName kNameName{"name"};

// The items of an iterable, each through `pick` (which may fail).
template <class Pick>
std::vector<PyRef> collect(PyObject* iterable, Pick pick) {
  PyRef iterator = PyRef::check(PyObject_GetIter(iterable));
  std::vector<PyRef> items;
  Py_ssize_t hint = PyObject_LengthHint(iterable, 0);
  if (hint < 0) {
    PyErr_WriteUnraisable(iterable);
  } else {
    items.reserve(static_cast<size_t>(hint));
  }
  for (;;) {
    PyObject* raw = nullptr;
    int status = compat::PyIter_NextItem(iterator.get(), &raw);
    if (status < 0) throw py::PythonError{};
    if (status == 0) break;
    PyRef item = PyRef::steal(raw);
    items.push_back(pick(std::move(item)));
  }
  return items;
}

// Field names: dataclasses.fields(cls) names for a dataclass, else _fields.
std::vector<PyRef> field_names(PyObject* cls) {
  PyRef module = PyRef::check(PyImport_ImportModule("dataclasses"));
  PyRef answer = PyRef::check(PyObject_CallMethod(module.get(), "is_dataclass", "O", cls));
  if (py::check(PyObject_IsTrue(answer.get())) == 1) {
    PyRef fields = PyRef::check(PyObject_CallMethod(module.get(), "fields", "O", cls));
    return collect(fields.get(),
                   [](PyRef field) { return PyRef::check(PyObject_GetAttr(field.get(), kNameName.get())); });
  }
  PyRef names = PyRef::check(PyObject_GetAttr(cls, kFieldsName.get()));
  return collect(names.get(), [](PyRef name) { return name; });
}

// The hint for `name`, or an empty reference when the name has none.
PyRef hint_for(PyObject* hints, PyObject* name) {
  PyObject* raw = nullptr;
  py::check(PyDict_GetItemRef(hints, name, &raw));
  return PyRef::steal(raw);
}

ir::SchemaNode tuple_shape(CompileContext& ctx, PyObject* cls, PyObject* hints) {
  std::vector<ir::SchemaNode> items;
  for (const PyRef& name : field_names(cls)) {
    PyRef hint = hint_for(hints, name.get());
    items.push_back(hint ? compile_annotation(ctx, hint.get()) : ir::SchemaNode::anything());
  }
  return sequence_node(ir::SequenceKind::Tuple, sequence_payload(std::move(items)));
}

// Every hinted field, required (a default value included); nullopt for none.
std::optional<ir::SchemaNode> attribute_shape(CompileContext& ctx, PyObject* cls, PyObject* hints) {
  std::vector<ir::RecordField> fields;
  for (const PyRef& name : field_names(cls)) {
    PyRef hint = hint_for(hints, name.get());
    if (!hint) continue;
    PyRef text = PyRef::check(PyObject_Str(name.get()));
    ir::Text field_name(record_key_text(text.get()));
    fields.push_back(ir::RecordField{compile_annotation(ctx, hint.get()), std::move(field_name), true});
  }
  if (fields.empty()) return std::nullopt;
  ir::sort_fields_by_name(fields);
  return ir::SchemaNode::object(ir::intern_field_list(fields));
}

}  // namespace

ir::SchemaNode compile_shaped_class(CompileContext& ctx, PyObject* cls) {
  PyRef hints = type_hints(cls);
  // The class takes its pool position before the constants of its fields.
  ir::SchemaNode instance = ir::SchemaNode::instance(ctx.pool.intern_constant(cls));
  std::optional<ir::SchemaNode> shape;
  bool tuple_shaped = py::check(PyObject_IsSubclass(cls, reinterpret_cast<PyObject*>(&PyTuple_Type))) == 1 &&
                      py::check(PyObject_HasAttrWithError(cls, kFieldsName.get())) == 1;
  if (tuple_shaped) {
    shape = tuple_shape(ctx, cls, hints.get());
  } else {
    shape = attribute_shape(ctx, cls, hints.get());
  }
  if (!shape) return instance;
  std::vector<ir::SchemaNode> members;
  members.push_back(std::move(instance));
  members.push_back(std::move(*shape));
  return ir::make_intersection(std::move(members), ctx.definitions);
}

}  // namespace tessolin::build

// Parameterised aliases by their origin: list, set, frozenset, dict, tuple,
// the TypedDict qualifiers, unions, Literal and collections.abc.Callable.
#include <vector>

#include "binding/error.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/forms.hpp"
#include "compile/generics/generic_support.hpp"
#include "compile/member_gathering.hpp"
#include "handles/typing_handles.hpp"
#include "ir/constructors.hpp"
#include "ir/intern.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

namespace {

using ir::SchemaNode;

bool is_type(PyObject* origin, PyTypeObject& type) noexcept { return origin == reinterpret_cast<PyObject*>(&type); }

SchemaNode repeating(ir::SequenceKind kind, SchemaNode item) {
  ir::RepeatingSequence payload = ir::repeating_sequence(std::move(item));
  return SchemaNode::sequence(kind, std::move(payload.prefix), std::move(payload.tail));
}

SchemaNode collection_of(CompileContext& ctx, PyObject* x, PyObject* args, ir::CollectionKind kind) {
  py::PyRef item = single_type_argument(args, x, kSetArgumentHint);
  return SchemaNode::collection(kind, ir::intern_node(compile_resolved(ctx, item.get())));
}

SchemaNode mapping_of(CompileContext& ctx, PyObject* args) {
  if (PyTuple_GET_SIZE(args) != 2) refuse_form("dict[...] needs a key type and a value type");
  PyObject* key_object = PyTuple_GET_ITEM(args, 0);
  SchemaNode key = compile_resolved(ctx, key_object);
  refuse_refined_key(key, key_object);
  SchemaNode value = compile_resolved(ctx, PyTuple_GET_ITEM(args, 1));
  // One clause needs no sorting.
  std::vector<ir::CatchAll> clauses;
  clauses.push_back(ir::CatchAll{std::move(key), std::move(value)});
  return SchemaNode::record(ir::empty_field_list(), ir::intern_catch_all_list(clauses));
}

SchemaNode union_of(CompileContext& ctx, PyObject* args) {
  Py_ssize_t count = PyTuple_GET_SIZE(args);
  MemberGathering members(ctx, Gathered::Union, static_cast<size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) members.add(compile_resolved(ctx, PyTuple_GET_ITEM(args, i)));
  return members.finish();
}

}  // namespace

SchemaNode compile_generic(CompileContext& ctx, PyObject* x, PyObject* origin, PyObject* args) {
  if (is_type(origin, PyList_Type)) {
    py::PyRef item = single_type_argument(args, x, kListArgumentHint);
    return repeating(ir::SequenceKind::List, compile_resolved(ctx, item.get()));
  }
  if (is_type(origin, PySet_Type)) return collection_of(ctx, x, args, ir::CollectionKind::Set);
  if (is_type(origin, PyFrozenSet_Type)) return collection_of(ctx, x, args, ir::CollectionKind::FrozenSet);
  if (is_type(origin, PyDict_Type)) return mapping_of(ctx, args);
  if (is_type(origin, PyTuple_Type)) return compile_tuple_form(ctx, args);

  const py::TypingHandles& h = py::typing_handles();
  if (is_qualifier(origin)) {
    // The qualifier leaves no trace in the node; a TypedDict reads it itself.
    py::PyRef item = single_type_argument(args, x, kQualifierArgumentHint);
    return compile_resolved(ctx, item.get());
  }
  if (origin == h.union_form.get() || origin == h.union_type.get()) return union_of(ctx, args);
  if (origin == h.literal.get()) return compile_literal_form(ctx, args);
  if (origin == h.callable.get()) return SchemaNode::instance(ctx.pool.intern_constant(origin));
  refuse_form("unsupported typing form with origin " + py::safe_repr(origin) +
              "; supported: list, set, dict, tuple, Union, Optional, Literal, Callable");
}

}  // namespace tessolin::build

#include "compile/builtin_classes.hpp"

#include "ir/constructors.hpp"
#include "ir/intern.hpp"

namespace tessolin::build {

namespace {

ir::SchemaNode any_length(ir::SequenceKind kind) {
  ir::RepeatingSequence s = ir::repeating_sequence(ir::SchemaNode::anything());
  return ir::SchemaNode::sequence(kind, std::move(s.prefix), std::move(s.tail));
}

}  // namespace

std::optional<ir::SchemaNode> builtin_class_node(PyObject* cls) {
  using ir::NodeKind;
  using ir::SchemaNode;
  auto* type = reinterpret_cast<PyTypeObject*>(cls);
  if (type == &PyBool_Type) return SchemaNode::plain(NodeKind::Bool);
  if (type == &PyLong_Type) return SchemaNode::plain(NodeKind::Int);
  if (type == &PyFloat_Type) return SchemaNode::plain(NodeKind::Float);
  if (type == &PyUnicode_Type) return SchemaNode::plain(NodeKind::Str);
  if (type == &PyBytes_Type) return SchemaNode::plain(NodeKind::Bytes);
  if (cls == reinterpret_cast<PyObject*>(Py_TYPE(Py_None))) return SchemaNode::plain(NodeKind::None);
  if (type == &PyList_Type) return any_length(ir::SequenceKind::List);
  if (type == &PyTuple_Type) return any_length(ir::SequenceKind::Tuple);
  if (type == &PySet_Type) {
    return SchemaNode::collection(ir::CollectionKind::Set, ir::intern_node(SchemaNode::anything()));
  }
  if (type == &PyFrozenSet_Type) {
    return SchemaNode::collection(ir::CollectionKind::FrozenSet, ir::intern_node(SchemaNode::anything()));
  }
  if (type == &PyDict_Type) return SchemaNode::record(ir::empty_field_list(), ir::top_catch_all_list());
  return std::nullopt;
}

}  // namespace tessolin::build

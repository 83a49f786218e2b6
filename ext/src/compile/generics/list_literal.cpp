// List literals: [A] is list[A], [A, B] the fixed-length list, [A, B, ...]
// one A followed by any number of B.
#include <vector>

#include "binding/error.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/forms.hpp"
#include "compile/generics/generic_support.hpp"
#include "ir/constructors.hpp"

namespace tessolin::build {

namespace {

using py::PyRef;

constexpr const char* kMisplacedEllipsis = "`...` may appear only as the last element of a list schema";

// Item i with its own reference: another thread may shrink the list
// meanwhile, which makes the read raise IndexError.
PyRef item_at(PyObject* list, Py_ssize_t i) { return PyRef::check(PyList_GetItemRef(list, i)); }

ir::SchemaNode compile_item(CompileContext& ctx, PyObject* list, Py_ssize_t i) {
  PyRef item = item_at(list, i);
  if (is_ellipsis(item.get())) refuse_form(kMisplacedEllipsis);
  return compile_annotation(ctx, item.get());
}

ir::SchemaNode repeating_list(ir::SchemaNode item) {
  ir::RepeatingSequence payload = ir::repeating_sequence(std::move(item));
  return ir::SchemaNode::sequence(ir::SequenceKind::List, std::move(payload.prefix), std::move(payload.tail));
}

}  // namespace

ir::SchemaNode compile_list_literal(CompileContext& ctx, PyObject* list) {
  Py_ssize_t n = PyList_GET_SIZE(list);
  if (n == 0) return sequence_node(ir::SequenceKind::List, sequence_payload({}));
  if (n == 1) return repeating_list(compile_item(ctx, list, 0));
  bool repeats = is_ellipsis(item_at(list, n - 1).get());
  Py_ssize_t fixed = repeats ? n - 1 : n;
  std::vector<ir::SchemaNode> items;
  items.reserve(static_cast<size_t>(fixed));
  for (Py_ssize_t i = 0; i < fixed; ++i) items.push_back(compile_item(ctx, list, i));
  if (!repeats) return sequence_node(ir::SequenceKind::List, sequence_payload(std::move(items)));
  ir::SchemaNode tail = std::move(items.back());
  items.pop_back();
  if (items.empty()) return repeating_list(std::move(tail));
  return sequence_node(ir::SequenceKind::List, sequence_payload(std::move(items), std::move(tail)));
}

}  // namespace tessolin::build

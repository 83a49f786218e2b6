// tuple[...]: a fixed prefix and an optional repeating tail. Unpacked tuples
// (*tuple[...] and Unpack[tuple[...]]) are spliced in place, at any depth,
// so tuple[int, *tuple[bool, *tuple[str, ...]]] is the flat tuple it means.
#include <vector>

#include "binding/error.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/generics/generic_support.hpp"
#include "handles/typing_handles.hpp"
#include "ir/constructors.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

namespace {

using py::PyRef;

// A true __unpacked__ marks a starred alias; a failing read counts as false.
bool is_starred(PyObject* a) noexcept {
  PyObject* raw = nullptr;
  int found = PyObject_GetOptionalAttrString(a, "__unpacked__", &raw);
  if (found <= 0) {
    PyErr_Clear();
    return false;
  }
  int truth = PyObject_IsTrue(raw);
  Py_DECREF(raw);
  if (truth < 0) {
    PyErr_Clear();
    return false;
  }
  return truth == 1;
}

PyRef args_tuple_of(const py::TypingHandles& h, PyObject* alias) {
  PyRef args = PyRef::check(PyObject_CallOneArg(h.get_args.get(), alias));
  if (!PyTuple_Check(args.get())) py::raise_not_instance(args.get(), "tuple");
  return args;
}

// The element arguments of an alias being unpacked; only a tuple binds any.
PyRef unpacked_arguments(const py::TypingHandles& h, PyObject* u) {
  PyRef origin = PyRef::check(PyObject_CallOneArg(h.get_origin.get(), u));
  if (origin.get() != reinterpret_cast<PyObject*>(&PyTuple_Type)) {
    refuse_form("only a tuple can be unpacked into a tuple schema; " + py::safe_repr(u) +
                " binds no element types at runtime");
  }
  return args_tuple_of(h, u);
}

// The items gathered from one argument tuple, before anything is compiled.
struct TupleItems {
  std::vector<PyRef> prefix;
  PyRef tail;
};

// One argument list being read; `gathered` counts the prefix items it has
// contributed so far (what a `...` inside it may repeat).
struct Level {
  PyRef args;
  Py_ssize_t next = 0;
  size_t gathered = 0;
};

TupleItems gather(PyObject* args) {
  const py::TypingHandles& h = py::typing_handles();
  TupleItems items;
  std::vector<Level> levels;
  levels.push_back(Level{PyRef::borrow(args)});
  while (!levels.empty()) {
    Level& top = levels.back();
    if (top.next >= PyTuple_GET_SIZE(top.args.get())) {
      size_t gathered = top.gathered;
      levels.pop_back();
      if (!levels.empty()) levels.back().gathered += gathered;
      continue;
    }
    PyObject* a = PyTuple_GET_ITEM(top.args.get(), top.next);
    ++top.next;
    if (items.tail) {
      refuse_form(
          "a tuple schema carries a fixed prefix and then a repeating tail, so nothing may follow the "
          "tail: write the repeating part last");
    }
    PyRef inner;
    if (is_starred(a)) {
      inner = unpacked_arguments(h, a);
    } else if (h.unpack) {
      PyRef origin = PyRef::check(PyObject_CallOneArg(h.get_origin.get(), a));
      if (origin.get() == h.unpack.get()) {
        PyRef unpack_args = args_tuple_of(h, a);
        PyRef unpacked = single_type_argument(unpack_args.get(), a, kUnpackArgumentHint);
        inner = unpacked_arguments(h, unpacked.get());
      }
    }
    if (inner) {
      // Each nesting level is one more argument list held at once; bound it
      // like any other nesting of the compiler.
      if (levels.size() >= kMaxCompileDepth) {
        refuse_form("schema nesting is too deep to compile: the frontend descended " +
                    std::to_string(kMaxCompileDepth) +
                    " levels without reaching a leaf. A class whose own type appears in its fields is recursive "
                    "and never bottoms out; write it with recursive(...), which ties the fixpoint explicitly.");
      }
      levels.push_back(Level{std::move(inner)});
      continue;
    }
    if (is_ellipsis(a)) {
      if (top.gathered == 0)
        refuse_form("`...` repeats the element before it, so a tuple schema cannot begin with one");
      items.tail = std::move(items.prefix.back());
      items.prefix.pop_back();
      --top.gathered;
      continue;
    }
    items.prefix.push_back(PyRef::borrow(a));
    ++top.gathered;
  }
  return items;
}

}  // namespace

ir::SchemaNode compile_tuple_form(CompileContext& ctx, PyObject* args) {
  Py_ssize_t count = PyTuple_GET_SIZE(args);
  bool empty_form = count == 0 || (count == 1 && PyTuple_Check(PyTuple_GET_ITEM(args, 0)) &&
                                   PyTuple_GET_SIZE(PyTuple_GET_ITEM(args, 0)) == 0);
  if (empty_form) return sequence_node(ir::SequenceKind::Tuple, sequence_payload({}));

  TupleItems items = gather(args);
  std::vector<ir::SchemaNode> prefix;
  prefix.reserve(items.prefix.size());
  for (const PyRef& item : items.prefix) prefix.push_back(compile_resolved(ctx, item.get()));
  if (!items.tail) return sequence_node(ir::SequenceKind::Tuple, sequence_payload(std::move(prefix)));
  ir::SchemaNode tail = compile_resolved(ctx, items.tail.get());
  if (prefix.empty()) {
    ir::RepeatingSequence payload = ir::repeating_sequence(std::move(tail));
    return ir::SchemaNode::sequence(ir::SequenceKind::Tuple, std::move(payload.prefix), std::move(payload.tail));
  }
  return sequence_node(ir::SequenceKind::Tuple, sequence_payload(std::move(prefix), std::move(tail)));
}

}  // namespace tessolin::build

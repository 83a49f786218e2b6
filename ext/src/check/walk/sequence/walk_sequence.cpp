// Lists and tuples. A list is read through its own storage under its
// critical section, its size compared before every step; a tuple subclass
// that overrides __len__ is checked by its real items.
#include <string>

#include "check/critical_section.hpp"
#include "check/fatal_errors.hpp"
#include "check/recording.hpp"
#include "check/user_code.hpp"
#include "check/walk/container_kinds.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {

struct SequenceNames {
  const char* type_code;
  const char* length_code;
  const char* display;
};

constexpr SequenceNames kListNames{errors::code::kListType, errors::code::kListLength, "list"};
constexpr SequenceNames kTupleNames{errors::code::kTupleType, errors::code::kTupleLength, "tuple"};

bool length_fits(uint64_t length, size_t prefix_count, bool has_tail) noexcept {
  return has_tail ? length >= prefix_count : length == prefix_count;
}

void push_length_violation(const SequenceNames& names, size_t prefix_count, bool has_tail, WalkInput input,
                           const WalkContext& ctx) {
  if (!ctx.collecting()) return;
  std::string expected = names.display;
  expected += has_tail ? " of length at least " : " of length ";
  expected += std::to_string(prefix_count);
  push_violation(names.length_code, std::move(expected), input, ctx);
}

// The item schema at position i: prefix item i, else the tail, else none.
const ir::SchemaNode* item_schema(const ir::NodeList& prefix, const ir::NodeRef& tail, uint64_t i) noexcept {
  if (i < prefix.size()) return &prefix[i];
  return tail ? tail.get() : nullptr;
}

bool fast_path_holds(const ir::NodeList& prefix, const ir::NodeRef& tail, const WalkContext& ctx) noexcept {
  return ctx.mode == WalkMode::Membership && prefix.empty() && tail && tail->tag() <= 7 &&
         *ctx.shared->depth < kMaxWalkDepth;
}

bool walk_one_item(const ir::SchemaNode* schema, uint64_t i, PyObject* item, const WalkContext& ctx) {
  if (schema == nullptr) return false;
  PathStep step(ctx, py::PathSegment::index(i));
  return walk_node(*schema, WalkInput::object(item), ctx);
}

// Membership of a list of scalars: no Python code runs inside the loop, so
// the items are tested in place under the list's critical section, straight
// from its storage (never through a subclass's __iter__).
bool list_scalars_in_place(PyObject* list, uint8_t tag, WalkInput input, const WalkContext& ctx) {
  CriticalSection section(list);
  const Py_ssize_t n = PyList_GET_SIZE(list);
  if (tag == 1) return n == 0;
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (PyList_GET_SIZE(list) != n) {
      section.leave();
      record_mutation(input, ctx);
      return false;
    }
    if (!scalar_matches(tag, PyList_GET_ITEM(list, i))) return false;
  }
  if (PyList_GET_SIZE(list) != n) {
    section.leave();
    record_mutation(input, ctx);
    return false;
  }
  return true;
}

bool walk_list(const ir::NodeList& prefix, const ir::NodeRef& tail, WalkInput input, const WalkContext& ctx) {
  PyObject* list = input.py();
  if (!PyList_Check(list)) {
    push_violation(kListNames.type_code, kListNames.display, input, ctx);
    return false;
  }
  const bool has_tail = static_cast<bool>(tail);
  if (!length_fits(static_cast<uint64_t>(PyList_GET_SIZE(list)), prefix.size(), has_tail)) {
    push_length_violation(kListNames, prefix.size(), has_tail, input, ctx);
    return false;
  }
  if (fast_path_holds(prefix, tail, ctx)) return list_scalars_in_place(list, tail->tag(), input, ctx);

  // General path: the critical section is held across the nested walks;
  // each item is a strong reference, since those walks run Python code
  // that may shrink or clear the list.
  CriticalSection section(list);
  const Py_ssize_t n = PyList_GET_SIZE(list);
  bool all = true;
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (PyList_GET_SIZE(list) != n) {
      section.leave();
      record_mutation(input, ctx);
      return false;
    }
    py::PyRef item = py::PyRef::steal(PyList_GetItemRef(list, i));
    if (!item) {
      PyErr_Clear();
      break;
    }
    bool ok =
        walk_one_item(item_schema(prefix, tail, static_cast<uint64_t>(i)), static_cast<uint64_t>(i), item.get(), ctx);
    if (!ok) {
      all = false;
      if (ctx.mode != WalkMode::CollectAll) return false;
    }
  }
  if (PyList_GET_SIZE(list) != n) {
    section.leave();
    record_mutation(input, ctx);
    return false;
  }
  return all;
}

bool walk_tuple(const ir::NodeList& prefix, const ir::NodeRef& tail, WalkInput input, const WalkContext& ctx) {
  if (!input.is_object() || !PyTuple_Check(input.py())) {
    push_violation(kTupleNames.type_code, kTupleNames.display, input, ctx);
    return false;
  }
  // The items the tuple's layout holds, read without calling anything: a
  // subclass's __len__, or a metaclass mro() hiding tuple's own methods,
  // cannot change what is checked.
  PyObject* tuple = input.py();
  const uint64_t length = static_cast<uint64_t>(PyTuple_GET_SIZE(tuple));
  const bool has_tail = static_cast<bool>(tail);
  if (!length_fits(length, prefix.size(), has_tail)) {
    push_length_violation(kTupleNames, prefix.size(), has_tail, input, ctx);
    return false;
  }
  if (fast_path_holds(prefix, tail, ctx)) {
    const uint8_t tag = tail->tag();
    for (uint64_t i = 0; i < length; ++i) {
      if (!scalar_matches(tag, PyTuple_GET_ITEM(tuple, static_cast<Py_ssize_t>(i)))) return false;
    }
    return true;
  }
  bool all = true;
  for (uint64_t i = 0; i < length; ++i) {
    // Tuple items live as long as the tuple, which the caller keeps alive.
    bool ok = walk_one_item(item_schema(prefix, tail, i), i, PyTuple_GET_ITEM(tuple, static_cast<Py_ssize_t>(i)), ctx);
    if (!ok) {
      all = false;
      if (ctx.mode != WalkMode::CollectAll) return false;
    }
  }
  return all;
}

}  // namespace

bool walk_sequence(ir::SequenceKind kind, const ir::NodeList& prefix, const ir::NodeRef& tail, WalkInput input,
                   const WalkContext& ctx) {
  if (kind == ir::SequenceKind::Tuple) return walk_tuple(prefix, tail, input, ctx);
  return walk_list(prefix, tail, input, ctx);
}

}  // namespace tessolin::check

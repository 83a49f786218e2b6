// Literals, instances and objects: the leaves whose test calls back into
// pooled Python objects.
#include <string>
#include <vector>

#include "check/fatal_errors.hpp"
#include "check/json_input.hpp"
#include "check/precompute.hpp"
#include "check/recording.hpp"
#include "check/user_code.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"
#include "render/value_text.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {

// The Python object of an input: the object itself (borrowed) or the
// conversion of a JSON value (owned by `holder`). Null with the exception
// pending when a conversion fails.
PyObject* input_object(WalkInput input, py::PyRef& holder) noexcept {
  if (input.is_object()) return input.py();
  holder = json_input_to_object(input);
  return holder.get();
}

}  // namespace

bool check_literal(uint64_t pool_index, WalkInput input, const WalkContext& ctx) {
  PyObject* constant = ctx.shared->pool.at(pool_index);
  if (constant == nullptr) return false;
  py::PyRef holder;
  PyObject* value = input_object(input, holder);
  bool member = false;
  if (value == nullptr) {
    absorb_pending_error(*ctx.shared);
  } else if (Py_TYPE(value) == Py_TYPE(constant)) {
    // Same type first, so a value of another type costs no __eq__ call.
    if (!is_plain_scalar(value) && !may_run_user_code(*ctx.shared)) return false;
    py::PyRef result = py::PyRef::steal(PyObject_RichCompare(value, constant, Py_EQ));
    member = fold_check_result(result ? PyObject_IsTrue(result.get()) : -1, *ctx.shared);
  }
  if (!member && ctx.collecting() && !ctx.shared->aborted()) {
    push_violation(errors::code::kLiteralError, "the literal " + render_object_text(constant, *ctx.shared), input, ctx);
  }
  return member;
}

bool check_instance(uint64_t pool_index, WalkInput input, const WalkContext& ctx) {
  PyObject* cls = ctx.shared->pool.at(pool_index);
  if (cls == nullptr) return false;
  py::PyRef holder;
  PyObject* value = input_object(input, holder);
  // isinstance answers these two without a call; anything else may reach
  // a metaclass's __instancecheck__ or a __class__ property.
  if (value != nullptr &&
      (Py_IS_TYPE(value, reinterpret_cast<PyTypeObject*>(cls)) ||
       (PyType_CheckExact(cls) && PyObject_TypeCheck(value, reinterpret_cast<PyTypeObject*>(cls))))) {
    return true;
  }
  if (!may_run_user_code(*ctx.shared)) return false;
  bool member = fold_check_result(value ? PyObject_IsInstance(value, cls) : -1, *ctx.shared);
  if (!member && ctx.collecting() && !ctx.shared->aborted()) {
    push_violation(errors::code::kInstanceType, py::class_name(cls), input, ctx);
  }
  return member;
}

bool walk_object(const ir::FieldList& attributes, WalkInput input, const WalkContext& ctx) {
  const WalkShared& shared = *ctx.shared;
  if (!may_run_user_code(shared)) return false;
  py::PyRef holder;
  PyObject* value = input_object(input, holder);
  if (value == nullptr) {
    PyErr_Clear();
    return false;
  }
  const std::vector<py::PyRef>* names = shared.tables ? shared.tables->find_attributes(attributes) : nullptr;
  bool all = true;
  for (size_t i = 0; i < attributes.size(); ++i) {
    const ir::RecordField& attribute = attributes[i];
    py::PyRef made;
    PyObject* name = nullptr;
    if (names != nullptr && i < names->size()) {
      name = (*names)[i].get();
    } else {
      std::string_view text = attribute.name.view();
      made = py::PyRef::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
      if (!made) {
        absorb_pending_error(shared);
        return false;
      }
      name = made.get();
    }
    py::PyRef read = py::PyRef::steal(PyObject_GetAttr(value, name));
    if (!read) {
      absorb_pending_error(shared);
      if (shared.aborted()) return false;
      if (!attribute.required) continue;
      if (ctx.mode == WalkMode::Membership) return false;
      ctx.violations->push_back(make_key_violation(*ctx.path, py::PathSegment::key(attribute.name),
                                                   errors::code::kMissingAttribute,
                                                   "attribute " + py::quote_text(attribute.name.view()), "missing"));
      if (ctx.mode == WalkMode::FailFast) return false;
      all = false;
      continue;
    }
    bool ok;
    {
      PathStep step(ctx, py::PathSegment::key(attribute.name));
      ok = walk_node(attribute.schema, WalkInput::object(read.get()), ctx);
    }
    if (!ok) {
      if (ctx.mode != WalkMode::CollectAll) return false;
      all = false;
    }
  }
  return all;
}

}  // namespace tessolin::check

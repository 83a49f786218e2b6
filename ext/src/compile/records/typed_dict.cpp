// TypedDict classes: fields from the resolved annotations, required-ness from
// the Required / NotRequired qualifiers or __required_keys__, and the
// catch-all clause from the closedness attributes.
#include <vector>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "compile/classes/class_support.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/records/dict_entries.hpp"
#include "compile/records/record_support.hpp"
#include "handles/typing_handles.hpp"
#include "ir/constructors.hpp"

namespace tessolin::build {

namespace {

using py::PyRef;

constinit py::InternedName kRequiredKeysName{"__required_keys__"};
constinit py::InternedName kOriginName{"__origin__"};
constinit py::InternedName kArgsName{"__args__"};
constinit py::InternedName kClosedName{"__closed__"};
constinit py::InternedName kExtraItemsName{"__extra_items__"};
constinit py::InternedName kNoExtraItemsName{"NoExtraItems"};

// Qualifier layers looked through per annotation: a Required or NotRequired
// under at most 128 ReadOnly layers is found.
constexpr int kQualifierRounds = 129;

enum class Requiredness { Required, NotRequired, Undecided };

// The attribute, or an empty reference when it is missing.
PyRef optional_attribute(PyObject* obj, PyObject* name) {
  PyObject* raw = nullptr;
  py::check(PyObject_GetOptionalAttr(obj, name, &raw));
  return PyRef::steal(raw);
}

Requiredness peel_qualifiers(PyObject* annotation) {
  const py::TypingHandles& h = py::typing_handles();
  PyRef t = PyRef::borrow(annotation);
  for (int round = 0; round < kQualifierRounds; ++round) {
    PyRef origin = optional_attribute(t.get(), kOriginName.get());
    if (!origin) return Requiredness::Undecided;
    if (py::TypingHandles::is(h.required, origin.get())) return Requiredness::Required;
    if (py::TypingHandles::is(h.not_required, origin.get())) return Requiredness::NotRequired;
    if (!is_qualifier(origin.get())) return Requiredness::Undecided;
    PyRef args = optional_attribute(t.get(), kArgsName.get());
    if (!args) return Requiredness::Undecided;
    PyRef zero = PyRef::check(PyLong_FromLong(0));
    PyObject* first = PyObject_GetItem(args.get(), zero.get());
    if (first == nullptr) {
      PyErr_Clear();
      return Requiredness::Undecided;
    }
    t = PyRef::steal(first);
  }
  return Requiredness::Undecided;
}

// typing's NoExtraItems where it exists, and typing_extensions' own sentinel
// when that module is already loaded: a TypedDict built by either carries
// its maker's sentinel to say "no extra items were declared".
bool is_no_extra_items(PyObject* value) {
  const py::TypingHandles& h = py::typing_handles();
  if (py::TypingHandles::is(h.no_extra_items, value)) return true;
  PyRef sentinel = py::loaded_typing_extensions_attr(kNoExtraItemsName.get());
  return sentinel && sentinel.get() == value;
}

}  // namespace

std::vector<ir::CatchAll> typed_dict_extra_items(CompileContext& ctx, PyObject* cls) {
  std::vector<ir::CatchAll> clauses;
  PyRef closed = optional_attribute(cls, kClosedName.get());
  if (closed && py::check(PyObject_IsTrue(closed.get())) == 1) return clauses;
  PyRef extra = optional_attribute(cls, kExtraItemsName.get());
  if (extra && extra.get() != Py_None && !is_no_extra_items(extra.get())) {
    ir::SchemaNode value = compile_annotation(ctx, extra.get());
    clauses.push_back(ir::CatchAll{ir::SchemaNode::plain(ir::NodeKind::Str), std::move(value)});
    return clauses;
  }
  clauses.push_back(ir::CatchAll{ir::SchemaNode::plain(ir::NodeKind::Str), ir::SchemaNode::anything()});
  return clauses;
}

ir::SchemaNode compile_typed_dict(CompileContext& ctx, PyObject* cls) {
  PyRef hints = type_hints(cls);
  PyRef required_keys = PyRef::check(PyObject_GetAttr(cls, kRequiredKeysName.get()));
  std::vector<ir::RecordField> fields;
  DictEntries entries(hints.get());
  PyRef key;
  PyRef annotation;
  while (entries.next(key, annotation)) {
    PyRef key_text = PyRef::check(PyObject_Str(key.get()));
    ir::Text name(record_key_text(key_text.get()));
    ir::SchemaNode schema = compile_annotation(ctx, annotation.get());
    bool required = false;
    switch (peel_qualifiers(annotation.get())) {
      case Requiredness::Required: required = true; break;
      case Requiredness::NotRequired: required = false; break;
      case Requiredness::Undecided:
        required = py::check(PySequence_Contains(required_keys.get(), key.get())) == 1;
        break;
    }
    fields.push_back(ir::RecordField{std::move(schema), std::move(name), required});
  }
  std::vector<ir::CatchAll> clauses = typed_dict_extra_items(ctx, cls);
  return ir::make_record(std::move(fields), std::move(clauses));
}

}  // namespace tessolin::build

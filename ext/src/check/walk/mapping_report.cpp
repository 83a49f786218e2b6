// The report of a record that is not a member: the failing fields, the
// missing ones and the undeclared keys, walked in the check's own mode.
#include <string>
#include <vector>

#include "check/critical_section.hpp"
#include "check/fatal_errors.hpp"
#include "check/recording.hpp"
#include "check/walk/mapping.hpp"
#include "check/walk_node.hpp"
#include "render/value_text.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {

bool fail_fast_done(const WalkContext& ctx) noexcept {
  return ctx.mode == WalkMode::FailFast && !ctx.violations->empty();
}

// Looks one field up: 1 present (value set), 0 absent, -1 raised (handled:
// a fatal exception is stored, an ordinary one dropped).
int lookup_field(PyObject* dict, const ir::RecordField& field, const RecordKeys* entry, size_t i, py::PyRef& value,
                 const WalkShared& shared) {
  py::PyRef made;
  PyObject* key = nullptr;
  if (entry != nullptr && i < entry->names.size()) {
    key = entry->names[i].get();
  } else {
    std::string_view name = field.name.view();
    made = py::PyRef::steal(PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
    if (!made) {
      absorb_pending_error(shared);
      return -1;
    }
    key = made.get();
  }
  PyObject* raw = nullptr;
  int rc = PyDict_GetItemRef(dict, key, &raw);
  if (rc < 0) {
    absorb_pending_error(shared);
    return -1;
  }
  value = py::PyRef::steal(raw);
  return rc;
}

// The values of the declared fields from `start` on, and how many keys
// stand for a field (the `found_before` ones before `start` included). The
// values are owned: the field walks that follow run user code that may
// change the dict.
struct DeclaredValues {
  std::vector<py::PyRef> values;
  Py_ssize_t declared_keys = 0;
};

DeclaredValues declared_values(const ir::FieldList& fields, const RecordKeys* entry, PyObject* dict, size_t start,
                               uint64_t found_before, const WalkShared& shared) {
  DeclaredValues out;
  out.values.resize(fields.size());
  if (keys_exact_str(dict)) {
    // Among exact str keys a lookup finds exactly the key of the same text.
    out.declared_keys = static_cast<Py_ssize_t>(found_before);
    for (size_t i = start; i < fields.size(); ++i) {
      if (lookup_field(dict, fields[i], entry, i, out.values[i], shared) > 0) ++out.declared_keys;
      if (shared.aborted()) break;
    }
    return out;
  }
  // A lookup would also find a key of another type that compares like the
  // name: read every key by the key text rule instead.
  NamePositions local;
  const NamePositions* positions = entry != nullptr ? &entry->positions : &(local = name_positions(fields));
  CriticalSection section(dict);
  const Py_ssize_t size0 = PyDict_GET_SIZE(dict);
  Py_ssize_t pos = 0;
  for (Py_ssize_t step = 0; step < size0 && PyDict_GET_SIZE(dict) == size0; ++step) {
    PyObject* k = nullptr;
    PyObject* v = nullptr;
    if (!PyDict_Next(dict, &pos, &k, &v)) break;
    py::PyRef key = py::PyRef::borrow(k);
    py::PyRef value = py::PyRef::borrow(v);
    const size_t index = declared_field_index(key.get(), *positions, fields.size(), shared);
    if (shared.aborted()) break;
    if (index == fields.size()) continue;
    if (index >= start) out.values[index] = std::move(value);
    ++out.declared_keys;
  }
  return out;
}

void report_undeclared(const ir::FieldList& fields, const ir::ClauseList& clauses, const RecordKeys* entry,
                       PyObject* dict, WalkInput input, const WalkContext& ctx) {
  const WalkShared& shared = *ctx.shared;
  CriticalSection section(dict);
  const Py_ssize_t size3 = PyDict_GET_SIZE(dict);
  Py_ssize_t pos = 0;
  for (Py_ssize_t step = 0; step < size3; ++step) {
    if (shared.aborted()) return;
    if (PyDict_GET_SIZE(dict) != size3) {
      section.leave();
      record_mutation(input, ctx);
      return;
    }
    PyObject* k = nullptr;
    PyObject* v = nullptr;
    if (!PyDict_Next(dict, &pos, &k, &v)) break;
    py::PyRef key = py::PyRef::borrow(k);
    py::PyRef value = py::PyRef::borrow(v);
    if (PyUnicode_Check(key.get())) {
      std::optional<std::string_view> text = str_key_utf8(key.get(), shared);
      if (shared.aborted()) return;
      if (text && is_declared_key(entry, fields, *text)) continue;
    }
    if (walk_mapping_items(clauses, key.get(), value.get(), ctx)) continue;
    if (shared.aborted()) return;
    if (!clauses.empty()) {
      const ir::CatchAll& first = clauses[0];
      PathStep path_step(ctx, key_path_segment(key.get(), shared));
      walk_node(first.key, WalkInput::object(key.get()), ctx);
      if (!fail_fast_done(ctx)) walk_node(first.value, WalkInput::object(value.get()), ctx);
    } else {
      py::PathSegment segment = key_path_segment(key.get(), shared);
      std::string rendered = render_object_text(key.get(), shared);
      ctx.violations->push_back(make_key_violation(*ctx.path, std::move(segment), errors::code::kExtraForbidden,
                                                   "no unexpected key", std::move(rendered)));
    }
    if (fail_fast_done(ctx)) return;
  }
  section.leave();
  if (PyDict_GET_SIZE(dict) != size3) record_mutation(input, ctx);
}

}  // namespace

void report_mapping_failures(const ir::FieldList& fields, const ir::ClauseList& clauses, WalkInput input,
                             const WalkContext& ctx, const MappingSummary& summary) {
  const WalkShared& shared = *ctx.shared;
  PyObject* dict = input.is_object() ? input.py() : nullptr;
  if (dict == nullptr || !PyDict_Check(dict)) {
    ctx.violations->push_back(make_violation(errors::code::kDictType, "dict", input, *ctx.path, shared));
    return;
  }
  const RecordKeys* entry = shared.tables ? shared.tables->find_record(fields) : nullptr;
  const Py_ssize_t size_now = PyDict_GET_SIZE(dict);
  // The fields before the fast road's stop passed there.
  const bool resume = summary.present && summary.size == static_cast<int64_t>(size_now);
  const size_t start = resume ? summary.field_index : 0;
  DeclaredValues declared = declared_values(fields, entry, dict, start, resume ? summary.found : 0, shared);
  if (shared.aborted()) return;
  for (size_t i = start; i < fields.size(); ++i) {
    const ir::RecordField& field = fields[i];
    if (const py::PyRef& value = declared.values[i]) {
      PathStep path_step(ctx, py::PathSegment::key(field.name));
      walk_node(field.schema, WalkInput::object(value.get()), ctx);
    } else if (field.required) {
      ctx.violations->push_back(make_key_violation(*ctx.path, py::PathSegment::key(field.name),
                                                   errors::code::kMissingKey,
                                                   "required key " + py::quote_text(field.name.view()), "missing"));
    }
    if (fail_fast_done(ctx)) return;
  }
  if (declared.declared_keys == size_now && PyDict_GET_SIZE(dict) == size_now) return;
  report_undeclared(fields, clauses, entry, dict, input, ctx);
}

}  // namespace tessolin::check

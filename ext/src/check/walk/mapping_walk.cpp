// The membership stage of a record, and the two stages together.
//
// Every value read from the dict becomes a strong reference before a nested
// walk runs: those walks run user code (predicates, __eq__) that may change
// or clear the dict, and a borrowed pointer from PyDict_Next would dangle.
#include <vector>

#include "check/critical_section.hpp"
#include "check/fatal_errors.hpp"
#include "check/recording.hpp"
#include "check/user_code.hpp"
#include "check/walk/mapping.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"

namespace tessolin::check {

namespace {

enum class FastRoad : uint8_t { Member, NonMember, TakeGeneral };

// Finds the fields by lookups of their interned names. A lookup also finds
// a key of another type that hashes and compares like the name, which the
// key text rule leaves undeclared: the road is taken only while every key
// is an exact str, where a lookup finds exactly the key of the same text.
FastRoad fast_road(const ir::FieldList& fields, ClauseShape shape, const RecordKeys& entry, PyObject* dict,
                   const WalkContext& sub, MappingSummary* summary) {
  CriticalSection section(dict);
  if (!keys_exact_str_locked(dict)) return FastRoad::TakeGeneral;
  const Py_ssize_t size0 = PyDict_GET_SIZE(dict);
  uint64_t found = 0;
  auto write_summary = [&](uint64_t index) {
    if (summary) *summary = MappingSummary{true, index, found, static_cast<int64_t>(size0)};
  };
  for (size_t i = 0; i < fields.size(); ++i) {
    PyObject* raw = nullptr;
    int rc = PyDict_GetItemRef(dict, entry.names[i].get(), &raw);
    if (rc < 0) {
      // A key whose __eq__ raised; a fatal exception stops the check,
      // an ordinary one sends the record down the general road.
      absorb_pending_error(*sub.shared);
      return sub.shared->aborted() ? FastRoad::NonMember : FastRoad::TakeGeneral;
    }
    const ir::RecordField& field = fields[i];
    if (rc == 0) {
      if (field.required) {
        write_summary(i);
        return FastRoad::NonMember;
      }
      continue;
    }
    py::PyRef value = py::PyRef::steal(raw);
    if (!walk_node(field.schema, WalkInput::object(value.get()), sub)) {
      write_summary(i);
      return FastRoad::NonMember;
    }
    ++found;
  }
  write_summary(fields.size());
  if (PyDict_GET_SIZE(dict) != size0) return FastRoad::NonMember;
  if (found == static_cast<uint64_t>(size0)) return FastRoad::Member;
  // Undeclared keys, all of them str: only a closed record refuses them.
  return shape == ClauseShape::Closed ? FastRoad::NonMember : FastRoad::Member;
}

bool general_road(const ir::FieldList& fields, const ir::ClauseList& clauses, const RecordKeys* entry, PyObject* dict,
                  const WalkContext& sub) {
  NamePositions local;
  const NamePositions* positions = nullptr;
  uint64_t remaining = 0;
  if (entry != nullptr) {
    positions = &entry->positions;
    remaining = entry->required;
  } else {
    local = name_positions(fields);
    positions = &local;
    for (const ir::RecordField& f : fields) remaining += f.required ? 1 : 0;
  }
  CriticalSection section(dict);
  const Py_ssize_t size0 = PyDict_GET_SIZE(dict);
  Py_ssize_t pos = 0;
  for (Py_ssize_t step = 0; step < size0; ++step) {
    if (PyDict_GET_SIZE(dict) != size0) return false;
    PyObject* k = nullptr;
    PyObject* v = nullptr;
    if (!PyDict_Next(dict, &pos, &k, &v)) break;
    py::PyRef key = py::PyRef::borrow(k);
    py::PyRef value = py::PyRef::borrow(v);
    const size_t index = declared_field_index(key.get(), *positions, fields.size(), *sub.shared);
    if (sub.shared->aborted()) return false;
    if (index < fields.size()) {
      const ir::RecordField& field = fields[index];
      if (!walk_node(field.schema, WalkInput::object(value.get()), sub)) return false;
      if (field.required && remaining > 0) --remaining;
    } else if (!walk_mapping_items(clauses, key.get(), value.get(), sub)) {
      return false;
    }
  }
  return PyDict_GET_SIZE(dict) == size0 && remaining == 0;
}

}  // namespace

bool walk_mapping_items(const ir::ClauseList& clauses, PyObject* key, PyObject* value, const WalkContext& ctx) {
  MembershipScope scope(ctx);
  for (const ir::CatchAll& clause : clauses) {
    if (walk_node(clause.key, WalkInput::object(key), scope.ctx) &&
        walk_node(clause.value, WalkInput::object(value), scope.ctx)) {
      return true;
    }
    if (ctx.shared->aborted()) return false;
  }
  return false;
}

bool walk_mapping(const ir::FieldList& fields, const ir::ClauseList& clauses, WalkInput input, const WalkContext& ctx,
                  MappingSummary* summary) {
  PyObject* dict = input.py();
  if (!PyDict_Check(dict)) return false;
  MembershipScope scope(ctx);
  const RecordKeys* entry = ctx.shared->tables ? ctx.shared->tables->find_record(fields) : nullptr;
  const ClauseShape shape = clause_shape(clauses);
  if (entry != nullptr && shape != ClauseShape::General && entry->names.size() == fields.size()) {
    FastRoad road = fast_road(fields, shape, *entry, dict, scope.ctx, summary);
    if (road != FastRoad::TakeGeneral) return road == FastRoad::Member;
  }
  // The key text rule hashes and compares a str subclass key with its
  // plain text; among exact str keys nothing of the user's runs.
  if (ctx.shared->probing() && !keys_exact_str(dict) && !may_run_user_code(*ctx.shared)) return false;
  return general_road(fields, clauses, entry, dict, scope.ctx);
}

bool walk_record(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
  MappingSummary summary;
  const bool collecting = ctx.collecting();
  bool member = walk_mapping(node.fields(), node.clauses(), input, ctx, collecting ? &summary : nullptr);
  if (member || !collecting) return member;
  if (ctx.shared->aborted()) return false;
  const size_t before = ctx.violations->size();
  report_mapping_failures(node.fields(), node.clauses(), input, ctx, summary);
  if (ctx.violations->size() == before && !ctx.shared->aborted()) record_mutation(input, ctx);
  return false;
}

}  // namespace tessolin::check

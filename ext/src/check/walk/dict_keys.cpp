// How dict keys stand for declared names and how they appear in paths.
#include <string>

#include "check/critical_section.hpp"
#include "check/fatal_errors.hpp"
#include "check/recording.hpp"
#include "check/walk/mapping.hpp"

namespace tessolin::check {

ClauseShape clause_shape(const ir::ClauseList& clauses) noexcept {
  if (clauses.empty()) return ClauseShape::Closed;
  if (clauses.size() == 1) {
    const ir::CatchAll& c = clauses[0];
    if (c.value.is(ir::NodeKind::Anything)) {
      if (c.key.is(ir::NodeKind::Anything)) return ClauseShape::Open;
      if (c.key.is(ir::NodeKind::Str)) return ClauseShape::StrKeys;
    }
  }
  return ClauseShape::General;
}

std::optional<std::string_view> str_key_utf8(PyObject* key, const WalkShared& shared) {
  if (!PyUnicode_Check(key)) return std::nullopt;
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(key, &size);
  if (data == nullptr) {
    absorb_pending_error(shared);
    return std::nullopt;
  }
  std::string_view text(data, static_cast<size_t>(size));
  if (PyUnicode_CheckExact(key)) return text;
  // A subclass counts only when it behaves like the plain str in a dict.
  py::PyRef plain = py::PyRef::steal(PyUnicode_FromStringAndSize(data, size));
  if (!plain) {
    absorb_pending_error(shared);
    return std::nullopt;
  }
  Py_hash_t key_hash = PyObject_Hash(key);
  if (key_hash == -1 && PyErr_Occurred()) {
    absorb_pending_error(shared);
    return std::nullopt;
  }
  if (key_hash != PyObject_Hash(plain.get())) return std::nullopt;
  int equal = PyObject_RichCompareBool(key, plain.get(), Py_EQ);
  if (equal < 0) {
    absorb_pending_error(shared);
    return std::nullopt;
  }
  if (equal == 0) return std::nullopt;
  return text;
}

bool is_declared_key(const RecordKeys* entry, const ir::FieldList& fields, std::string_view text) {
  if (entry != nullptr) return entry->positions.find(text) != entry->positions.end();
  for (const ir::RecordField& f : fields) {
    if (f.name.view() == text) return true;
  }
  return false;
}

size_t declared_field_index(PyObject* key, const NamePositions& positions, size_t field_count,
                            const WalkShared& shared) {
  if (positions.empty()) return field_count;
  std::optional<std::string_view> text = str_key_utf8(key, shared);
  if (!text) return field_count;
  auto it = positions.find(*text);
  return it == positions.end() || it->second >= field_count ? field_count : it->second;
}

bool keys_exact_str_locked(PyObject* dict) noexcept {
  Py_ssize_t pos = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(dict, &pos, &key, &value)) {
    if (!PyUnicode_CheckExact(key)) return false;
  }
  return true;
}

bool keys_exact_str(PyObject* dict) noexcept {
  CriticalSection section(dict);
  return keys_exact_str_locked(dict);
}

py::PathSegment key_path_segment(PyObject* key, const WalkShared& shared) {
  if (PyUnicode_Check(key)) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(key, &size);
    if (data == nullptr) {
      absorb_pending_error(shared);
      return py::PathSegment::key(std::string_view());
    }
    return py::PathSegment::key(std::string_view(data, static_cast<size_t>(size)));
  }
  if (PyLong_Check(key)) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(key, &overflow);
    if (overflow == 0 && !(v == -1 && PyErr_Occurred())) return py::PathSegment::int_key(static_cast<int64_t>(v));
    if (PyErr_Occurred()) absorb_pending_error(shared);
    // int's own repr reads the digits of the value: a subclass's __str__ or
    // __repr__ may say anything, and the path turns the text back into an int.
    py::PyRef text = py::PyRef::steal(PyLong_Type.tp_repr(key));
    if (text) {
      Py_ssize_t size = 0;
      const char* data = PyUnicode_AsUTF8AndSize(text.get(), &size);
      if (data != nullptr) return py::PathSegment::big_int_key(std::string(data, static_cast<size_t>(size)));
    }
    absorb_pending_error(shared);
  }
  return py::PathSegment::key(render_object_text(key, shared));
}

}  // namespace tessolin::check

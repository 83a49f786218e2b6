// The constants pool: the ordered live Python objects a schema names by
// index, with a key index that makes equal scalar constants share a slot.
#pragma once

#include <Python.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "binding/ref.hpp"

namespace tessolin::build {

class ConstantsPool {
 public:
  ConstantsPool();
  ~ConstantsPool();
  ConstantsPool(ConstantsPool&&) noexcept;
  ConstantsPool& operator=(ConstantsPool&&) noexcept;
  ConstantsPool(const ConstantsPool&) = delete;
  ConstantsPool& operator=(const ConstantsPool&) = delete;

  // A pool over `objects` (strong references taken over) whose index maps
  // each entry's key to its position; for equal keys the later position
  // wins. Never raises.
  static ConstantsPool index_constants(std::vector<py::PyRef> objects);
  // A pool over new references to `objects` (a finished validator's list),
  // with the key index rebuilt. Never raises.
  static ConstantsPool copy_of(std::span<const py::PyRef> objects);

  // The position of `obj`, appending it (new strong reference) when no
  // position has an equal key. Exact-type None, bool, int within signed 64
  // bits, non-NaN float (-0.0 as 0.0), str with valid UTF-8 and bytes are
  // keyed by value; everything else by identity. Never raises and leaves
  // no Python error pending.
  uint64_t intern_constant(PyObject* obj);

  // Borrowed object at `index`, or nullptr when out of range.
  PyObject* get(uint64_t index) const noexcept { return index < objects_.size() ? objects_[index].get() : nullptr; }
  uint64_t size() const noexcept { return objects_.size(); }
  std::span<const py::PyRef> objects() const noexcept { return objects_; }

  // Drops the key index and hands the object list over (the pool is left
  // empty).
  std::vector<py::PyRef> take_objects() noexcept;

  // Visits every object in order; the first nonzero result is returned.
  int traverse(visitproc visit, void* arg) const noexcept;

 private:
  struct KeyIndex;
  std::vector<py::PyRef> objects_;
  std::unique_ptr<KeyIndex> index_;  // null until first needed, and after a move
};

inline ConstantsPool index_constants(std::vector<py::PyRef> objects) {
  return ConstantsPool::index_constants(std::move(objects));
}

// Dense ids of class objects within one oracle query. Holds no references.
class ClassIdTable {
 public:
  ClassIdTable();
  ~ClassIdTable();
  ClassIdTable(const ClassIdTable&) = delete;
  ClassIdTable& operator=(const ClassIdTable&) = delete;

 private:
  friend uint32_t class_id(ClassIdTable& table, PyObject* cls);
  struct Map;
  Map* map_;
  bool borrowed_ = false;
};

// 0, 1, 2, ... in the order classes are first asked; the same id when asked
// again; from 4294967295 entries on every new class gets 4294967295.
// Re-entering the table is an InternalError.
uint32_t class_id(ClassIdTable& table, PyObject* cls);

}  // namespace tessolin::build

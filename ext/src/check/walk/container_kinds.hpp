// Builtin containers are checked by their builtin contents: a subclass of
// list, tuple, str, bytes, set, frozenset or dict that overrides __len__ or
// __iter__ cannot change what is checked.
#pragma once

#include <Python.h>

#include <cstdint>

#include "binding/ref.hpp"

namespace tessolin::check {

// Positions in the builtin __len__ / __iter__ sets.
enum class ContainerKind : uint8_t { List = 0, Tuple = 1, Str = 2, Bytes = 3, Set = 4, FrozenSet = 5, Dict = 6 };

// Whether getattr(type, name) is exactly `builtin` (identity). Exceptions
// are discarded and answer false.
bool has_builtin_slot(PyTypeObject* type, PyObject* name, PyObject* builtin) noexcept;

// Whether the object's type uses the builtin type's own __len__.
bool keeps_builtin_len(PyObject* obj, ContainerKind kind) noexcept;

// The builtin type's own __len__ called on obj. Returns false with the
// exception pending on failure.
bool builtin_len(PyObject* obj, ContainerKind kind, uint64_t& length) noexcept;

// len() by the builtin rule: exact builtins and subclasses keeping __len__
// through PyObject_Size, other subclasses through the builtin __len__, any
// other object through PyObject_Size. False with the exception pending.
bool value_length(PyObject* obj, uint64_t& length) noexcept;

// A new iterator over a set's or frozenset's members by the builtin
// __iter__; an empty PyRef with the exception pending on failure.
py::PyRef set_members_iter(PyObject* obj) noexcept;

}  // namespace tessolin::check

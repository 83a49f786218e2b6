// Builtin containers are checked by their builtin contents: a subclass of
// list, tuple, str, bytes, set, frozenset or dict that overrides __len__ or
// __iter__ cannot change what is checked.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>

#include "binding/ref.hpp"

namespace tessolin::check {

// Positions in the builtin __len__ / __iter__ sets.
enum class ContainerKind : uint8_t { List = 0, Tuple = 1, Str = 2, Bytes = 3, Set = 4, FrozenSet = 5, Dict = 6 };

// Whether getattr(type, name) is exactly `builtin` (identity). Exceptions
// are discarded and answer false.
bool has_builtin_slot(PyTypeObject* type, PyObject* name, PyObject* builtin) noexcept;

// The item count held in the builtin layout of a value that passes
// validation's test for a builtin container (the type flag for str, bytes,
// list, tuple and dict; the MRO for set and frozenset): what the builtin's
// own __len__ answers, read without calling anything, so that neither a
// subclass's __len__ nor a metaclass mro() that hides the builtin's methods
// changes it. nullopt for any other value.
std::optional<uint64_t> builtin_length(PyObject* obj) noexcept;

// len() by the builtin rule: builtin_length where there is one, else
// PyObject_Size. False with the exception pending.
bool value_length(PyObject* obj, uint64_t& length) noexcept;

// A new iterator over a set's or frozenset's members by the builtin
// __iter__; an empty PyRef with the exception pending on failure.
py::PyRef set_members_iter(PyObject* obj) noexcept;

}  // namespace tessolin::check

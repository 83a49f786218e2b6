// Facts about Python classes and values that the pool oracle builds its
// answers from. None of these raises or leaves a Python error pending: a
// Python call that fails is dropped and the answer is the non-committal one,
// except that a fatal exception is kept in `fatal`; once `fatal` holds one,
// these call no Python and answer the non-committal answer.
#pragma once

#include <Python.h>

#include <cstdint>

#include "binding/ref.hpp"
#include "check/first_fatal.hpp"
#include "ir/oracle.hpp"

namespace tessolin::oracle {

// Yes when metaclass M inherits both __instancecheck__ and __subclasscheck__
// unchanged from `type` (so isinstance/issubclass mean what the MRO says);
// No when it overrides either; Undecided when a look-up fails.
ir::OracleAnswer has_standard_class_hooks(PyObject* metaclass, check::FirstFatal& fatal) noexcept;

// Whether cls.__eq__ is object.__eq__ (equality is identity); false when a
// look-up fails.
bool has_identity_eq(PyObject* cls, check::FirstFatal& fatal) noexcept;

// The first of int, str, bytes, float, tuple, frozenset, list, set, dict
// whose validation test (PyLong_Check and the like) accepts cls's instances:
// its position (1-9) in that order and its kind code; (0, Unknown) when none.
// Calls no Python.
struct BuiltinBase {
  uint32_t position = 0;
  ir::SlotKind kind = ir::SlotKind::Unknown;
};
BuiltinBase builtin_base_kind(PyObject* cls) noexcept;

// The type's own MRO (held), which isinstance and issubclass follow: the
// __mro__ attribute may be a metaclass property telling another story.
// Empty when it is no tuple.
py::PyRef own_mro(PyObject* cls) noexcept;

// The kind of obj by its exact type (never a subclass): None, bool, int,
// float, str, bytes; Unknown for anything else.
ir::SlotKind scalar_kind_of(PyObject* obj) noexcept;

// The builtin class of a kind code 1-10 (borrowed), nullptr for others.
PyObject* builtin_class_of(ir::SlotKind kind) noexcept;

}  // namespace tessolin::oracle

// Facts about Python classes and values that the pool oracle builds its
// answers from. None of these raises or leaves a Python error pending: a
// Python call that fails is dropped and the answer is the non-committal one,
// except that a fatal exception is kept in `fatal`; once `fatal` holds one,
// these call no Python and answer the non-committal answer.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>

#include "binding/ref.hpp"
#include "check/first_fatal.hpp"
#include "ir/oracle.hpp"

namespace tessolin::oracle {

// Yes when the __instancecheck__ and __subclasscheck__ that the interpreter
// finds on metaclass M are `type`'s own (so isinstance/issubclass mean what
// the MRO says); No when either is another object; Undecided when a look-up
// fails.
ir::OracleAnswer has_standard_class_hooks(PyObject* metaclass, check::FirstFatal& fatal) noexcept;

// Whether the __eq__ that `==` finds for cls is object's own (equality is
// identity); false when a look-up fails.
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
// __mro__ attribute may be a metaclass property telling another story, so
// it is read through `type`'s own descriptor, which also takes the type's
// lock where there is no GIL. Empty when it is no tuple (the error, if any,
// cleared).
py::PyRef own_mro(PyObject* cls) noexcept;

// The entry `name` has in cls's own dict (held); empty when absent. Calls
// no attribute hook. Throws PythonError when the lookup fails.
py::PyRef own_dict_entry(PyObject* cls, PyObject* name);

// The entry `name` has in the first dict of cls's MRO that holds one: what
// the interpreter's lookup of a special method finds before binding it, read
// without calling it, its __get__ or any hook. An empty PyRef when no class
// holds one; nullopt when the MRO cannot be read. Throws PythonError when a
// lookup fails.
std::optional<py::PyRef> lookup_in_mro(PyObject* cls, PyObject* name);

// Whether `name` finds the same entry along the MRO of `cls` as along that
// of `reference` (both absent counts as the same): the hook then behaves as
// the reference's does. False when either MRO cannot be read. Throws
// PythonError when a lookup fails.
bool finds_same_entry(PyObject* cls, PyObject* reference, PyObject* name);

// The kind of obj by its exact type (never a subclass): None, bool, int,
// float, str, bytes; Unknown for anything else.
ir::SlotKind scalar_kind_of(PyObject* obj) noexcept;

// The builtin class of a kind code 1-10 (borrowed), nullptr for others.
PyObject* builtin_class_of(ir::SlotKind kind) noexcept;

}  // namespace tessolin::oracle

// Process-wide handles on standard-library objects, each loaded once per
// process on first use. A thread that finds a cell being filled waits
// detached from the interpreter; a failed load leaves the cell empty and the
// next use retries. Accessors throw PythonError with the load's exception.
#pragma once

#include <Python.h>

#include <array>
#include <initializer_list>
#include <vector>

#include "binding/ref.hpp"

namespace tessolin::py {

struct TypingHandles {
  // Those of TypeVar, ParamSpec, TypeVarTuple, _SpecialForm that exist, in
  // that order.
  std::vector<PyRef> typing_constructs;
  // Required: the load fails without them.
  PyRef any, union_form, optional, union_type, literal, get_origin, get_args, get_type_hints, object, enum_class,
      callable, ellipsis;
  // May be absent (empty) on the running Python; an absent handle matches
  // nothing.
  PyRef never, no_extra_items, no_return, type_alias_type, forward_ref, required, not_required, read_only, unpack;

  // Identity with a handle that may be absent.
  static bool is(const PyRef& handle, PyObject* x) noexcept { return handle && handle.get() == x; }
};

// The typing handles (load_typing_handles on first use).
const TypingHandles& typing_handles();

// typing_extensions' attribute of this name when the program has already
// imported that module; empty when it has not, or when the look-up raises
// (the exception dropped). Never imports the module and keeps nothing: the
// module may be imported (or reloaded) at any time, and only a module the
// program loaded can have made the object being compiled. Throws only when
// sys.modules itself cannot be read.
PyRef loaded_typing_extensions_attr(PyObject* name);
// The initialiser, exposed for its order of look-ups.
TypingHandles load_typing_handles();

// The module's attributes of these names, in order, skipping each whose
// look-up raises (its exception dropped).
std::vector<PyRef> getattr_many(PyObject* module, std::initializer_list<const char*> names);

// getattr(T, name) for T = list, tuple, str, bytes, set, frozenset, dict.
using BuiltinContainerAttributes = std::array<PyRef, 7>;
BuiltinContainerAttributes builtin_container_types(const char* name);

// dataclasses.is_dataclass (borrowed).
PyObject* dataclass_test();

struct EnumHandles {
  PyRef enum_meta;  // enum.EnumMeta
  PyRef flag;       // enum.Flag
  PyRef base;       // enum.Enum
  PyRef enum_new;   // enum.Enum.__new__ (the function)
};
const EnumHandles& enum_handles();

struct RoundingHandles {
  PyRef floor;  // math.floor
  PyRef ceil;   // math.ceil
};
const RoundingHandles& rounding_handles();

// A process-wide dict kept by the metadata reader (borrowed).
PyObject* attribute_mask_cache();

// The builtin containers' own __iter__, in the order above.
const BuiltinContainerAttributes& builtin_iter_set();

}  // namespace tessolin::py

// Where the walk may call into user code, and the probing walk that must
// not.
//
// A collecting check first runs a probing walk: the Membership walk of
// is_valid, with one difference: it stops (gives up) before any call that
// may run user code (predicates, __eq__ of a literal's own class,
// isinstance through a metaclass or a __class__ property, getattr, __iter__
// of a set subclass, len() of what is no builtin container, bounds and
// divisors of other than plain scalars, dict lookups among keys that are not
// exact str). A member found
// that way is the answer; otherwise the recording walk runs from the root,
// so every user call happens exactly as often as without the probe.
#pragma once

#include <Python.h>

#include "check/walk_context.hpp"

namespace tessolin::check {

// True outside a probing walk. In one, marks it given up, aborts it and
// returns false: the caller returns a non-member without the call.
inline bool may_run_user_code(const WalkShared& shared) noexcept {
  if (!shared.probing()) return true;
  *shared.abort |= kAbortBit | kGaveUpBit;
  return false;
}

// None, bool, int, float, str or bytes of exactly that type: their
// comparisons, arithmetic and len() are the interpreter's own.
inline bool is_plain_scalar(PyObject* obj) noexcept {
  PyTypeObject* type = Py_TYPE(obj);
  return type == &PyLong_Type || type == &PyUnicode_Type || type == &PyFloat_Type || type == &PyBool_Type ||
         type == &PyBytes_Type || obj == Py_None;
}

}  // namespace tessolin::check

// Which exceptions merely make a value a non-member and which stop a check.
//
// An ordinary Exception raised by user code during a check is
// non-membership at that place and is discarded. MemoryError,
// RecursionError and anything that is not an Exception (KeyboardInterrupt,
// SystemExit) are fatal: the first one is kept in the check's fatal slot,
// the abort flag is set, the walk unwinds and the entry point raises it.
#pragma once

#include <Python.h>

#include "binding/ref.hpp"
#include "check/walk_context.hpp"

namespace tessolin::check {

bool is_fatal_exception(PyObject* exception) noexcept;

// Keeps `exception` when the slot is empty, drops it otherwise; sets the
// abort flag either way.
void store_fatal_error(py::PyRef exception, const WalkShared& shared) noexcept;

// Takes the pending Python exception (if any) out of the indicator and
// classifies it: fatal ones are stored, ordinary ones dropped. Always leaves
// the indicator clear. Use right after a C API call reported failure.
void absorb_pending_error(const WalkShared& shared) noexcept;

// The fold of a check's result: 1 -> true, 0 -> false, -1 (exception
// pending) -> false after absorb_pending_error.
inline bool fold_check_result(int result, const WalkShared& shared) noexcept {
  if (result > 0) return true;
  if (result < 0) absorb_pending_error(shared);
  return false;
}

// Drops the pending exception, whatever it is: only for the few reads whose
// exceptions are discarded unexamined (they run no user code or are
// documented to discard).
inline void discard_pending_error() noexcept { PyErr_Clear(); }

}  // namespace tessolin::check

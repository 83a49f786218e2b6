#include "check/fatal_errors.hpp"

namespace tessolin::check {

bool is_fatal_exception(PyObject* exception) noexcept {
  if (exception == nullptr) return false;
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(exception));
  if (!PyErr_GivenExceptionMatches(type, PyExc_Exception)) return true;
  if (PyErr_GivenExceptionMatches(type, PyExc_MemoryError)) return true;
  return PyErr_GivenExceptionMatches(type, PyExc_RecursionError) != 0;
}

void store_fatal_error(py::PyRef exception, const WalkShared& shared) noexcept {
  FatalSlot& slot = *shared.fatal;
  slot.busy = true;
  if (!slot.exception) slot.exception = std::move(exception);
  *shared.abort |= kAbortBit;
  slot.busy = false;
}

void absorb_pending_error(const WalkShared& shared) noexcept {
  py::PyRef exception = py::PyRef::steal(PyErr_GetRaisedException());
  if (exception && is_fatal_exception(exception.get())) store_fatal_error(std::move(exception), shared);
}

}  // namespace tessolin::check

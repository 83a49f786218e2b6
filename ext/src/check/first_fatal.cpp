#include "check/first_fatal.hpp"

#include "binding/error.hpp"
#include "check/fatal_errors.hpp"

namespace tessolin::check {

void FirstFatal::absorb_pending() noexcept {
  py::PyRef exception = py::PyRef::steal(PyErr_GetRaisedException());
  if (exception && is_fatal_exception(exception.get())) keep(std::move(exception));
}

void FirstFatal::raise_if_met() {
  if (!exception_) return;
  py::restore_error(std::move(exception_));
  throw py::PythonError{};
}

}  // namespace tessolin::check

// The first fatal exception met by Python calls made outside a walk (the
// decisions' oracle, validator equality and hash). Those calls answer on
// after an ordinary exception, but a fatal one (fatal_errors.hpp) must stop
// further user code and be raised once the question is over.
#pragma once

#include <Python.h>

#include <utility>

#include "binding/ref.hpp"

namespace tessolin::check {

class FirstFatal {
 public:
  // Whether a fatal exception was met: callers then ask Python nothing more.
  bool met() const noexcept { return static_cast<bool>(exception_); }

  // Takes the pending exception (if any) out of the indicator: the first
  // fatal one is kept, any other dropped. Leaves the indicator clear.
  void absorb_pending() noexcept;

  // Keeps `exception` when none is kept yet, drops it otherwise.
  void keep(py::PyRef exception) noexcept {
    if (!exception_) exception_ = std::move(exception);
  }

  // When an exception is kept: sets it pending and throws PythonError.
  void raise_if_met();

 private:
  py::PyRef exception_;
};

}  // namespace tessolin::check

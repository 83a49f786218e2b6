// The one exception type for a broken invariant inside the native core.
#pragma once

#include <stdexcept>
#include <string>

namespace tessolin::ir {

// Thrown when an internal invariant does not hold: per-thread state used
// after the thread tore it down, a per-thread cache re-entered, a structure
// nested past what a rewrite supports. The binding layer turns it into the
// documented internal-error Python exception; it never signals bad input.
class InternalError : public std::logic_error {
 public:
  explicit InternalError(const std::string& what) : std::logic_error(what) {}
  explicit InternalError(const char* what) : std::logic_error(what) {}
};

}  // namespace tessolin::ir

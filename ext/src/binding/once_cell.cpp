#include "binding/once_cell.hpp"

#include "binding/error.hpp"

namespace tessolin::py::detail {

void OnceGate::throw_reentered() {
  throw InternalError("a one-time initialisation was re-entered by the thread that runs it");
}

}  // namespace tessolin::py::detail

#include "ir/oracle.hpp"

namespace tessolin::ir {

Oracle& no_oracle() noexcept {
  static NoOracle oracle;
  return oracle;
}

}  // namespace tessolin::ir

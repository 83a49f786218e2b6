// How one check runs: collect every failure, stop at the first, or answer
// membership only.
#pragma once

#include <cstdint>

namespace tessolin::check {

enum class WalkMode : uint8_t {
  CollectAll = 0,  // every independent failure is recorded
  FailFast = 1,    // loops stop at their first failure; violations recorded
  Membership = 2,  // nothing recorded, no path steps, first failure ends it
};

inline constexpr bool collects(WalkMode mode) noexcept { return static_cast<uint8_t>(mode) < 2; }

}  // namespace tessolin::check

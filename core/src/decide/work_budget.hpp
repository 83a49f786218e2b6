// The step counter that bounds one schema-level decision query.
#pragma once

#include <cstdint>

#include "limits/limits.hpp"

namespace tessolin::decide {

// One counter per query, passed by reference through every nested decision
// (both directions of an equivalence share one). Spent means undecided,
// never a wrong answer.
class WorkBudget {
 public:
  static constexpr int32_t kQuerySteps = limits::kDecisionSteps;

  WorkBudget() noexcept = default;
  explicit WorkBudget(int32_t steps) noexcept : steps_(steps < 0 ? 0 : steps) {}

  // Takes one step; false (and nothing taken) when none is left.
  bool spend() noexcept {
    if (steps_ <= 0) return false;
    --steps_;
    return true;
  }
  bool exhausted() const noexcept { return steps_ <= 0; }
  int32_t remaining() const noexcept { return steps_; }

 private:
  int32_t steps_ = kQuerySteps;
};

}  // namespace tessolin::decide

// What every schema-level decision of one query shares: the oracle, the
// schema's definitions, the step budget, the nesting depth and the facts
// learnt of long member lists.
#pragma once

#include <cstdint>

#include "decide/work_budget.hpp"
#include "ir/definitions.hpp"
#include "ir/list_facts.hpp"
#include "ir/oracle.hpp"
#include "limits/limits.hpp"

namespace tessolin::decide {

// Nesting of the recursive decisions past which they answer undecided. The
// budget bounds the work but not the native stack: a recursive schema can
// send the decisions through many levels before the budget is spent.
inline constexpr uint32_t kMaxDecisionDepth = limits::kMaxDecisionDepth;

struct DecisionContext {
  DecisionContext(ir::Oracle& o, ir::DefinitionsView defs, WorkBudget& b) noexcept
      : oracle(o), definitions(defs), budget(b), lists(o, [&b] { return b.spend(); }) {}

  ir::Oracle& oracle;
  ir::DefinitionsView definitions;
  WorkBudget& budget;
  uint32_t depth = 0;
  ir::ListFacts lists;
};

// One level of decision nesting for the scope; entered() is false past the
// limit, and the caller then answers undecided.
class DecisionDepth {
 public:
  explicit DecisionDepth(DecisionContext& ctx) noexcept : depth_(ctx.depth) {
    entered_ = depth_ < kMaxDecisionDepth;
    if (entered_) ++depth_;
  }
  ~DecisionDepth() {
    if (entered_) --depth_;
  }
  DecisionDepth(const DecisionDepth&) = delete;
  DecisionDepth& operator=(const DecisionDepth&) = delete;
  bool entered() const noexcept { return entered_; }

 private:
  uint32_t& depth_;
  bool entered_;
};

}  // namespace tessolin::decide

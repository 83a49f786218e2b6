// Structural emptiness: whether a schema admits any value, from its node
// structure alone, with the oracle asked about pooled constants.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "decide/decision_context.hpp"
#include "ir/emptiness.hpp"
#include "ir/node.hpp"
#include "ir/value_kinds.hpp"

namespace tessolin::decide {

using ir::Emptiness;

// Bits 0-7 the Emptiness, bit 8 the inexact flag, bits 16-22 a KindMask.
// An exact report says the node admits exactly the values of the kinds in
// its mask (Empty exactly when the mask is 0); an inexact one's mask bits
// mean nothing. Callers outside the decisions read the low byte only.
class EmptinessReport {
 public:
  static constexpr uint32_t kInexactBit = 1u << 8;

  static EmptinessReport exact(ir::KindMask mask) noexcept {
    return EmptinessReport(static_cast<uint32_t>(mask == 0 ? Emptiness::Empty : Emptiness::Inhabited) |
                           (static_cast<uint32_t>(mask & ir::kAllKinds) << 16));
  }
  static EmptinessReport inexact(Emptiness e) noexcept {
    return EmptinessReport(static_cast<uint32_t>(e) | kInexactBit);
  }
  // An answer with flags folded by a rule (mask kept only when exact).
  static EmptinessReport folded(Emptiness e, bool is_inexact, ir::KindMask mask) noexcept {
    if (is_inexact) return inexact(e);
    return EmptinessReport(static_cast<uint32_t>(e) | (static_cast<uint32_t>(mask & ir::kAllKinds) << 16));
  }

  Emptiness emptiness() const noexcept { return static_cast<Emptiness>(bits_ & 0xff); }
  bool is_inexact() const noexcept { return (bits_ & kInexactBit) != 0; }
  ir::KindMask mask() const noexcept { return static_cast<ir::KindMask>((bits_ >> 16) & ir::kAllKinds); }
  uint32_t bits() const noexcept { return bits_; }

 private:
  explicit EmptinessReport(uint32_t bits) noexcept : bits_(bits) {}
  uint32_t bits_;
};

// Definition numbers of the References being expanded on the current path.
using ExpansionStack = std::vector<uint64_t>;

EmptinessReport structural_emptiness(const ir::SchemaNode& node, DecisionContext& ctx, ExpansionStack& stack);
EmptinessReport emptiness_with_fresh_stack(const ir::SchemaNode& node, DecisionContext& ctx);

// The rule for a Refinement that carries constraints.
Emptiness refinement_emptiness(const ir::SchemaNode& base, std::span<const ir::Constraint> constraints,
                               DecisionContext& ctx, ExpansionStack& stack);

enum class BoundState : uint8_t { Inclusive = 0, Strict = 1, Absent = 2 };

// The tightest Ge/Gt and Le/Lt bounds of a constraint run (pool indices).
struct BoundsRecord {
  uint64_t lower = 0;
  BoundState lower_state = BoundState::Absent;
  uint64_t upper = 0;
  BoundState upper_state = BoundState::Absent;
  bool comparable = true;  // every comparison of two bounds had an answer

  bool has_lower() const noexcept { return lower_state != BoundState::Absent; }
  bool has_upper() const noexcept { return upper_state != BoundState::Absent; }
  // Folds one constraint in; non-bound constraints are skipped.
  void add(const ir::Constraint& c, ir::Oracle& oracle);
};

BoundsRecord refinement_bounds(std::span<const ir::Constraint> constraints, ir::Oracle& oracle);

// At least and at most the number of distinct hashable values a node
// admits (as set elements); kUnbounded stands for no bound.
struct ValueCountRange {
  static constexpr uint64_t kUnbounded = UINT64_MAX;
  uint64_t at_least = 0;
  uint64_t at_most = kUnbounded;
};

// With a budget each union member counted takes a step, since a decision
// may count one node's members again and again; out of steps, the range
// claims nothing.
ValueCountRange value_count_range(const ir::SchemaNode& node, ir::Oracle& oracle, WorkBudget* budget = nullptr);

}  // namespace tessolin::decide

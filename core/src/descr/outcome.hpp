// Give-up outcomes and the limits of the descriptor algebra.
//
// Every bounded step of the algebra gives up instead of approximating. A
// give-up carries no detail: it is an empty std::optional, propagates
// unchanged, and only the decision entry points turn it into "undecided".
// Nothing in the algebra throws.
#pragma once

#include <cstdint>
#include <optional>

#include "ir/emptiness.hpp"
#include "limits/limits.hpp"

namespace tessolin::descr {

using ir::Emptiness;

// A value, or a give-up (std::nullopt).
template <class T>
using Outcome = std::optional<T>;
inline constexpr std::nullopt_t kGaveUp = std::nullopt;

// Union or intersection, for combine_descriptors and combine_domains.
enum class CombineMode : uint8_t { Join = 0, Meet = 1 };

// The algebra's limits; their values and reasons are in limits/limits.hpp.
using limits::kLineCompactionThreshold;
using limits::kLoweringAllowance;
using limits::kLoweringDepth;
using limits::kMaxDfaStates;
using limits::kMaxLengthBound;
using limits::kMaxModulus;
using limits::kMaxNormalizedItems;
using limits::kMaxPositionTransitions;
using limits::kMaxProductStates;
using limits::kMaxSequenceTransitions;

// Emptiness over a list: the first Inhabited item wins; otherwise Undecided
// when any item was, else Empty. Start from Empty and fold with this.
constexpr Emptiness fold_emptiness(Emptiness acc, Emptiness item) noexcept {
  if (acc == Emptiness::Inhabited || item == Emptiness::Inhabited) return Emptiness::Inhabited;
  if (acc == Emptiness::Undecided || item == Emptiness::Undecided) return Emptiness::Undecided;
  return Emptiness::Empty;
}

// Emptiness of a list, deciding each item in order with `decide` until one
// is Inhabited.
template <class Items, class Decide>
Emptiness list_emptiness(const Items& items, Decide&& decide) {
  Emptiness answer = Emptiness::Empty;
  for (const auto& item : items) {
    answer = fold_emptiness(answer, decide(item));
    if (answer == Emptiness::Inhabited) break;
  }
  return answer;
}

}  // namespace tessolin::descr

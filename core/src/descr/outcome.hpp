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

namespace tessolin::descr {

using ir::Emptiness;

// A value, or a give-up (std::nullopt).
template <class T>
using Outcome = std::optional<T>;
inline constexpr std::nullopt_t kGaveUp = std::nullopt;

// Union or intersection, for combine_descriptors and combine_domains.
enum class CombineMode : uint8_t { Join = 0, Meet = 1 };

// Schema nodes one lowering may visit, and how deep it may nest.
inline constexpr uint32_t kLoweringAllowance = 64;
inline constexpr uint32_t kLoweringDepth = 5;
// Largest modulus of an integer set: lcm growth past it gives up.
inline constexpr uint64_t kMaxModulus = 4096;
// A product (byte or sequence automaton) numbers at most 4096 state pairs:
// a new pair needed while more than this many are numbered gives up.
inline constexpr uint64_t kMaxProductStates = 4095;
// Transitions one sequence product may build in all, and at one position.
inline constexpr uint64_t kMaxSequenceTransitions = 65536;
inline constexpr uint64_t kMaxPositionTransitions = 4096;
// A partial product of lines, shapes or clauses longer than this is
// normalised before the loop goes on...
inline constexpr uint64_t kLineCompactionThreshold = 255;
// ...and more than this many items after normalisation gives up.
inline constexpr uint64_t kMaxNormalizedItems = 256;
// Largest item count a list or tuple length bound lowers.
inline constexpr uint64_t kMaxLengthBound = 4096;
// A DFA built from a pattern or a length bound numbers at most 4096 states.
inline constexpr uint64_t kMaxDfaStates = 4095;

// Emptiness over a list: the first Inhabited item wins; otherwise Undecided
// when any item was, else Empty. Start from Empty and fold with this.
constexpr Emptiness fold_emptiness(Emptiness acc, Emptiness item) noexcept {
  if (acc == Emptiness::Inhabited || item == Emptiness::Inhabited) return Emptiness::Inhabited;
  if (acc == Emptiness::Undecided || item == Emptiness::Undecided) return Emptiness::Undecided;
  return Emptiness::Empty;
}

}  // namespace tessolin::descr

// ALGEBRA_FUEL: the one per-thread work counter of the descriptor algebra.
//
// On a fresh thread the word holds the largest 64-bit value, so work done
// outside a decision is in effect unlimited. A decision opens a FuelWindow
// around each lowering and around the complement, meet and emptiness test
// of an inclusion difference: the window saves the word, sets it to 4096 and
// restores the saved value when it closes (also after a give-up). Windows
// nest: a decision inside a decision gets its own 4096 and hands back what
// the outer window had left. The emptiness test of a just-lowered schema
// runs outside any window.
//
// A step that needs a unit and finds the word at 0 gives up; steps that
// never give up go on without spending. Running out means "undecided",
// never a wrong answer. Tested by core/tests/descr.
#pragma once

#include <cstdint>

#include "limits/limits.hpp"

namespace tessolin::descr {

inline constexpr uint64_t kAlgebraFuel = limits::kAlgebraFuel;
inline constexpr uint64_t kUnlimitedFuel = UINT64_MAX;

// The calling thread's fuel word.
uint64_t fuel_left() noexcept;
void set_fuel(uint64_t value) noexcept;

// Takes one unit. False (and nothing taken) when the word is at 0: the
// caller gives up.
bool spend_fuel() noexcept;
// For steps that never give up: takes a unit when one is left.
void spend_fuel_if_any() noexcept;

// Saves the word, sets it to `budget`, restores the saved value on close.
class FuelWindow {
 public:
  explicit FuelWindow(uint64_t budget = kAlgebraFuel) noexcept : saved_(fuel_left()) { set_fuel(budget); }
  ~FuelWindow() { set_fuel(saved_); }
  FuelWindow(const FuelWindow&) = delete;
  FuelWindow& operator=(const FuelWindow&) = delete;

 private:
  uint64_t saved_;
};

}  // namespace tessolin::descr

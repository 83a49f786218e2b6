#include "descr/fuel.hpp"

namespace tessolin::descr {
namespace {
// A plain word: trivially destructible, so it stays readable during thread
// teardown.
thread_local uint64_t t_fuel = kUnlimitedFuel;
}  // namespace

uint64_t fuel_left() noexcept { return t_fuel; }
void set_fuel(uint64_t value) noexcept { t_fuel = value; }

bool spend_fuel() noexcept {
  if (t_fuel == 0) return false;
  --t_fuel;
  return true;
}

void spend_fuel_if_any() noexcept {
  if (t_fuel != 0) --t_fuel;
}

}  // namespace tessolin::descr

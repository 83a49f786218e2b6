#include "ir/thread_state.hpp"

namespace tessolin::ir::detail {

namespace {

enum : uint8_t { kUnset = 0, kAlive = 1, kTornDown = 2 };

// Trivially destructible: still readable while other thread-local
// destructors run after the guard below.
thread_local uint8_t t_phase = kUnset;
thread_local IrThreadState* t_state = nullptr;

struct StateGuard {
  ~StateGuard() {
    t_phase = kTornDown;
    IrThreadState* s = t_state;
    t_state = nullptr;
    delete s;
  }
};
thread_local StateGuard t_guard;

IrThreadState& create_state() {
  // Touching the guard registers its thread-exit destructor.
  [[maybe_unused]] StateGuard* g = &t_guard;
  t_state = new IrThreadState();
  t_phase = kAlive;
  return *t_state;
}

}  // namespace

IrThreadState& ir_thread_state() {
  if (t_phase == kAlive) return *t_state;
  if (t_phase == kTornDown) throw InternalError("IR per-thread state used after thread teardown");
  return create_state();
}

IrThreadState* ir_thread_state_or_null() noexcept {
  if (t_phase == kAlive) return t_state;
  if (t_phase == kTornDown) return nullptr;
  try {
    return &create_state();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace tessolin::ir::detail

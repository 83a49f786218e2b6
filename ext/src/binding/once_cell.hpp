// One-time initialisation that is safe with and without the GIL.
//
// A cell has three states: empty, being built, built. A reader of a built
// cell does one acquire load and no locking. Otherwise the thread takes the
// cell's PyMutex, which detaches it from the interpreter while it is parked,
// so a waiter never blocks the builder's imports or a stop-the-world pause.
// The builder runs attached and may call Python. If the builder throws, the
// cell goes back to empty and the exception propagates; the next call
// retries. Never use std::mutex / std::call_once around Python calls: a
// waiter that stays attached deadlocks the builder.
//
// A builder that asks for its own cell (directly or through Python code it
// runs) gets InternalError instead of a self-deadlock.
//
//   OnceCell<T>       process-wide; the content is never destroyed (static
//                     destructors run after the interpreter is gone), so it
//                     holds strong Python references forever. Declare it
//                     `static constinit` (or at namespace scope).
//   ObjectOnceCell<T> per-object (e.g. a validator's lazy tables); the
//                     content is destroyed with the cell.
//
// Usage:
//   static constinit OnceCell<PyRef> cell;
//   PyObject* obj = cell.get([] { return PyRef::check(make_it()); }).get();
#pragma once

#include <Python.h>

#include <atomic>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "binding/python_error.hpp"

namespace tessolin::py {

namespace detail {

class OnceGate {
 public:
  constexpr OnceGate() noexcept = default;

  bool ready() const noexcept { return state_.load(std::memory_order_acquire) == kBuilt; }

  // Runs `init` unless another thread completed it first; `init` must
  // construct the value. Exceptions from `init` leave the gate open.
  template <class Init>
  void run_once(Init&& init) {
    unsigned long self = PyThread_get_thread_ident();
    if (state_.load(std::memory_order_acquire) == kBuilding && builder_.load(std::memory_order_relaxed) == self) {
      throw_reentered();
    }
    PyMutex_Lock(&mutex_);
    if (state_.load(std::memory_order_relaxed) == kBuilt) {
      PyMutex_Unlock(&mutex_);
      return;
    }
    builder_.store(self, std::memory_order_relaxed);
    state_.store(kBuilding, std::memory_order_release);
    try {
      std::forward<Init>(init)();
    } catch (...) {
      builder_.store(0, std::memory_order_relaxed);
      state_.store(kEmpty, std::memory_order_release);
      PyMutex_Unlock(&mutex_);
      throw;
    }
    builder_.store(0, std::memory_order_relaxed);
    state_.store(kBuilt, std::memory_order_release);
    PyMutex_Unlock(&mutex_);
  }

 private:
  static constexpr uint8_t kEmpty = 0, kBuilding = 1, kBuilt = 2;
  [[noreturn]] static void throw_reentered();

  std::atomic<uint8_t> state_{kEmpty};
  std::atomic<unsigned long> builder_{0};
  PyMutex mutex_{};
};

template <class T>
class OnceStorage {
 public:
  constexpr OnceStorage() noexcept {}

  // The built value; `build()` (returning a T) runs once, on first call.
  template <class Build>
  T& get(Build&& build) {
    if (!gate_.ready()) {
      gate_.run_once([&] { ::new (static_cast<void*>(storage_)) T(std::forward<Build>(build)()); });
    }
    return *ptr();
  }

  // The value if built, else nullptr. Lock-free; usable from tp_traverse.
  T* peek() noexcept { return gate_.ready() ? ptr() : nullptr; }
  const T* peek() const noexcept { return gate_.ready() ? ptr() : nullptr; }
  bool is_built() const noexcept { return gate_.ready(); }

 protected:
  T* ptr() noexcept { return std::launder(reinterpret_cast<T*>(storage_)); }
  const T* ptr() const noexcept { return std::launder(reinterpret_cast<const T*>(storage_)); }

  OnceGate gate_;
  alignas(T) unsigned char storage_[sizeof(T)]{};
};

}  // namespace detail

template <class T>
class OnceCell : public detail::OnceStorage<T> {
 public:
  constexpr OnceCell() noexcept = default;
  OnceCell(const OnceCell&) = delete;
  OnceCell& operator=(const OnceCell&) = delete;
  // Trivial destructor on purpose: see the header comment.
};

template <class T>
class ObjectOnceCell : public detail::OnceStorage<T> {
 public:
  constexpr ObjectOnceCell() noexcept = default;
  ObjectOnceCell(const ObjectOnceCell&) = delete;
  ObjectOnceCell& operator=(const ObjectOnceCell&) = delete;
  ~ObjectOnceCell() {
    if (T* value = this->peek()) value->~T();
  }
};

}  // namespace tessolin::py

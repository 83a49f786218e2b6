// Intrusive strong and weak counts for the immutable shared parts of schemas.
//
// Every shared allocation (a node, a list, a name) starts with a CellHeader.
// The strong count keeps the contents alive; the weak count keeps the storage
// allocated. All strong references together hold one weak reference, so the
// storage goes when the last weak reference (an intern-cache slot, or that
// collective one) goes. A weak reference upgrades by a compare-and-swap that
// refuses a strong count of zero: another thread may be dropping the last
// strong reference at the same moment.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace tessolin::ir::detail {

struct CellHeader {
  std::atomic<uint64_t> strong{1};
  std::atomic<uint64_t> weak{1};
};

inline constexpr uint64_t kMaxCount = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

inline void retain_strong(CellHeader* h) noexcept {
  // Relaxed suffices for an increment: the caller already holds a reference.
  if (h->strong.fetch_add(1, std::memory_order_relaxed) >= kMaxCount) std::abort();
}

inline void retain_weak(CellHeader* h) noexcept {
  if (h->weak.fetch_add(1, std::memory_order_relaxed) >= kMaxCount) std::abort();
}

// True when the caller now holds a new strong reference.
inline bool try_upgrade(CellHeader* h) noexcept {
  uint64_t n = h->strong.load(std::memory_order_relaxed);
  while (n != 0) {
    if (n >= kMaxCount) std::abort();
    if (h->strong.compare_exchange_weak(n, n + 1, std::memory_order_acquire, std::memory_order_relaxed)) return true;
  }
  return false;
}

// True when this was the last strong reference: the caller then destroys the
// contents and releases the collective weak reference.
inline bool release_strong(CellHeader* h) noexcept {
  // acq_rel rather than release plus an acquire fence: same cost on the
  // targets we build for, and ThreadSanitizer understands it.
  return h->strong.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

// True when this was the last weak reference: the caller frees the storage.
inline bool release_weak(CellHeader* h) noexcept { return h->weak.fetch_sub(1, std::memory_order_acq_rel) == 1; }

}  // namespace tessolin::ir::detail

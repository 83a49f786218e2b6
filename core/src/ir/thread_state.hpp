// This thread's IR state: the four intern caches, the two scratch pools and
// the stack of live placeholder ids. Internal to the ir component.
//
// Lifecycle: a trivially destructible phase byte beside a heap pointer, and a
// separate guard object whose thread-exit destructor frees the state and
// marks the phase torn down. Reading the state after that is an
// InternalError, never a read of freed memory.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "ir/internal_error.hpp"
#include "ir/intern.hpp"
#include "ir/node.hpp"

namespace tessolin::ir::detail {

// Exclusive borrow of a per-thread structure; re-entry is a broken invariant.
class BusyFlag {
 public:
  explicit BusyFlag(bool& flag) : flag_(flag) {
    if (flag_) throw InternalError("per-thread IR state re-entered");
    flag_ = true;
  }
  ~BusyFlag() { flag_ = false; }
  BusyFlag(const BusyFlag&) = delete;
  BusyFlag& operator=(const BusyFlag&) = delete;

 private:
  bool& flag_;
};

struct NodeCache {
  std::unique_ptr<std::array<WeakNodeRef, kInternSlots>> slots;  // allocated on first use
  bool busy = false;
};

template <class T>
struct ListSlot {
  WeakArray<T> list;
  uint64_t count = 0;
};

template <class T>
struct ListCache {
  std::unique_ptr<std::array<ListSlot<T>, kInternSlots>> slots;
  bool busy = false;
};

template <class T>
struct ScratchPoolState {
  std::vector<std::vector<T>> spare;
  bool busy = false;
};

struct IrThreadState {
  NodeCache nodes;
  ListCache<SchemaNode> node_lists;
  ListCache<CatchAll> clause_lists;
  ListCache<RecordField> field_lists;
  ScratchPoolState<SchemaNode> node_pool;
  ScratchPoolState<RecordField> field_pool;
  std::vector<uint64_t> live_placeholders;
  bool placeholders_busy = false;
};

// This thread's state, created on first use. Throws InternalError after the
// thread tore it down.
IrThreadState& ir_thread_state();
// Null after teardown (for callers that must not throw).
IrThreadState* ir_thread_state_or_null() noexcept;

}  // namespace tessolin::ir::detail

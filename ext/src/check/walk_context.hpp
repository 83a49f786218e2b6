// The state of one check, passed by reference to every walk.
//
// The entry point owns everything here (locals of its call). The shared part
// (pool, definitions, tables, recursion guard, depth, fatal slot, abort flag)
// is one record; a sub-context points at the same record and has its own
// path/violation lists and mode, so making one allocates nothing.
#pragma once

#include <Python.h>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "binding/ref.hpp"
#include "check/walk_mode.hpp"
#include "errors/path_segment.hpp"
#include "errors/violation.hpp"
#include "ir/definitions.hpp"
#include "ir/node.hpp"
#include "limits/limits.hpp"

namespace tessolin::check {

struct Precompute;

// The constants pool's objects, by index.
class PoolView {
 public:
  PoolView() noexcept = default;
  explicit PoolView(std::span<const py::PyRef> objects) noexcept : objects_(objects) {}
  // The object at `index`, or nullptr when the index lies outside the pool.
  PyObject* at(uint64_t index) const noexcept { return index < objects_.size() ? objects_[index].get() : nullptr; }
  size_t size() const noexcept { return objects_.size(); }
  std::span<const py::PyRef> objects() const noexcept { return objects_; }

 private:
  std::span<const py::PyRef> objects_;
};

// The first fatal exception met by a check.
struct FatalSlot {
  py::PyRef exception;
  bool busy = false;  // re-entrancy flag; never held across a call
};

inline constexpr uint64_t kMaxRecursionEntries = limits::kMaxRecursionEntries;
inline constexpr uint64_t kMaxWalkDepth = limits::kMaxWalkDepth;

// The (input identity, definition) pairs of the references on the way from
// the root to the node being walked; fixed storage, no allocation. Only the
// first count_ pairs are ever read, so the storage is left uninitialised:
// clearing 2 KB on every check was a measurable share of a small check.
class RecursionGuard {
 public:
  bool holds(uint64_t identity, uint64_t definition) const noexcept {
    for (uint64_t i = 0; i < count_; ++i) {
      if (pairs_[i].identity == identity && pairs_[i].definition == definition) return true;
    }
    return false;
  }
  bool full() const noexcept { return count_ >= kMaxRecursionEntries; }
  void push(uint64_t identity, uint64_t definition) noexcept { pairs_[count_++] = {identity, definition}; }
  void pop() noexcept {
    if (count_ > 0) --count_;
  }
  uint64_t size() const noexcept { return count_; }

 private:
  struct Pair {
    uint64_t identity;
    uint64_t definition;
  };
  std::array<Pair, kMaxRecursionEntries> pairs_;
  uint64_t count_ = 0;
};

// Bits of the abort byte.
inline constexpr uint8_t kAbortBit = 1;   // unwind at once
inline constexpr uint8_t kProbeBit = 2;   // a probing walk: no user code may run
inline constexpr uint8_t kGaveUpBit = 4;  // the probe stopped before user code

// Fields shared by a context and all its sub-contexts.
struct WalkShared {
  PoolView pool;
  ir::DefinitionsView definitions;
  const Precompute* tables = nullptr;  // null: empty tables, readers work unaided
  RecursionGuard* guard = nullptr;
  uint64_t* depth = nullptr;
  FatalSlot* fatal = nullptr;
  uint8_t* abort = nullptr;  // kAbortBit, kProbeBit, kGaveUpBit

  bool aborted() const noexcept { return (*abort & kAbortBit) != 0; }
  bool probing() const noexcept { return (*abort & kProbeBit) != 0; }
  bool gave_up() const noexcept { return (*abort & kGaveUpBit) != 0; }
};

struct WalkContext {
  std::vector<py::PathSegment>* path;
  std::vector<py::Violation>* violations;
  const WalkShared* shared;
  WalkMode mode;

  bool collecting() const noexcept { return collects(mode); }
};

// A sub-context over the same shared record with its own lists and mode.
inline WalkContext sub_context(const WalkContext& parent, std::vector<py::PathSegment>* path,
                               std::vector<py::Violation>* violations, WalkMode mode) noexcept {
  return WalkContext{path, violations, parent.shared, mode};
}

// A Membership sub-context with its own (never used) lists.
struct MembershipScope {
  std::vector<py::PathSegment> path;
  std::vector<py::Violation> violations;
  WalkContext ctx;
  explicit MembershipScope(const WalkContext& parent)
      : ctx(sub_context(parent, &path, &violations, WalkMode::Membership)) {}
};

// Everything one check owns, in one place: the entry points (and is_member)
// declare one of these on the stack.
struct WalkState {
  std::vector<py::PathSegment> path;
  std::vector<py::Violation> violations;
  RecursionGuard guard;
  uint64_t depth = 0;
  FatalSlot fatal;
  uint8_t abort = 0;
  WalkShared shared;

  WalkState(PoolView pool, ir::DefinitionsView definitions, const Precompute* tables) noexcept {
    shared.pool = pool;
    shared.definitions = definitions;
    shared.tables = tables;
    shared.guard = &guard;
    shared.depth = &depth;
    shared.fatal = &fatal;
    shared.abort = &abort;
  }
  WalkState(const WalkState&) = delete;
  WalkState& operator=(const WalkState&) = delete;

  WalkContext context(WalkMode mode) noexcept { return WalkContext{&path, &violations, &shared, mode}; }
  // The stored fatal exception, taken out (may be empty).
  py::PyRef take_fatal() noexcept { return std::move(fatal.exception); }
};

}  // namespace tessolin::check

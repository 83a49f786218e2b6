// Immutable shared arrays: node lists, field lists, clause lists, constraint
// lists and name texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "ir/shared_counts.hpp"

namespace tessolin::ir {

namespace detail {

// Header, element count, then the elements. The count lives in the cell so
// that the last release can destroy the elements without outside help.
template <class T>
struct ArrayCell {
  CellHeader header;
  uint64_t count = 0;

  static constexpr size_t elements_offset() {
    size_t base = sizeof(ArrayCell);
    size_t a = alignof(T);
    return (base + a - 1) / a * a;
  }
  T* elements() { return reinterpret_cast<T*>(reinterpret_cast<char*>(this) + elements_offset()); }
  const T* elements() const {
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(this) + elements_offset());
  }

  // Allocates room for n elements; the caller constructs them and sets count.
  static ArrayCell* allocate(size_t n) {
    // Room for at least one element even when empty, so that no code path
    // (however dead) addresses past the allocation.
    size_t bytes = elements_offset() + (n > 0 ? n : 1) * sizeof(T);
    constexpr size_t align = alignof(T) > alignof(ArrayCell) ? alignof(T) : alignof(ArrayCell);
    void* raw = ::operator new (bytes, std::align_val_t{align});
    return ::new (raw) ArrayCell();
  }
  static void free_storage(ArrayCell* c) noexcept {
    constexpr size_t align = alignof(T) > alignof(ArrayCell) ? alignof(T) : alignof(ArrayCell);
    c->~ArrayCell();
    ::operator delete (static_cast<void*>(c), std::align_val_t{align});
  }
  void destroy_elements() noexcept {
    T* e = elements();
    for (uint64_t i = count; i > 0; --i) e[i - 1].~T();
    count = 0;
  }
};

template <class T>
void release_array_strong(ArrayCell<T>* c) noexcept {
  if (c && release_strong(&c->header)) {
    // Keep the element count readable for weak holders: it is cached beside
    // the weak reference, never read from a dead cell.
    c->destroy_elements();
    if (release_weak(&c->header)) ArrayCell<T>::free_storage(c);
  }
}

template <class T>
void release_array_weak(ArrayCell<T>* c) noexcept {
  if (c && release_weak(&c->header)) ArrayCell<T>::free_storage(c);
}

}  // namespace detail

template <class T>
class WeakArray;

// A strong handle to an immutable array. A null handle reads as empty.
template <class T>
class SharedArray {
 public:
  using Cell = detail::ArrayCell<T>;

  SharedArray() noexcept = default;
  SharedArray(const SharedArray& o) noexcept : cell_(o.cell_) {
    if (cell_) detail::retain_strong(&cell_->header);
  }
  SharedArray(SharedArray&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
  SharedArray& operator=(const SharedArray& o) noexcept {
    if (this != &o) {
      SharedArray tmp(o);
      swap(tmp);
    }
    return *this;
  }
  SharedArray& operator=(SharedArray&& o) noexcept {
    if (this != &o) {
      SharedArray tmp(std::move(o));
      swap(tmp);
    }
    return *this;
  }
  ~SharedArray() { detail::release_array_strong(cell_); }

  void swap(SharedArray& o) noexcept { std::swap(cell_, o.cell_); }

  // A fresh, uninterned array holding the moved elements (the vector is left
  // empty). Lists of nodes, fields and clauses are normally made through the
  // intern functions instead.
  static SharedArray from_vector(std::vector<T>&& items) {
    Cell* c = Cell::allocate(items.size());
    T* e = c->elements();
    for (size_t i = 0; i < items.size(); ++i) {
      ::new (static_cast<void*>(e + i)) T(std::move(items[i]));
      c->count = i + 1;
    }
    items.clear();
    return SharedArray(c);
  }
  // A fresh array holding copies of the elements.
  static SharedArray copy_of(std::span<const T> items) {
    Cell* c = Cell::allocate(items.size());
    T* e = c->elements();
    for (size_t i = 0; i < items.size(); ++i) {
      ::new (static_cast<void*>(e + i)) T(items[i]);
      c->count = i + 1;
    }
    return SharedArray(c);
  }

  size_t size() const noexcept { return cell_ ? static_cast<size_t>(cell_->count) : 0; }
  bool empty() const noexcept { return size() == 0; }
  const T* data() const noexcept { return cell_ ? cell_->elements() : nullptr; }
  const T* begin() const noexcept { return data(); }
  const T* end() const noexcept { return data() + size(); }
  const T& operator[](size_t i) const noexcept { return data()[i]; }
  std::span<const T> span() const noexcept { return {data(), size()}; }
  explicit operator bool() const noexcept { return cell_ != nullptr; }

  // The address of the shared storage: what interning hashes and compares.
  const void* identity() const noexcept { return cell_; }
  bool same_as(const SharedArray& o) const noexcept { return cell_ == o.cell_; }
  uint64_t use_count() const noexcept { return cell_ ? cell_->header.strong.load(std::memory_order_relaxed) : 0; }

  // Adopts one strong reference already counted on c.
  static SharedArray adopt(Cell* c) noexcept { return SharedArray(c); }
  Cell* cell() const noexcept { return cell_; }

 private:
  explicit SharedArray(Cell* c) noexcept : cell_(c) {}
  Cell* cell_ = nullptr;
};

// A weak handle: keeps the storage, not the contents.
template <class T>
class WeakArray {
 public:
  using Cell = detail::ArrayCell<T>;
  WeakArray() noexcept = default;
  explicit WeakArray(const SharedArray<T>& s) noexcept : cell_(s.cell()) {
    if (cell_) detail::retain_weak(&cell_->header);
  }
  WeakArray(const WeakArray&) = delete;
  WeakArray& operator=(const WeakArray&) = delete;
  WeakArray(WeakArray&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
  WeakArray& operator=(WeakArray&& o) noexcept {
    if (this != &o) {
      reset();
      cell_ = std::exchange(o.cell_, nullptr);
    }
    return *this;
  }
  ~WeakArray() { reset(); }
  void reset() noexcept { detail::release_array_weak(std::exchange(cell_, nullptr)); }
  bool empty() const noexcept { return cell_ == nullptr; }

  // A strong handle when the array is still alive, else null.
  SharedArray<T> lock() const noexcept {
    if (cell_ && detail::try_upgrade(&cell_->header)) return SharedArray<T>::adopt(cell_);
    return {};
  }

 private:
  Cell* cell_ = nullptr;
};

}  // namespace tessolin::ir

// A stack that lives on the native stack until it outgrows a few entries, so
// the common shallow walks allocate nothing.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace tessolin::ir::detail {

template <class T, size_t N>
class SmallStack {
 public:
  void push(const T& v) {
    if (!spilled_) {
      if (size_ < N) {
        inline_[size_++] = v;
        return;
      }
      heap_.assign(inline_.begin(), inline_.end());
      spilled_ = true;
    }
    heap_.push_back(v);
  }
  T pop() {
    if (!spilled_) return inline_[--size_];
    T v = heap_.back();
    heap_.pop_back();
    return v;
  }
  bool empty() const noexcept { return spilled_ ? heap_.empty() : size_ == 0; }

 private:
  std::array<T, N> inline_{};
  std::vector<T> heap_;
  size_t size_ = 0;
  bool spilled_ = false;
};

}  // namespace tessolin::ir::detail

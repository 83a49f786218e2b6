// The hashes of the interning caches and internal hash maps.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessolin::ir {

// FxHash: state 0; each word added, then multiplied (wrapping); the finished
// hash is the state rotated left by 26.
class FxHasher {
 public:
  static constexpr uint64_t kMultiplier = 0xf1357aea2e62a9c5ULL;
  void add(uint64_t word) noexcept { state_ = (state_ + word) * kMultiplier; }
  uint64_t finish() const noexcept { return (state_ << 26) | (state_ >> 38); }
  uint64_t state() const noexcept { return state_; }

 private:
  uint64_t state_ = 0;
};

// One word from a byte string; fed to FxHasher for a field name.
uint64_t name_text_hash(std::string_view bytes) noexcept;

}  // namespace tessolin::ir

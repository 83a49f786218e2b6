// The declared names of a record, found by the bytes of a JSON key: an open
// addressing table over a hash of the key's length and its first and last
// eight bytes, then one comparison of the whole text. The predicted name
// (the one after the last key found, in the order documents wrote them) is
// tried first, which most keys of most documents hit. Immutable once built;
// any number of threads read it. Tested by tests/test_json_one_pass.py.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tessolin::check {

inline constexpr int32_t kNoName = -1;

class RecordKeyTable {
 public:
  RecordKeyTable() = default;
  // `names` must be distinct and outlive the table.
  explicit RecordKeyTable(std::vector<std::string_view> names);

  // Position of the name equal to `key`, or kNoName. O(1) expected.
  int32_t find(std::string_view key) const noexcept {
    if (names_.empty()) return kNoName;
    for (uint64_t slot = hash(key) & mask_;; slot = (slot + 1) & mask_) {
      const int32_t i = slots_[slot];
      if (i == kNoName) return kNoName;
      if (same_text(names_[static_cast<size_t>(i)], key)) return i;
    }
  }

  // Whether name `i` equals `key`: the cheap test of a prediction.
  bool is(int32_t i, std::string_view key) const noexcept {
    return static_cast<size_t>(i) < names_.size() && same_text(names_[static_cast<size_t>(i)], key);
  }

  size_t size() const noexcept { return names_.size(); }

  // Keys and names are short: after the size test, two overlapping word
  // loads from each end settle texts of 4 to 16 bytes without a call to
  // memcmp and without reading past either text.
  static bool same_text(std::string_view a, std::string_view b) noexcept {
    const size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    if (n >= 8) {
      if (n > 16) return std::memcmp(x, y, n) == 0;
      return load<uint64_t>(x) == load<uint64_t>(y) && load<uint64_t>(x + n - 8) == load<uint64_t>(y + n - 8);
    }
    if (n >= 4) return load<uint32_t>(x) == load<uint32_t>(y) && load<uint32_t>(x + n - 4) == load<uint32_t>(y + n - 4);
    for (size_t i = 0; i < n; ++i) {
      if (x[i] != y[i]) return false;
    }
    return true;
  }

 private:
  template <class Word>
  static Word load(const char* p) noexcept {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
  }

  // Length, first and last eight bytes (fewer for short keys), mixed by
  // one multiplication each.
  static uint64_t hash(std::string_view key) noexcept {
    constexpr uint64_t k = 0x9E3779B97F4A7C15ULL;
    const size_t n = key.size();
    uint64_t head = 0;
    uint64_t tail = 0;
    if (n >= 8) {
      head = load<uint64_t>(key.data());
      tail = load<uint64_t>(key.data() + n - 8);
    } else {
      std::memcpy(&head, key.data(), n);
    }
    uint64_t h = (static_cast<uint64_t>(n) + head) * k;
    h = (h ^ (h >> 29) ^ tail) * k;
    return h ^ (h >> 32);
  }

  std::vector<std::string_view> names_;
  std::vector<int32_t> slots_;
  uint64_t mask_ = 0;
};

}  // namespace tessolin::check

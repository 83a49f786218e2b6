// Shared immutable UTF-8 text: the name of a record field or object attribute.
#pragma once

#include <cstring>
#include <string_view>
#include <vector>

#include "ir/shared_array.hpp"

namespace tessolin::ir {

class Text {
 public:
  Text() noexcept = default;  // the empty name
  explicit Text(std::string_view s) {
    std::vector<char> bytes(s.begin(), s.end());
    bytes_ = SharedArray<char>::from_vector(std::move(bytes));
  }

  std::string_view view() const noexcept { return {bytes_.data(), bytes_.size()}; }
  size_t size() const noexcept { return bytes_.size(); }
  const void* identity() const noexcept { return bytes_.identity(); }

  // Same handle and length, or same length and bytes.
  friend bool operator==(const Text& a, const Text& b) noexcept {
    if (a.size() != b.size()) return false;
    if (a.bytes_.same_as(b.bytes_)) return true;
    return a.size() == 0 || std::memcmp(a.bytes_.data(), b.bytes_.data(), a.size()) == 0;
  }

 private:
  SharedArray<char> bytes_;
};

}  // namespace tessolin::ir

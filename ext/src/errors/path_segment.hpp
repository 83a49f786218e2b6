// One step of a violation's path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "ir/name_text.hpp"

namespace tessolin::py {

// Key: a str dict key, a record field or attribute name, or the rendered
// text of another dict key; shares the IR's name text without copying.
// Int: an int dict key within 64 bits. BigInt: a larger int key, as decimal
// digits. Index: a position in a list, tuple or JSON array.
class PathSegment {
 public:
  enum class Kind : uint8_t { Key = 0, Int = 1, BigInt = 2, Index = 3 };

  static PathSegment key(ir::Text text) noexcept { return PathSegment(std::in_place_index<0>, std::move(text)); }
  static PathSegment key(std::string_view text) { return PathSegment(std::in_place_index<0>, ir::Text(text)); }
  static PathSegment int_key(int64_t value) noexcept { return PathSegment(std::in_place_index<1>, value); }
  static PathSegment big_int_key(std::string decimal) noexcept {
    return PathSegment(std::in_place_index<2>, std::move(decimal));
  }
  static PathSegment index(uint64_t position) noexcept { return PathSegment(std::in_place_index<3>, position); }

  Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
  std::string_view key_text() const noexcept { return std::get<0>(value_).view(); }
  int64_t int_value() const noexcept { return std::get<1>(value_); }
  std::string_view big_int_text() const noexcept { return std::get<2>(value_); }
  uint64_t index_value() const noexcept { return std::get<3>(value_); }

 private:
  template <std::size_t I, class T>
  PathSegment(std::in_place_index_t<I> tag, T&& v) noexcept(std::is_nothrow_constructible_v<std::decay_t<T>, T&&>)
      : value_(tag, std::forward<T>(v)) {}

  std::variant<ir::Text, int64_t, std::string, uint64_t> value_;
};

}  // namespace tessolin::py

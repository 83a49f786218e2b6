#pragma once
// Immutable parsed JSON values, walked in place. A value is two words; the
// strings, items and members it names live in the arena of the
// JsonDocument that made it and die with it.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tessolin::json {

enum class JsonKind : std::uint8_t {
  Null,
  Bool,
  Int,     // fits in int64
  BigInt,  // integer beyond int64, kept as its decimal text
  Float,
  String,
  Array,
  Object,
};

struct JsonMember;

class JsonValue {
 public:
  constexpr JsonValue() noexcept : header_(static_cast<std::uint64_t>(JsonKind::Null)), word_{0} {}

  JsonKind kind() const noexcept { return static_cast<JsonKind>(header_ & 0xFF); }

  bool as_bool() const noexcept {
    assert(kind() == JsonKind::Bool);
    return word_.integer != 0;
  }
  std::int64_t as_int() const noexcept {
    assert(kind() == JsonKind::Int);
    return word_.integer;
  }
  double as_float() const noexcept {
    assert(kind() == JsonKind::Float);
    return word_.real;
  }
  // Optional '-', then decimal digits without leading zero; the value lies
  // outside int64.
  std::string_view big_int_text() const noexcept {
    assert(kind() == JsonKind::BigInt);
    return {word_.text, size()};
  }
  // Valid UTF-8, no surrogates.
  std::string_view as_string() const noexcept {
    assert(kind() == JsonKind::String);
    return {word_.text, size()};
  }
  // For a String: every byte is below 0x80.
  bool is_ascii() const noexcept { return (header_ & kAsciiBit) != 0; }

  std::span<const JsonValue> items() const noexcept {
    assert(kind() == JsonKind::Array);
    return {word_.items, size()};
  }
  // Keys are distinct, in order of first occurrence; a repeated key kept
  // the value of its last occurrence.
  inline std::span<const JsonMember> members() const noexcept;

  // Bytes of a String or BigInt, items of an Array, members of an Object.
  std::size_t size() const noexcept { return static_cast<std::size_t>(header_ >> kSizeShift); }

  static JsonValue null() noexcept { return JsonValue(); }
  static JsonValue boolean(bool v) noexcept { return scalar(JsonKind::Bool, v ? 1 : 0); }
  static JsonValue integer(std::int64_t v) noexcept { return scalar(JsonKind::Int, v); }
  static JsonValue real(double v) noexcept {
    JsonValue out(JsonKind::Float, 0);
    out.word_.real = v;
    return out;
  }
  // The views must outlive the value (arena storage).
  static JsonValue string(std::string_view utf8, bool ascii) noexcept {
    JsonValue out(JsonKind::String, utf8.size());
    if (ascii) out.header_ |= kAsciiBit;
    out.word_.text = utf8.data();
    return out;
  }
  static JsonValue big_int(std::string_view text) noexcept {
    JsonValue out(JsonKind::BigInt, text.size());
    out.word_.text = text.data();
    return out;
  }
  static JsonValue array(const JsonValue* items, std::size_t count) noexcept {
    JsonValue out(JsonKind::Array, count);
    out.word_.items = items;
    return out;
  }
  static JsonValue object(const JsonMember* members, std::size_t count) noexcept {
    JsonValue out(JsonKind::Object, count);
    out.word_.members = members;
    return out;
  }

 private:
  static constexpr std::uint64_t kAsciiBit = 0x100;
  static constexpr int kSizeShift = 16;

  JsonValue(JsonKind kind, std::size_t size) noexcept
      : header_(static_cast<std::uint64_t>(kind) | static_cast<std::uint64_t>(size) << kSizeShift), word_{0} {}
  static JsonValue scalar(JsonKind kind, std::int64_t v) noexcept {
    JsonValue out(kind, 0);
    out.word_.integer = v;
    return out;
  }

  std::uint64_t header_;  // kind | flags | size << 16
  union Word {
    std::int64_t integer;
    double real;
    const char* text;
    const JsonValue* items;
    const JsonMember* members;
  } word_;
};

struct JsonMember {
  JsonValue key;  // always a String
  JsonValue value;
};

static_assert(sizeof(JsonValue) == 16);
static_assert(sizeof(JsonMember) == 2 * sizeof(JsonValue));

inline std::span<const JsonMember> JsonValue::members() const noexcept {
  assert(kind() == JsonKind::Object);
  return {word_.members, size()};
}

}  // namespace tessolin::json

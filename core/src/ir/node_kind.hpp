// The node kinds of the schema IR and the flag enums of two of them.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessolin::ir {

// Tag order is the first key of the canonical node order.
enum class NodeKind : uint8_t {
  Anything = 0,
  Nothing = 1,
  None = 2,
  Bool = 3,
  Int = 4,  // admits bool values too
  Float = 5,
  Str = 6,
  Bytes = 7,
  Literal = 8,
  Sequence = 9,
  Collection = 10,
  Record = 11,
  Union = 12,
  Intersection = 13,
  Complement = 14,
  Instance = 15,
  Object = 16,
  Refinement = 17,
  Reference = 18,
  Placeholder = 19,
};

inline constexpr int kNodeKindCount = 20;

// Flag of a Sequence node.
enum class SequenceKind : uint8_t { List = 0, Tuple = 1 };
// Flag of a Collection node.
enum class CollectionKind : uint8_t { Set = 0, FrozenSet = 1 };

// Flag of an Anything node written as typing.Any; plain Anything has 0.
inline constexpr uint8_t kAnyFlag = 1;

inline constexpr uint8_t tag_of(NodeKind k) noexcept { return static_cast<uint8_t>(k); }

// The leaf kinds whose nodes carry nothing but their tag (and, for Anything,
// the flag).
inline constexpr bool is_plain_kind(NodeKind k) noexcept { return tag_of(k) <= tag_of(NodeKind::Bytes); }

// The kinds whose payload is one number (pool index, definition number or
// placeholder id).
inline constexpr bool is_numbered_kind(NodeKind k) noexcept {
  return k == NodeKind::Literal || k == NodeKind::Instance || k == NodeKind::Reference || k == NodeKind::Placeholder;
}

// Error code and display name of a kind by tag alone. Sequence and Collection
// answer for flag 0 (list, set); Refinement, whose texts are its base's,
// answers an empty text. kind_error_code / kind_display_name (node_walk.hpp)
// give the flag- and base-aware answers for a node.
std::string_view kind_tag_error_code(NodeKind kind) noexcept;
std::string_view kind_tag_display_name(NodeKind kind) noexcept;

}  // namespace tessolin::ir

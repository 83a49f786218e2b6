#pragma once
// Resolving repeated keys of a JSON object as a dict does: a key keeps the
// position of its first occurrence and the value of its last.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "json/json_value.hpp"

namespace tessolin::json {

// Seeded hash of key bytes; the seed is random per process so that crafted
// documents cannot force collisions.
std::uint64_t json_key_hash(std::string_view key) noexcept;

class DuplicateKeyMerger {
 public:
  // pairs[2i] is the key (a String) and pairs[2i+1] the value of member i.
  // Merges repeated keys in place and returns the number of pairs left.
  std::size_t merge(JsonValue* pairs, std::size_t count);

 private:
  std::size_t merge_small(JsonValue* pairs, std::size_t count) noexcept;
  std::size_t merge_hashed(JsonValue* pairs, std::size_t count);

  std::vector<std::size_t> slots_;  // open addressing; 0 is empty, else pair index + 1
};

}  // namespace tessolin::json

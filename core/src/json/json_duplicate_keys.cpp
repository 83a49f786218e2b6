#include "json/json_duplicate_keys.hpp"

#include <chrono>
#include <cstring>
#include <random>

namespace tessolin::json {
namespace {

// Below this many members a pairwise scan beats hashing.
constexpr std::size_t kHashFrom = 16;

std::uint64_t random_seed() noexcept {
  std::uint64_t seed = 0x9E3779B97F4A7C15ULL;
  try {
    std::random_device device;
    seed ^= static_cast<std::uint64_t>(device()) << 32 ^ device();
  } catch (...) {
    seed ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  return seed;
}

inline std::uint64_t mix(std::uint64_t x) noexcept {
  x ^= x >> 32;
  x *= 0xD6E8FEB86659FD93ULL;
  x ^= x >> 32;
  x *= 0xD6E8FEB86659FD93ULL;
  x ^= x >> 32;
  return x;
}

bool same_key(const JsonValue& a, const JsonValue& b) noexcept {
  const std::string_view x = a.as_string();
  const std::string_view y = b.as_string();
  return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size()) == 0);
}

}  // namespace

std::uint64_t json_key_hash(std::string_view key) noexcept {
  static const std::uint64_t seed = random_seed();
  std::uint64_t h = seed ^ (key.size() * 0x9E3779B97F4A7C15ULL);
  const char* p = key.data();
  std::size_t n = key.size();
  while (n >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    h = mix(h ^ w);
    p += 8;
    n -= 8;
  }
  std::uint64_t tail = 0;
  if (n != 0) std::memcpy(&tail, p, n);
  return mix(h ^ tail ^ (static_cast<std::uint64_t>(n) << 59));
}

std::size_t DuplicateKeyMerger::merge(JsonValue* pairs, std::size_t count) {
  if (count < 2) return count;
  return count < kHashFrom ? merge_small(pairs, count) : merge_hashed(pairs, count);
}

std::size_t DuplicateKeyMerger::merge_small(JsonValue* pairs, std::size_t count) noexcept {
  std::size_t kept = 1;
  for (std::size_t i = 1; i < count; ++i) {
    const JsonValue& key = pairs[2 * i];
    std::size_t j = 0;
    while (j < kept && !same_key(pairs[2 * j], key)) ++j;
    if (j < kept) {
      pairs[2 * j + 1] = pairs[2 * i + 1];
    } else {
      pairs[2 * kept] = key;
      pairs[2 * kept + 1] = pairs[2 * i + 1];
      ++kept;
    }
  }
  return kept;
}

std::size_t DuplicateKeyMerger::merge_hashed(JsonValue* pairs, std::size_t count) {
  std::size_t capacity = 32;
  while (capacity < 2 * count) capacity *= 2;
  slots_.assign(capacity, 0);
  const std::size_t mask = capacity - 1;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const JsonValue key = pairs[2 * i];
    std::size_t slot = static_cast<std::size_t>(json_key_hash(key.as_string())) & mask;
    for (;;) {
      const std::size_t entry = slots_[slot];
      if (entry == 0) {
        slots_[slot] = kept + 1;
        pairs[2 * kept] = key;
        pairs[2 * kept + 1] = pairs[2 * i + 1];
        ++kept;
        break;
      }
      if (same_key(pairs[2 * (entry - 1)], key)) {
        pairs[2 * (entry - 1) + 1] = pairs[2 * i + 1];
        break;
      }
      slot = (slot + 1) & mask;
    }
  }
  return kept;
}

}  // namespace tessolin::json

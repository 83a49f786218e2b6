#include "ir/fx_hash.hpp"

#include <cstring>

namespace tessolin::ir {

namespace {

uint64_t read_u64(const unsigned char* p) noexcept {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

uint64_t read_u32(const unsigned char* p) noexcept {
  uint64_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

__extension__ typedef unsigned __int128 Wide;

uint64_t mix(uint64_t x, uint64_t y) noexcept {
  Wide r = static_cast<Wide>(x) * y;
  return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
}

}  // namespace

uint64_t name_text_hash(std::string_view bytes) noexcept {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const uint64_t n = bytes.size();
  uint64_t s0 = 0x243f6a8885a308d3ULL;
  uint64_t s1 = 0x13198a2e03707344ULL;
  if (n <= 16) {
    if (n >= 8) {
      s0 ^= read_u64(b);
      s1 ^= read_u64(b + n - 8);
    } else if (n >= 4) {
      s0 ^= read_u32(b);
      s1 ^= read_u32(b + n - 4);
    } else if (n >= 1) {
      s0 ^= b[0];
      s1 ^= (static_cast<uint64_t>(b[n - 1]) << 8) | b[n / 2];
    }
  } else {
    for (uint64_t off = 0; off < n - 16; off += 16) {
      uint64_t x = read_u64(b + off);
      uint64_t y = read_u64(b + off + 8);
      uint64_t t = mix(s0 ^ x, 0xa4093822299f31d0ULL ^ y);
      s0 = s1;
      s1 = t;
    }
    s0 ^= read_u64(b + n - 16);
    s1 ^= read_u64(b + n - 8);
  }
  return mix(s0, s1) ^ n;
}

}  // namespace tessolin::ir

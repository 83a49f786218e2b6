// SipHash-1-3 over a byte stream, keys given (the validator hash uses zero
// keys). Words are fed little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessolin::py {

class SipHasher13 {
 public:
  explicit SipHasher13(uint64_t k0 = 0, uint64_t k1 = 0) noexcept
      : v0_(k0 ^ 0x736f6d6570736575ULL),
        v1_(k1 ^ 0x646f72616e646f6dULL),
        v2_(k0 ^ 0x6c7967656e657261ULL),
        v3_(k1 ^ 0x7465646279746573ULL) {}

  void write_byte(uint8_t b) noexcept {
    tail_ |= static_cast<uint64_t>(b) << (8 * tail_len_);
    ++length_;
    if (++tail_len_ == 8) {
      compress_block(tail_);
      tail_ = 0;
      tail_len_ = 0;
    }
  }
  void write_bytes(std::string_view bytes) noexcept {
    for (char c : bytes) write_byte(static_cast<uint8_t>(c));
  }
  void write_word(uint64_t w) noexcept {
    for (int i = 0; i < 8; ++i) write_byte(static_cast<uint8_t>(w >> (8 * i)));
  }

  uint64_t finish() const noexcept {
    uint64_t v0 = v0_, v1 = v1_, v2 = v2_, v3 = v3_;
    uint64_t b = (static_cast<uint64_t>(length_) << 56) | tail_;
    v3 ^= b;
    round(v0, v1, v2, v3);
    v0 ^= b;
    v2 ^= 0xff;
    round(v0, v1, v2, v3);
    round(v0, v1, v2, v3);
    round(v0, v1, v2, v3);
    return v0 ^ v1 ^ v2 ^ v3;
  }

 private:
  static uint64_t rotl(uint64_t x, int b) noexcept { return (x << b) | (x >> (64 - b)); }
  static void round(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3) noexcept {
    v0 += v1;
    v1 = rotl(v1, 13);
    v1 ^= v0;
    v0 = rotl(v0, 32);
    v2 += v3;
    v3 = rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = rotl(v1, 17);
    v1 ^= v2;
    v2 = rotl(v2, 32);
  }
  void compress_block(uint64_t m) noexcept {
    v3_ ^= m;
    round(v0_, v1_, v2_, v3_);
    v0_ ^= m;
  }

  uint64_t v0_, v1_, v2_, v3_;
  uint64_t tail_ = 0;
  unsigned tail_len_ = 0;
  uint64_t length_ = 0;
};

}  // namespace tessolin::py

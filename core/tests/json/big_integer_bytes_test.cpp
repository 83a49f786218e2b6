#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "json/big_integer_bytes.hpp"

using tessolin::json::decimal_digits_to_limbs;
using tessolin::json::decimal_text_to_le_bytes;

namespace {

__extension__ typedef __int128 int128;
__extension__ typedef unsigned __int128 uint128;

std::string to_decimal(uint128 v) {
  if (v == 0) return "0";
  std::string s;
  while (v) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  return s;
}

// Back from limbs to decimal by long division, to check big values.
std::string limbs_to_decimal(std::vector<std::uint64_t> limbs) {
  std::string out;
  while (!limbs.empty()) {
    uint128 rem = 0;
    for (std::size_t i = limbs.size(); i-- > 0;) {
      const uint128 cur = rem << 64 | limbs[i];
      limbs[i] = static_cast<std::uint64_t>(cur / 10);
      rem = cur % 10;
    }
    out.insert(out.begin(), static_cast<char>('0' + static_cast<int>(rem)));
    while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
  }
  return out.empty() ? "0" : out;
}

// Values that fit in 128 bits: the low 16 bytes carry them, shorter
// buffers are sign-extended.
int128 read_le_signed(const std::vector<unsigned char>& bytes) {
  const std::size_t n = bytes.size() < 16 ? bytes.size() : 16;
  uint128 v = 0;
  for (std::size_t i = n; i-- > 0;) v = v << 8 | bytes[i];
  if (n < 16 && n > 0 && (bytes[n - 1] & 0x80)) v -= static_cast<uint128>(1) << (8 * n);
  return static_cast<int128>(v);
}

TEST(BigIntegerBytes, LimbsMatchNativeArithmetic) {
  std::mt19937_64 rng(3);
  for (int i = 0; i < 5000; ++i) {
    const uint128 v = (static_cast<uint128>(rng()) << 64 | rng()) >> (rng() % 128);
    std::vector<std::uint64_t> limbs;
    decimal_digits_to_limbs(to_decimal(v), limbs);
    uint128 back = 0;
    ASSERT_LE(limbs.size(), 2u);
    for (std::size_t k = limbs.size(); k-- > 0;) back = back << 64 | limbs[k];
    ASSERT_EQ(back, v);
    if (!limbs.empty()) {
      EXPECT_NE(limbs.back(), 0u) << "no high zero limb";
    }
  }
  std::vector<std::uint64_t> limbs;
  decimal_digits_to_limbs("0", limbs);
  EXPECT_TRUE(limbs.empty());
  decimal_digits_to_limbs("18446744073709551616", limbs);
  EXPECT_EQ(limbs, (std::vector<std::uint64_t>{0, 1}));
}

TEST(BigIntegerBytes, LongDigitRunsRoundTrip) {
  std::mt19937 rng(11);
  for (std::size_t length : {1u, 17u, 18u, 19u, 36u, 37u, 100u, 4300u}) {
    std::string digits(1, static_cast<char>('1' + rng() % 9));
    while (digits.size() < length) digits += static_cast<char>('0' + rng() % 10);
    std::vector<std::uint64_t> limbs;
    decimal_digits_to_limbs(digits, limbs);
    EXPECT_EQ(limbs_to_decimal(limbs), digits);
  }
}

TEST(BigIntegerBytes, TwosComplementLittleEndian) {
  EXPECT_EQ(read_le_signed([] {
              std::vector<unsigned char> b;
              decimal_text_to_le_bytes("0", b);
              return b;
            }()),
            0);
  std::mt19937_64 rng(5);
  for (int i = 0; i < 5000; ++i) {
    const uint128 magnitude = (static_cast<uint128>(rng() >> 1) << 64 | rng()) >> (rng() % 127);
    const bool negative = rng() % 2;
    const std::string text = (negative ? "-" : "") + to_decimal(magnitude);
    std::vector<unsigned char> bytes;
    decimal_text_to_le_bytes(text, bytes);
    ASSERT_LE(bytes.size(), 17u) << text;
    const int128 expected = negative ? -static_cast<int128>(magnitude) : static_cast<int128>(magnitude);
    ASSERT_TRUE(read_le_signed(bytes) == expected) << text;
  }
  // Edges of the sign bit.
  for (const char* text : {"127", "128", "255", "256", "-1", "-128", "-129", "-256", "-0", "9223372036854775808",
                           "-9223372036854775809", "-18446744073709551616"}) {
    std::vector<unsigned char> bytes;
    decimal_text_to_le_bytes(text, bytes);
    const std::string t = text;
    const bool negative = t[0] == '-';
    uint128 m = 0;
    for (char c : t.substr(negative ? 1 : 0)) m = m * 10 + static_cast<uint128>(c - '0');
    EXPECT_TRUE(read_le_signed(bytes) == (negative ? -static_cast<int128>(m) : static_cast<int128>(m))) << text;
  }
}

}  // namespace

#include "json/big_integer_bytes.hpp"

#include <cstddef>

namespace tessolin::json {
namespace {

__extension__ typedef unsigned __int128 uint128;

constexpr int kChunkDigits = 18;
constexpr std::uint64_t kChunkBase = 1'000'000'000'000'000'000ULL;  // 10^18

std::uint64_t parse_chunk(const char* p, std::size_t n) noexcept {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = v * 10 + static_cast<std::uint64_t>(p[i] - '0');
  return v;
}

// limbs = limbs * multiplier + addend.
void multiply_add(std::vector<std::uint64_t>& limbs, std::uint64_t multiplier, std::uint64_t addend) {
  uint128 carry = addend;
  for (auto& limb : limbs) {
    const uint128 t = static_cast<uint128>(limb) * multiplier + carry;
    limb = static_cast<std::uint64_t>(t);
    carry = t >> 64;
  }
  if (carry != 0) limbs.push_back(static_cast<std::uint64_t>(carry));
}

}  // namespace

void decimal_digits_to_limbs(std::string_view digits, std::vector<std::uint64_t>& limbs) {
  limbs.clear();
  // Each 10^18 chunk adds just under 60 bits.
  limbs.reserve(digits.size() / 19 + 1);
  std::size_t first = digits.size() % kChunkDigits;
  if (first == 0 && !digits.empty()) first = kChunkDigits;
  std::size_t pos = 0;
  if (first != 0) {
    const std::uint64_t head = parse_chunk(digits.data(), first);
    if (head != 0) limbs.push_back(head);
    pos = first;
  }
  for (; pos < digits.size(); pos += kChunkDigits)
    multiply_add(limbs, kChunkBase, parse_chunk(digits.data() + pos, kChunkDigits));
}

void decimal_text_to_le_bytes(std::string_view text, std::vector<unsigned char>& bytes) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  std::vector<std::uint64_t> limbs;
  decimal_digits_to_limbs(text, limbs);
  bytes.clear();
  bytes.reserve(limbs.size() * 8 + 1);
  for (std::uint64_t limb : limbs)
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<unsigned char>(limb >> (8 * i)));
  while (!bytes.empty() && bytes.back() == 0) bytes.pop_back();
  // One spare byte always leaves room for the sign bit of either sign.
  bytes.push_back(0);
  if (negative) {
    unsigned carry = 1;
    for (auto& b : bytes) {
      const unsigned v = static_cast<unsigned char>(~b) + carry;
      b = static_cast<unsigned char>(v);
      carry = v >> 8;
    }
  }
}

}  // namespace tessolin::json

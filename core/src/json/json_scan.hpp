#pragma once
// Byte-level scanning loops of the JSON parser: the hot paths.

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(TESSOLIN_JSON_PORTABLE_SCAN)
#include <emmintrin.h>
#endif

namespace tessolin::json::scan {

inline bool is_blank(unsigned char c) noexcept {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// First byte at or after p that is not JSON whitespace.
inline const char* skip_blank(const char* p, const char* end) noexcept {
  // Most tokens follow their predecessor directly or after one space.
  if (p != end && static_cast<unsigned char>(*p) > ' ') return p;
  while (p != end && is_blank(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// Bytes that end the plain run of a string: '"', '\\', controls and every
// byte of a multi-byte UTF-8 sequence (checked separately).
inline bool ends_string_run(unsigned char c) noexcept {
  return c == '"' || c == '\\' || c < 0x20 || c >= 0x80;
}

// First byte at or after p for which ends_string_run holds, or end.
// SSE2 where available; TESSOLIN_JSON_PORTABLE_SCAN forces the
// word-at-a-time loop that other targets use, so it can be tested here.
inline const char* find_string_special(const char* p, const char* end) noexcept {
#if defined(__SSE2__) && !defined(TESSOLIN_JSON_PORTABLE_SCAN)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i space = _mm_set1_epi8(0x20);
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Signed compare: bytes >= 0x80 are negative, so one test catches both
    // controls and non-ASCII.
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                                     _mm_cmplt_epi8(v, space));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#else
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t highs = 0x8080808080808080ULL;
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t q = w ^ (ones * '"');
    const std::uint64_t b = w ^ (ones * '\\');
    // A byte is flagged when it is zero in q or b, below 0x20, or >= 0x80.
    const std::uint64_t hit = ((q - ones) & ~q) | ((b - ones) & ~b) | (w - ones * 0x20) | w;
    const std::uint64_t flagged = hit & highs;
    if (flagged != 0) {
      // The borrow trick may flag bytes after the first real hit, never before.
      for (int i = 0; i < 8; ++i)
        if (ends_string_run(static_cast<unsigned char>(p[i]))) return p + i;
    }
    p += 8;
  }
#endif
  while (p != end && !ends_string_run(static_cast<unsigned char>(*p))) ++p;
  return p;
}

enum class Utf8Check : std::uint8_t { Valid, Invalid, Truncated };

// Checks one multi-byte UTF-8 sequence whose lead byte is at p (>= 0x80).
// Refuses overlongs, surrogates and code points above U+10FFFF.
// On Valid, `length` is the sequence length.
inline Utf8Check check_utf8_sequence(const char* p, const char* end, int& length) noexcept {
  const auto lead = static_cast<unsigned char>(p[0]);
  unsigned char lo = 0x80, hi = 0xBF;
  int n;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) lo = 0xA0;       // overlong
    else if (lead == 0xED) hi = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) lo = 0x90;       // overlong
    else if (lead == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return Utf8Check::Invalid;
  }
  for (int i = 1; i < n; ++i) {
    if (p + i == end) return Utf8Check::Truncated;
    const auto c = static_cast<unsigned char>(p[i]);
    if (i == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) return Utf8Check::Invalid;
  }
  length = n;
  return Utf8Check::Valid;
}

// End of the run of complete, valid multi-byte UTF-8 sequences at p: p
// itself when the first one is not (check_utf8_sequence then says why).
inline const char* skip_utf8(const char* p, const char* end) noexcept {
  while (p != end && static_cast<unsigned char>(*p) >= 0x80) {
    int length = 0;
    if (check_utf8_sequence(p, end, length) != Utf8Check::Valid) break;
    p += length;
  }
  return p;
}

// Value of a hex digit, or -1.
inline int hex_value(unsigned char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  c |= 0x20;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Appends the UTF-8 encoding of a scalar value (never a surrogate) to out.
inline int encode_utf8(std::uint32_t cp, char* out) noexcept {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

}  // namespace tessolin::json::scan

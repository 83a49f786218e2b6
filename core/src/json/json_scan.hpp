#pragma once
// Byte-level scanning loops of the JSON parser: the hot paths.
//
// The loops over string bodies and blank runs each come in three
// versions: portable (words or bytes at a time; what other CPUs run), SSE2
// (16 bytes at a time; every x86-64 has it) and AVX2 (32 bytes at a time).
// The level is chosen once, when the library loads, as the best this CPU
// runs; the environment variable TESSOLIN_SIMD (portable, sse2 or avx2)
// lowers it, and set_scan_level switches it, so that tests run each
// version on any x86-64. Every version gives the same answers. Tested by
// core/tests/json/json_scan_test.cpp and tests/test_json_scan_levels.py.

#include <atomic>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define TESSOLIN_JSON_X86_SCAN 1
#endif

namespace tessolin::json::scan {

enum class ScanLevel : std::uint8_t { Portable = 0, Sse2 = 1, Avx2 = 2 };

// The best level this CPU runs.
ScanLevel best_scan_level() noexcept;

namespace detail {
extern std::atomic<ScanLevel> g_scan_level;
}  // namespace detail

// The level in use.
inline ScanLevel scan_level() noexcept { return detail::g_scan_level.load(std::memory_order_relaxed); }

// Uses `level`, or the best level when the CPU lacks it; returns the level
// in use. For tests: the parser may be running on other threads, which
// then finish with either level (both give the same answers).
ScanLevel set_scan_level(ScanLevel level) noexcept;

inline bool is_blank(unsigned char c) noexcept { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Bytes that end the plain run of a string: '"', '\\', controls and every
// byte of a multi-byte UTF-8 sequence (checked separately).
inline bool ends_string_run(unsigned char c) noexcept { return c == '"' || c == '\\' || c < 0x20 || c >= 0x80; }

// ---- portable: any CPU

inline const char* find_string_special_portable(const char* p, const char* end) noexcept {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t highs = 0x8080808080808080ULL;
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t q = w ^ (ones * '"');
    const std::uint64_t b = w ^ (ones * '\\');
    // A byte is flagged when it is zero in q or b, below 0x20, or >= 0x80.
    const std::uint64_t hit = ((q - ones) & ~q) | ((b - ones) & ~b) | (w - ones * 0x20) | w;
    if ((hit & highs) != 0) {
      // The borrow trick may flag bytes after the first real hit, never before.
      for (int i = 0; i < 8; ++i)
        if (ends_string_run(static_cast<unsigned char>(p[i]))) return p + i;
    }
    p += 8;
  }
  while (p != end && !ends_string_run(static_cast<unsigned char>(*p))) ++p;
  return p;
}

inline const char* skip_blank_run_portable(const char* p, const char* end) noexcept {
  while (p != end && is_blank(static_cast<unsigned char>(*p))) ++p;
  return p;
}

#if TESSOLIN_JSON_X86_SCAN

// ---- SSE2: every x86-64, inlined

// Bit i set when byte i of the 16 at p ends a string's plain run.
inline unsigned string_special_mask_sse2(const char* p) noexcept {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Signed compare: bytes >= 0x80 are negative, so one test catches both
  // controls and non-ASCII.
  const __m128i hit =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))),
                   _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
  return static_cast<unsigned>(_mm_movemask_epi8(hit));
}

inline const char* find_string_special_sse2(const char* p, const char* end) noexcept {
  while (end - p >= 16) {
    if (const unsigned mask = string_special_mask_sse2(p)) return p + __builtin_ctz(mask);
    p += 16;
  }
  while (p != end && !ends_string_run(static_cast<unsigned char>(*p))) ++p;
  return p;
}

inline const char* skip_blank_run_sse2(const char* p, const char* end) noexcept {
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i blank =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))));
    const unsigned other = ~static_cast<unsigned>(_mm_movemask_epi8(blank)) & 0xFFFFu;
    if (other != 0) return p + __builtin_ctz(other);
    p += 16;
  }
  return skip_blank_run_portable(p, end);
}

// ---- AVX2: out of line (json_scan_avx2.cpp), called where runs are long

const char* find_string_special_avx2(const char* p, const char* end) noexcept;
const char* skip_blank_run_avx2(const char* p, const char* end) noexcept;
const char* skip_utf8_avx2(const char* p, const char* end) noexcept;

#endif

// ---- the loops the parser calls: a small inlined first step, the rest
// out of line (json_scan.cpp), so the callers' loops stay tight

// The rest of find_string_special at the level in use.
const char* find_string_special_rest(const char* p, const char* end) noexcept;
// The rest of skip_blank: p is at a blank.
const char* skip_blank_rest(const char* p, const char* end) noexcept;

// First byte at or after p for which ends_string_run holds, or end.
[[gnu::always_inline]] inline const char* find_string_special(const char* p, const char* end) noexcept {
#if TESSOLIN_JSON_X86_SCAN
  // Most strings end within 16 bytes: those cost no call.
  if (end - p >= 16 && scan_level() != ScanLevel::Portable) {
    if (const unsigned mask = string_special_mask_sse2(p)) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  return find_string_special_rest(p, end);
}

// First byte at or after p that is not JSON whitespace.
[[gnu::always_inline]] inline const char* skip_blank(const char* p, const char* end) noexcept {
  // Most tokens follow their predecessor directly; one test settles that
  // (blanks and controls are the bytes up to ' ').
  if (p == end || static_cast<unsigned char>(*p) > ' ') return p;
  return skip_blank_rest(p, end);
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
    if (lead == 0xE0)
      lo = 0xA0;  // overlong
    else if (lead == 0xED)
      hi = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0)
      lo = 0x90;  // overlong
    else if (lead == 0xF4)
      hi = 0x8F;  // above U+10FFFF
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

inline const char* skip_utf8_portable(const char* p, const char* end) noexcept {
  while (p != end && static_cast<unsigned char>(*p) >= 0x80) {
    int length = 0;
    if (check_utf8_sequence(p, end, length) != Utf8Check::Valid) break;
    p += length;
  }
  return p;
}

// End of the run of complete, valid multi-byte UTF-8 sequences at p (p at
// a byte >= 0x80): p itself when the first one is not (check_utf8_sequence
// then says why). The AVX2 version also takes the ASCII between sequences,
// up to the next byte that ends a string's plain run; callers continue
// from the end either way.
inline const char* skip_utf8(const char* p, const char* end) noexcept {
#if TESSOLIN_JSON_X86_SCAN
  if (scan_level() == ScanLevel::Avx2 && end - p >= 64) {
    const char* q = skip_utf8_avx2(p, end);
    if (q != p) return q;
  }
#endif
  return skip_utf8_portable(p, end);
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

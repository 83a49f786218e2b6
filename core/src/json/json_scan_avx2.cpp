// The AVX2 versions of the scanning loops (json_scan.hpp), 32 bytes at a
// time. Compiled for AVX2 function by function, so the library still loads
// and runs on any x86-64; they are called only when the CPU has AVX2.
#include "json/json_scan.hpp"

#if TESSOLIN_JSON_X86_SCAN

#include <immintrin.h>

#define TESSOLIN_AVX2 __attribute__((target("avx2")))

namespace tessolin::json::scan {

namespace {

TESSOLIN_AVX2 inline __m256i load32(const char* p) noexcept {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Bytes that end a string's plain run, ASCII ones only: '"', '\\' and
// controls (unsigned <= 0x1F).
TESSOLIN_AVX2 inline __m256i ascii_specials(__m256i v) noexcept {
  const __m256i controls = _mm256_cmpeq_epi8(_mm256_max_epu8(v, _mm256_set1_epi8(0x1F)), _mm256_set1_epi8(0x1F));
  return _mm256_or_si256(
      _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('"')), _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\\'))),
      controls);
}

// ---- UTF-8 validity of a block given the block before it, by three
// nibble lookups (Keiser and Lemire, "Validating UTF-8 in less than one
// instruction per byte"). Each bit names one way a pair of bytes breaks
// the encoding; a byte pair is bad when all three lookups agree on a bit.

constexpr std::uint8_t kTooShort = 1 << 0;      // lead then no continuation
constexpr std::uint8_t kTooLong = 1 << 1;       // ASCII then continuation
constexpr std::uint8_t kOverlong3 = 1 << 2;     // E0 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;      // F4 90.., F5..
constexpr std::uint8_t kSurrogate = 1 << 4;     // ED A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5;     // C0, C1
constexpr std::uint8_t kTooLarge1000 = 1 << 6;  // F5.. 80..8F
constexpr std::uint8_t kOverlong4 = 1 << 6;     // F0 80..8F
constexpr std::uint8_t kTwoConts = 1 << 7;      // continuation then continuation
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

TESSOLIN_AVX2 inline __m256i table16(std::uint8_t t0, std::uint8_t t1, std::uint8_t t2, std::uint8_t t3,
                                     std::uint8_t t4, std::uint8_t t5, std::uint8_t t6, std::uint8_t t7,
                                     std::uint8_t t8, std::uint8_t t9, std::uint8_t t10, std::uint8_t t11,
                                     std::uint8_t t12, std::uint8_t t13, std::uint8_t t14, std::uint8_t t15) noexcept {
  return _mm256_setr_epi8(static_cast<char>(t0), static_cast<char>(t1), static_cast<char>(t2), static_cast<char>(t3),
                          static_cast<char>(t4), static_cast<char>(t5), static_cast<char>(t6), static_cast<char>(t7),
                          static_cast<char>(t8), static_cast<char>(t9), static_cast<char>(t10), static_cast<char>(t11),
                          static_cast<char>(t12), static_cast<char>(t13), static_cast<char>(t14),
                          static_cast<char>(t15), static_cast<char>(t0), static_cast<char>(t1), static_cast<char>(t2),
                          static_cast<char>(t3), static_cast<char>(t4), static_cast<char>(t5), static_cast<char>(t6),
                          static_cast<char>(t7), static_cast<char>(t8), static_cast<char>(t9), static_cast<char>(t10),
                          static_cast<char>(t11), static_cast<char>(t12), static_cast<char>(t13),
                          static_cast<char>(t14), static_cast<char>(t15));
}

TESSOLIN_AVX2 inline __m256i high_nibbles(__m256i v) noexcept {
  return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

// The block shifted by n bytes, the last n of `before` coming in first.
template <int N>
TESSOLIN_AVX2 inline __m256i previous(__m256i input, __m256i before) noexcept {
  return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(before, input, 0x21), 16 - N);
}

// Non-zero bytes where the block (after `before`) is not valid UTF-8.
TESSOLIN_AVX2 inline __m256i utf8_errors(__m256i input, __m256i before) noexcept {
  const __m256i prev1 = previous<1>(input, before);
  const __m256i byte_1_high = _mm256_shuffle_epi8(
      table16(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts, kTwoConts,
              kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
              kTooShort | kTooLarge | kTooLarge1000 | kOverlong4),
      high_nibbles(prev1));
  constexpr std::uint8_t kLarge = kCarry | kTooLarge | kTooLarge1000;
  const __m256i byte_1_low = _mm256_shuffle_epi8(
      table16(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry, kCarry | kTooLarge,
              kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge | kSurrogate, kLarge, kLarge),
      _mm256_and_si256(prev1, _mm256_set1_epi8(0x0F)));
  constexpr std::uint8_t kCont = kTooLong | kOverlong2 | kTwoConts;
  const __m256i byte_2_high =
      _mm256_shuffle_epi8(table16(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                                  kTooShort, kCont | kOverlong3 | kTooLarge1000 | kOverlong4,
                                  kCont | kOverlong3 | kTooLarge, kCont | kSurrogate | kTooLarge,
                                  kCont | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort, kTooShort),
                          high_nibbles(input));
  const __m256i special = _mm256_and_si256(_mm256_and_si256(byte_1_high, byte_1_low), byte_2_high);
  // The third and fourth bytes of three- and four-byte sequences must be
  // continuations; the pair lookups only see the second.
  const __m256i third = _mm256_subs_epu8(previous<2>(input, before), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
  const __m256i fourth = _mm256_subs_epu8(previous<3>(input, before), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
  const __m256i must_continue =
      _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
  return _mm256_xor_si256(must_continue, special);
}

// Non-zero when the block ends inside a sequence.
TESSOLIN_AVX2 inline __m256i ends_inside_sequence(__m256i input) noexcept {
  const __m256i max = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                                       static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
  return _mm256_subs_epu8(input, max);
}

TESSOLIN_AVX2 inline bool any(__m256i v) noexcept { return !_mm256_testz_si256(v, v); }

}  // namespace

TESSOLIN_AVX2 const char* find_string_special_avx2(const char* p, const char* end) noexcept {
  while (end - p >= 32) {
    const __m256i v = load32(p);
    // Signed compare: bytes >= 0x80 are negative, so one test catches both
    // controls and non-ASCII.
    const __m256i hit = _mm256_or_si256(ascii_specials(v), _mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), v));
    if (const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hit))) return p + __builtin_ctz(mask);
    p += 32;
  }
  return find_string_special_sse2(p, end);
}

TESSOLIN_AVX2 const char* skip_blank_run_avx2(const char* p, const char* end) noexcept {
  while (end - p >= 32) {
    const __m256i v = load32(p);
    const __m256i blank = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')), _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))),
        _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r')), _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\t'))));
    const unsigned other = ~static_cast<unsigned>(_mm256_movemask_epi8(blank));
    if (other != 0) return p + __builtin_ctz(other);
    p += 32;
  }
  return skip_blank_run_sse2(p, end);
}

// Whole blocks without '"', '\\' or controls, while they are valid UTF-8;
// the end returned is the end of the last such block that closes its last
// sequence (p when there is none), so everything before it is valid.
TESSOLIN_AVX2 const char* skip_utf8_avx2(const char* p, const char* end) noexcept {
  const char* good = p;
  __m256i before = _mm256_setzero_si256();  // p starts a sequence
  __m256i open = _mm256_setzero_si256();
  while (end - p >= 32) {
    const __m256i v = load32(p);
    if (any(ascii_specials(v))) break;
    const __m256i errors = _mm256_movemask_epi8(v) == 0 ? open : utf8_errors(v, before);
    if (any(errors)) break;
    open = ends_inside_sequence(v);
    before = v;
    p += 32;
    if (!any(open)) good = p;
  }
  return good;
}

}  // namespace tessolin::json::scan

#endif

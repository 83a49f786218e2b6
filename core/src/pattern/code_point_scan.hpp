// Run scanner for DFA states that loop to themselves through whole UTF-8
// sequences (the body of `[\u0370-\u03ff]+`, `\p{L}+`, `\w+`): 16 bytes at a
// time, UTF-8 structure checked with masks, bytes in a few ranges accepted
// wholesale, each other sequence with one table lookup, so no dependent chain
// of transitions runs through the text.
//
// The masks come from SSE2 where the CPU has it and from a portable version
// elsewhere; TESSOLIN_SIMD=portable (read when the library loads) or
// force_portable_code_point_scan selects the portable one on any CPU, so
// tests run both (core/tests/pattern/code_point_scan_test.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pattern/dfa.hpp"

namespace tessolin::pattern {

// Which sequences of at most three bytes lead a state back to itself.
// Bytes below E0 index a row of the next byte (ASCII rows are all ones or
// zero); E0-EF with the second byte's low six bits index a row of the third
// byte; a row bit is the low six bits of the byte it tests. Bytes in a range
// (ASCII that loops, leads whose every continuation loops) need no lookup.
struct CodePointLoop {
  static constexpr uint32_t kRows = 256 + 16 * 64;
  static constexpr int kRanges = 6;
  std::vector<uint64_t> rows;  // kRows
  // Each byte repeated 16 times, ready to load as a vector.
  alignas(16) uint8_t range_lo[kRanges][16];
  alignas(16) uint8_t range_span[kRanges][16];  // hi - lo
};

// The loop of `state` in `dfa`, or false when no multi-byte sequence returns
// to it (the byte scanner is then enough).
bool build_code_point_loop(const Dfa& dfa, uint32_t state, CodePointLoop& out);

namespace code_point_scan_detail {

struct ChunkMasks {
  uint32_t cont;   // 32 bits: 10xxxxxx
  uint32_t other;  // 16 bits below: neither a continuation nor in a range
  uint32_t lead;   // >= 0xC0
  uint32_t lead3;  // >= 0xE0
  uint32_t lead4;  // >= 0xF0
};

// Reads p[0, 32). Both versions give the same masks; the portable one is
// what CPUs without SSE2 run, and tests force it on any CPU.
inline ChunkMasks chunk_masks_portable(const uint8_t* p, const CodePointLoop& loop) {
  ChunkMasks m{0, 0, 0, 0, 0};
  for (int i = 0; i < 32; ++i) m.cont |= uint32_t((p[i] & 0xC0) == 0x80) << i;
  for (int i = 0; i < 16; ++i) {
    bool in_range = (p[i] & 0xC0) == 0x80;
    for (int r = 0; r < CodePointLoop::kRanges; ++r)
      in_range = in_range || uint8_t(p[i] - loop.range_lo[r][0]) <= loop.range_span[r][0];
    m.other |= uint32_t(!in_range) << i;
    m.lead |= uint32_t(p[i] >= 0xC0) << i;
    m.lead3 |= uint32_t(p[i] >= 0xE0) << i;
    m.lead4 |= uint32_t(p[i] >= 0xF0) << i;
  }
  return m;
}

#if defined(__SSE2__)
inline ChunkMasks chunk_masks_sse2(const uint8_t* p, const CodePointLoop& loop) {
  ChunkMasks m;
  __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const __m128i top2 = _mm_set1_epi8(char(0xC0));
  const __m128i cont = _mm_set1_epi8(char(0x80));
  __m128i cont_a = _mm_cmpeq_epi8(_mm_and_si128(a, top2), cont);
  __m128i cont_b = _mm_cmpeq_epi8(_mm_and_si128(b, top2), cont);
  __m128i free = cont_a;
  for (int r = 0; r < CodePointLoop::kRanges; ++r) {
    __m128i d = _mm_sub_epi8(a, _mm_load_si128(reinterpret_cast<const __m128i*>(loop.range_lo[r])));
    __m128i span = _mm_load_si128(reinterpret_cast<const __m128i*>(loop.range_span[r]));
    free = _mm_or_si128(free, _mm_cmpeq_epi8(_mm_min_epu8(d, span), d));
  }
  auto at_least = [&](uint8_t k) {
    __m128i kk = _mm_set1_epi8(char(k));
    return uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(a, kk), a)));
  };
  m.cont = uint32_t(_mm_movemask_epi8(cont_a)) | (uint32_t(_mm_movemask_epi8(cont_b)) << 16);
  m.other = ~uint32_t(_mm_movemask_epi8(free)) & 0xFFFF;
  m.lead = at_least(0xC0);
  m.lead3 = at_least(0xE0);
  m.lead4 = at_least(0xF0);
  return m;
}
#endif

// Whether the portable masks are forced: set once from the environment
// (TESSOLIN_SIMD=portable) when the library loads, or by a test.
extern std::atomic<bool> g_force_portable;

template <ChunkMasks (*kChunkMasks)(const uint8_t*, const CodePointLoop&)>
const uint8_t* scan_with(const CodePointLoop& loop, const uint8_t* p, const uint8_t* end) {
  if (p == end || (*p & 0xC0) == 0x80) return p;
  const uint64_t* rows = loop.rows.data();
  // Continuation bytes at the start of the chunk that the previous chunk's
  // last sequence owns (and checked).
  uint32_t carry = 0;
  while (end - p >= 32) {
    auto m = kChunkMasks(p, loop);
    // ASCII runs are left to the byte scanner, which is faster on them.
    if (m.lead4 || (m.lead | (m.cont & 0xFFFF)) == 0) break;
    // Every lead of length n is followed by exactly n-1 continuation bytes:
    // the kinds of the bytes in [carry, 16) are fixed by the leads before
    // them; bytes 16 and 17 that the last sequence owns become the next
    // chunk's carry, and the next chunk checks the byte after them.
    uint32_t expected = (m.lead << 1) | (m.lead3 << 2);
    uint32_t window = 0xFFFFu & ~((1u << carry) - 1);
    if (((m.cont ^ expected) & window) | (expected & ~m.cont & 0x30000u)) break;
    uint64_t ok = 1;
    for (uint32_t rest = m.other; rest; rest &= rest - 1) {
      const uint8_t* q = p + __builtin_ctz(rest);
      uint32_t b0 = q[0], b1 = q[1] & 63, b2 = q[2] & 63;
      bool three = b0 >= 0xE0;
      uint32_t row = three ? 256 + ((b0 - 0xE0) << 6) + b1 : b0;
      ok &= rows[row] >> (three ? b2 : b1);
    }
    if (!(ok & 1)) break;
    carry = ((expected >> 16) & 1) + ((expected >> 17) & 1);
    p += 16;
  }
  return p + carry;
}

}  // namespace code_point_scan_detail

// Given the DFA in the loop's state at p, returns how far the text is a
// sequence of looping code points, stopping at a code point boundary (the DFA
// is in the same state there); p itself when nothing was skipped. Stops at
// a chunk of ASCII.
inline const uint8_t* scan_code_points(const CodePointLoop& loop, const uint8_t* p, const uint8_t* end) {
  using namespace code_point_scan_detail;
#if defined(__SSE2__)
  if (!g_force_portable.load(std::memory_order_relaxed)) return scan_with<&chunk_masks_sse2>(loop, p, end);
#endif
  return scan_with<&chunk_masks_portable>(loop, p, end);
}

// For tests: forces the portable masks (or lifts that); returns the
// previous setting.
bool force_portable_code_point_scan(bool portable) noexcept;

}  // namespace tessolin::pattern

#include "json/json_scan.hpp"

#include <cstdlib>
#include <cstring>

namespace tessolin::json::scan {

namespace {

ScanLevel detect_best() noexcept {
#if TESSOLIN_JSON_X86_SCAN
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? ScanLevel::Avx2 : ScanLevel::Sse2;
#else
  return ScanLevel::Portable;
#endif
}

// The best level, lowered by TESSOLIN_SIMD when it names a lower one.
ScanLevel initial_level() noexcept {
  const ScanLevel best = detect_best();
  const char* wanted = std::getenv("TESSOLIN_SIMD");
  if (wanted == nullptr) return best;
  ScanLevel level = best;
  if (std::strcmp(wanted, "portable") == 0) level = ScanLevel::Portable;
  if (std::strcmp(wanted, "sse2") == 0) level = ScanLevel::Sse2;
  if (std::strcmp(wanted, "avx2") == 0) level = ScanLevel::Avx2;
  return level < best ? level : best;
}

}  // namespace

namespace detail {
std::atomic<ScanLevel> g_scan_level{initial_level()};
}  // namespace detail

const char* find_string_special_rest(const char* p, const char* end) noexcept {
#if TESSOLIN_JSON_X86_SCAN
  switch (scan_level()) {
    case ScanLevel::Avx2: return find_string_special_avx2(p, end);
    case ScanLevel::Sse2: return find_string_special_sse2(p, end);
    case ScanLevel::Portable: break;
  }
#endif
  return find_string_special_portable(p, end);
}

const char* skip_blank_rest(const char* p, const char* end) noexcept {
  // A newline and an indent are a few bytes; longer runs take whole words.
  for (int i = 0; i < 8; ++i) {
    if (p == end || !is_blank(static_cast<unsigned char>(*p))) return p;
    ++p;
  }
#if TESSOLIN_JSON_X86_SCAN
  switch (scan_level()) {
    case ScanLevel::Avx2: return skip_blank_run_avx2(p, end);
    case ScanLevel::Sse2: return skip_blank_run_sse2(p, end);
    case ScanLevel::Portable: break;
  }
#endif
  return skip_blank_run_portable(p, end);
}

ScanLevel best_scan_level() noexcept {
  static const ScanLevel best = detect_best();
  return best;
}

ScanLevel set_scan_level(ScanLevel level) noexcept {
  const ScanLevel best = best_scan_level();
  const ScanLevel used = level < best ? level : best;
  detail::g_scan_level.store(used, std::memory_order_relaxed);
  return used;
}

}  // namespace tessolin::json::scan

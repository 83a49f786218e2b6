#include "pattern/code_point_scan.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <unordered_map>
#include <utility>

namespace tessolin::pattern {

namespace code_point_scan_detail {
namespace {
bool portable_from_environment() noexcept {
  const char* level = std::getenv("TESSOLIN_SIMD");
  return level != nullptr && std::strcmp(level, "portable") == 0;
}
}  // namespace
std::atomic<bool> g_force_portable{portable_from_environment()};
}  // namespace code_point_scan_detail

bool force_portable_code_point_scan(bool portable) noexcept {
  return code_point_scan_detail::g_force_portable.exchange(portable, std::memory_order_relaxed);
}

bool build_code_point_loop(const Dfa& dfa, uint32_t state, CodePointLoop& out) {
  const uint32_t k = dfa.class_count;
  auto next = [&](uint32_t s, unsigned b) { return dfa.transitions[size_t(s) * k + dfa.classes[b]]; };
  auto gone = [&](uint32_t s) { return s == dfa.dead || s == dfa.unbuilt; };
  out.rows.assign(CodePointLoop::kRows, 0);
  std::vector<uint8_t> whole(256, 0);  // the byte loops with any continuation
  for (unsigned b = 0; b < 0x80; ++b) {
    whole[b] = next(state, b) == state;
    out.rows[b] = whole[b] ? ~uint64_t(0) : 0;
  }
  bool any = false;
  for (unsigned b0 = 0xC0; b0 < 0xE0; ++b0) {
    uint32_t t = next(state, b0);
    if (gone(t)) continue;
    uint64_t row = 0;
    for (unsigned j = 0; j < 64; ++j) row |= uint64_t(next(t, 0x80 + j) == state) << j;
    out.rows[b0] = row;
    whole[b0] = row == ~uint64_t(0);
    any = any || row != 0;
  }
  // A row depends only on the state after two bytes; most leads share those.
  std::unordered_map<uint32_t, uint64_t> third_rows;
  auto third_row = [&](uint32_t u) {
    if (gone(u)) return uint64_t(0);
    auto [it, inserted] = third_rows.try_emplace(u, 0);
    if (inserted)
      for (unsigned j2 = 0; j2 < 64; ++j2) it->second |= uint64_t(next(u, 0x80 + j2) == state) << j2;
    return it->second;
  };
  for (unsigned b0 = 0xE0; b0 < 0xF0; ++b0) {
    uint32_t t = next(state, b0);
    if (gone(t)) continue;
    bool all = true;
    for (unsigned j1 = 0; j1 < 64; ++j1) {
      uint64_t row = third_row(next(t, 0x80 + j1));
      out.rows[256 + ((b0 - 0xE0) << 6) + j1] = row;
      any = any || row != 0;
      all = all && row == ~uint64_t(0);
    }
    whole[b0] = all;
  }
  // The longest runs of such bytes become the ranges; the others are looked up.
  std::vector<std::pair<unsigned, unsigned>> runs;  // length, first byte
  for (unsigned b = 0; b < 256;) {
    if (!whole[b]) {
      ++b;
      continue;
    }
    unsigned first = b;
    while (b < 256 && whole[b]) ++b;
    runs.push_back({b - first, first});
  }
  std::stable_sort(runs.begin(), runs.end(), [](auto& x, auto& y) { return x.first > y.first; });
  for (int r = 0; r < CodePointLoop::kRanges; ++r) {
    // Unused ranges repeat the continuation bytes, which pass anyway.
    uint8_t lo = r < int(runs.size()) ? uint8_t(runs[r].second) : 0x80;
    uint8_t span = r < int(runs.size()) ? uint8_t(runs[r].first - 1) : 0x3F;
    std::fill(std::begin(out.range_lo[r]), std::end(out.range_lo[r]), lo);
    std::fill(std::begin(out.range_span[r]), std::end(out.range_span[r]), span);
  }
  return any;
}

}  // namespace tessolin::pattern

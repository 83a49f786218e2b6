#include "pattern/codepoint_set.hpp"

#include <algorithm>

namespace tessolin::pattern {

CodepointSet::CodepointSet(std::initializer_list<CodepointRange> ranges) : ranges_(ranges) {
  normalized_ = false;
  normalize();
}

void CodepointSet::normalize() {
  if (normalized_) return;
  std::sort(ranges_.begin(), ranges_.end(),
            [](const CodepointRange& a, const CodepointRange& b) { return a.lo < b.lo; });
  size_t out = 0;
  for (const CodepointRange& r : ranges_) {
    if (r.lo > r.hi) continue;
    if (out > 0 && uint64_t(ranges_[out - 1].hi) + 1 >= r.lo) {
      ranges_[out - 1].hi = std::max(ranges_[out - 1].hi, r.hi);
    } else {
      ranges_[out++] = r;
    }
  }
  ranges_.resize(out);
  normalized_ = true;
}

void CodepointSet::add_set(const CodepointSet& other) {
  ranges_.insert(ranges_.end(), other.ranges_.begin(), other.ranges_.end());
  normalized_ = false;
}

void CodepointSet::union_with(const CodepointSet& other) {
  add_set(other);
  normalize();
}

void CodepointSet::intersect_with(const CodepointSet& other) {
  assert(other.normalized_);
  normalize();
  std::vector<CodepointRange> out;
  size_t i = 0, j = 0;
  const auto& a = ranges_;
  const auto& b = other.ranges_;
  while (i < a.size() && j < b.size()) {
    uint32_t lo = std::max(a[i].lo, b[j].lo);
    uint32_t hi = std::min(a[i].hi, b[j].hi);
    if (lo <= hi) out.push_back({lo, hi});
    if (a[i].hi < b[j].hi)
      ++i;
    else
      ++j;
  }
  ranges_ = std::move(out);
}

void CodepointSet::subtract(const CodepointSet& other) {
  assert(other.normalized_);
  normalize();
  std::vector<CodepointRange> out;
  size_t j = 0;
  const auto& b = other.ranges_;
  for (CodepointRange r : ranges_) {
    uint64_t lo = r.lo;
    while (j < b.size() && b[j].hi < lo) ++j;
    size_t k = j;
    while (lo <= r.hi && k < b.size() && b[k].lo <= r.hi) {
      if (b[k].lo > lo) out.push_back({uint32_t(lo), b[k].lo - 1});
      lo = uint64_t(b[k].hi) + 1;
      if (b[k].hi > r.hi) break;
      ++k;
    }
    if (lo <= r.hi) out.push_back({uint32_t(lo), r.hi});
  }
  ranges_ = std::move(out);
}

void CodepointSet::symmetric_difference_with(const CodepointSet& other) {
  CodepointSet both = *this;
  both.intersect_with(other);
  union_with(other);
  subtract(both);
}

void CodepointSet::negate(uint32_t max, bool skip_surrogates) {
  normalize();
  std::vector<CodepointRange> out;
  uint64_t next = 0;
  for (const CodepointRange& r : ranges_) {
    if (r.lo > max) break;
    if (r.lo > next) out.push_back({uint32_t(next), r.lo - 1});
    next = uint64_t(r.hi) + 1;
  }
  if (next <= max) out.push_back({uint32_t(next), max});
  ranges_ = std::move(out);
  if (skip_surrogates) remove_surrogates();
}

void CodepointSet::remove_surrogates() { subtract(CodepointSet{{kSurrogateLo, kSurrogateHi}}); }

bool CodepointSet::contains(uint32_t c) const {
  assert(normalized_);
  auto it =
      std::upper_bound(ranges_.begin(), ranges_.end(), c, [](uint32_t v, const CodepointRange& r) { return v < r.lo; });
  return it != ranges_.begin() && std::prev(it)->hi >= c;
}

uint64_t CodepointSet::size() const {
  assert(normalized_);
  uint64_t n = 0;
  for (const CodepointRange& r : ranges_) n += uint64_t(r.hi) - r.lo + 1;
  return n;
}

}  // namespace tessolin::pattern

// A set of code points (or bytes) as sorted, disjoint, non-adjacent ranges.
//
// add() and add_set() append ranges in any order and leave the set
// unnormalised until normalize(); every reader and every set operation
// requires the normal form and asserts it, so a forgotten normalize() fails
// in debug builds instead of answering from unsorted ranges.
#pragma once

#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tessolin::pattern {

struct CodepointRange {
  uint32_t lo;
  uint32_t hi;  // inclusive
  bool operator==(const CodepointRange&) const = default;
};

inline constexpr uint32_t kMaxScalar = 0x10FFFF;
inline constexpr uint32_t kSurrogateLo = 0xD800;
inline constexpr uint32_t kSurrogateHi = 0xDFFF;

class CodepointSet {
 public:
  CodepointSet() = default;
  CodepointSet(std::initializer_list<CodepointRange> ranges);
  static CodepointSet single(uint32_t c) { return CodepointSet{{c, c}}; }

  // Adds [lo, hi]; ranges may arrive in any order, normalize() restores the form.
  void add(uint32_t lo, uint32_t hi) {
    ranges_.push_back({lo, hi});
    normalized_ = false;
  }
  void add_set(const CodepointSet& other);
  void normalize();

  void union_with(const CodepointSet& other);
  void intersect_with(const CodepointSet& other);
  void subtract(const CodepointSet& other);
  void symmetric_difference_with(const CodepointSet& other);
  // Complement within [0, max]; with skip_surrogates the result never holds D800-DFFF.
  void negate(uint32_t max, bool skip_surrogates);
  void remove_surrogates();

  bool normalized() const { return normalized_; }
  bool contains(uint32_t c) const;
  bool empty() const {
    assert(normalized_);
    return ranges_.empty();
  }
  // Largest member, or 0 for the empty set.
  uint32_t max_member() const {
    assert(normalized_);
    return ranges_.empty() ? 0 : ranges_.back().hi;
  }
  uint64_t size() const;
  const std::vector<CodepointRange>& ranges() const {
    assert(normalized_);
    return ranges_;
  }
  bool operator==(const CodepointSet& other) const {
    assert(normalized_ && other.normalized_);
    return ranges_ == other.ranges_;
  }

 private:
  std::vector<CodepointRange> ranges_;
  bool normalized_ = true;
};

}  // namespace tessolin::pattern

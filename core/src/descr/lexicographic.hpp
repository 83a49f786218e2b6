// Lexicographic three-way comparison of two ranges under an element order:
// the first difference decides, a proper prefix comes first. Header-only;
// used by the canonical orders (descriptor_order.cpp, atom_clause_order.cpp).
#pragma once

#include <compare>
#include <iterator>

namespace tessolin::descr {

// The built-in three-way comparison, as a callable.
inline constexpr auto three_way = [](const auto& a, const auto& b) { return a <=> b; };

template <class RangeA, class RangeB, class Compare>
std::strong_ordering lexicographic(const RangeA& a, const RangeB& b, Compare compare) {
  auto ia = std::begin(a);
  auto ib = std::begin(b);
  for (; ia != std::end(a) && ib != std::end(b); ++ia, ++ib) {
    std::strong_ordering c = compare(*ia, *ib);
    if (c != 0) return c;
  }
  if (ia != std::end(a)) return std::strong_ordering::greater;
  if (ib != std::end(b)) return std::strong_ordering::less;
  return std::strong_ordering::equal;
}

}  // namespace tessolin::descr

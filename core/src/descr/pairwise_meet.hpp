// The pairwise product shared by the meets of line, clause, collection
// shape and record shape lists. Header only; covered by the tests of its
// users (core/tests/descr_sequence for collection shapes).
#pragma once

#include <vector>

#include "descr/fuel.hpp"
#include "descr/outcome.hpp"

namespace tessolin::descr {

// meet_pair(x, y) for x of `a` (outer loop) and y of `b` (inner loop), one
// fuel unit per pair; the partial product is compacted whenever it holds
// more than kLineCompactionThreshold items, and once more at the end. An
// empty operand gives the empty list without fuel. Any give-up (fuel, a
// pair, a compaction) gives up the whole.
template <class T, class MeetPair, class Compact>
Outcome<std::vector<T>> pairwise_meet(const std::vector<T>& a, const std::vector<T>& b, MeetPair meet_pair,
                                      Compact compact) {
  if (a.empty() || b.empty()) return std::vector<T>{};
  std::vector<T> product;
  for (const T& x : a) {
    for (const T& y : b) {
      if (!spend_fuel()) return kGaveUp;
      if (product.size() > kLineCompactionThreshold) {
        Outcome<std::vector<T>> compacted = compact(std::move(product));
        if (!compacted) return kGaveUp;
        product = std::move(*compacted);
      }
      Outcome<T> met = meet_pair(x, y);
      if (!met) return kGaveUp;
      product.push_back(std::move(*met));
    }
  }
  return compact(std::move(product));
}

}  // namespace tessolin::descr

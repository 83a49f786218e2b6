// The pairwise product loop shared by the meets of Line and clause lists
// (and usable by the shape meets): a in the outer loop, b in the inner one;
// one ALGEBRA_FUEL unit per pair before it is formed (none left: give up);
// a product holding more than kLineCompactionThreshold items is normalised
// before the next pair; the finished product is normalised once more.
// `pair(x, y)` and `normalize(list)` give up by returning nullopt.
// Header-only; covered by core/tests/descr.
#pragma once

#include <utility>
#include <vector>

#include "descr/fuel.hpp"
#include "descr/outcome.hpp"

namespace tessolin::descr {

template <class Item, class A, class B, class Pair, class Normalize>
Outcome<std::vector<Item>> pairwise_product(const std::vector<A>& a, const std::vector<B>& b, Pair pair,
                                            Normalize normalize) {
  std::vector<Item> product;
  for (const A& x : a) {
    for (const B& y : b) {
      if (!spend_fuel()) return kGaveUp;
      if (product.size() > kLineCompactionThreshold) {
        Outcome<std::vector<Item>> compacted = normalize(std::move(product));
        if (!compacted) return kGaveUp;
        product = std::move(*compacted);
      }
      Outcome<Item> item = pair(x, y);
      if (!item) return kGaveUp;
      product.push_back(std::move(*item));
    }
  }
  return normalize(std::move(product));
}

}  // namespace tessolin::descr

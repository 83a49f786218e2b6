// compact_collection_shapes (collection_shape.hpp): entries met with the
// bound and reduced to the maximal ones, shapes whose bound lies in an
// entry dropped, duplicates dropped, everything sorted.
// Private: the shape order and equality. Tested by
// core/tests/descr_sequence.
#include <algorithm>

#include "descr/collection_shape.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

bool shapes_equal(const CollectionShape& x, const CollectionShape& y) {
  if (!optional_descriptor_eq(x.bound, y.bound) || x.not_within.size() != y.not_within.size()) return false;
  for (size_t i = 0; i < x.not_within.size(); ++i)
    if (!optional_descriptor_eq(x.not_within[i], y.not_within[i])) return false;
  return true;
}

bool shape_less(const CollectionShape& x, const CollectionShape& y) {
  if (std::strong_ordering o = optional_descriptor_order(x.bound, y.bound); o != 0) return o < 0;
  return std::lexicographical_compare_three_way(x.not_within.begin(), x.not_within.end(), y.not_within.begin(),
                                                y.not_within.end(), optional_descriptor_order) < 0;
}

bool proved_within(const OptionalDescriptor& outer, const OptionalDescriptor& inner) {
  return included_in(outer, inner) == Inclusion::Included;
}

// Keeps the entries no other entry is proved to contain; of two equal
// entries the first.
std::vector<OptionalDescriptor> maximal_entries(const std::vector<OptionalDescriptor>& entries) {
  std::vector<OptionalDescriptor> kept;
  for (const OptionalDescriptor& y : entries) {
    if (std::any_of(kept.begin(), kept.end(), [&](const OptionalDescriptor& z) { return proved_within(z, y); }))
      continue;
    std::erase_if(kept, [&](const OptionalDescriptor& z) { return proved_within(y, z); });
    kept.push_back(y);
  }
  std::stable_sort(kept.begin(), kept.end(), [](const OptionalDescriptor& x, const OptionalDescriptor& y) {
    return optional_descriptor_order(x, y) < 0;
  });
  return kept;
}

}  // namespace

Outcome<std::vector<CollectionShape>> compact_collection_shapes(std::vector<CollectionShape> shapes) {
  std::vector<CollectionShape> kept;
  for (CollectionShape& s : shapes) {
    // Within the bound, escaping y and escaping y met with the bound are
    // the same requirement.
    for (OptionalDescriptor& y : s.not_within) {
      Outcome<OptionalDescriptor> met = meet_labels(y, s.bound);
      if (!met) return kGaveUp;
      y = std::move(*met);
    }
    s.not_within = maximal_entries(s.not_within);
    if (std::any_of(s.not_within.begin(), s.not_within.end(),
                    [&](const OptionalDescriptor& z) { return proved_within(z, s.bound); }))
      continue;  // no element of the bound escapes z: no set
    if (std::any_of(kept.begin(), kept.end(), [&](const CollectionShape& k) { return shapes_equal(k, s); }))
      continue;
    kept.push_back(std::move(s));
  }
  if (kept.size() > kMaxNormalizedItems) return kGaveUp;
  std::stable_sort(kept.begin(), kept.end(), shape_less);
  return kept;
}

}  // namespace tessolin::descr

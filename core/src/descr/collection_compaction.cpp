// compact_collection_shapes (collection_shape.hpp): entries met with the
// bound and reduced to the maximal ones, shapes whose bound lies in an
// entry dropped, duplicates dropped, everything sorted.
// Tested by core/tests/descr_sequence.
#include <algorithm>

#include "descr/collection_shape.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

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
    if (std::any_of(kept.begin(), kept.end(), [&](const CollectionShape& k) { return collection_shape_eq(k, s); }))
      continue;
    kept.push_back(std::move(s));
  }
  if (kept.size() > kMaxNormalizedItems) return kGaveUp;
  std::stable_sort(kept.begin(), kept.end(),
                   [](const CollectionShape& x, const CollectionShape& y) { return collection_shape_order(x, y) < 0; });
  return kept;
}

}  // namespace tessolin::descr

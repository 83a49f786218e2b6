// collection_domain_emptiness (collection_shape.hpp): the inhabitation
// rule of a shape list. Private: the test of one shape.
// Tested by core/tests/descr_sequence.
#include "descr/collection_shape.hpp"
#include "descr/descriptor.hpp"
#include "descr/emptiness.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

// Whether one element of the bound lies outside every entry.
Emptiness one_element_escapes_all(const CollectionShape& shape) {
  OptionalDescriptor escapes = shape.bound;
  for (const OptionalDescriptor& y : shape.not_within) {
    if (!y) return Emptiness::Empty;
    Outcome<OptionalDescriptor> met = meet_labels(escapes, complement_shared(y));
    if (!met) return Emptiness::Undecided;
    escapes = std::move(*met);
  }
  return escapes ? descriptor_emptiness(*escapes) : Emptiness::Inhabited;
}

Emptiness shape_emptiness(const CollectionShape& shape) {
  if (shape.not_within.empty()) return Emptiness::Inhabited;  // the empty set
  bool unsettled = false;
  for (const OptionalDescriptor& y : shape.not_within) {
    switch (included_in(y, shape.bound)) {
      case Inclusion::Included: return Emptiness::Empty;  // nothing in the bound escapes y
      case Inclusion::Unsettled: unsettled = true; break;
      case Inclusion::NotIncluded: break;
    }
  }
  if (shape.not_within.size() == 1) return unsettled ? Emptiness::Undecided : Emptiness::Inhabited;
  // Each entry can be escaped, but one set must hold all the witnesses at
  // once and equal elements merge ({True, 1} == {True}): only one element
  // escaping every entry proves a member.
  return one_element_escapes_all(shape) == Emptiness::Inhabited ? Emptiness::Inhabited : Emptiness::Undecided;
}

}  // namespace

Emptiness collection_domain_emptiness(const CollectionDomain& d) {
  Outcome<std::vector<CollectionShape>> shapes = materialize_collection_negation(d);
  if (!shapes) return Emptiness::Undecided;
  return list_emptiness(*shapes, shape_emptiness);
}

}  // namespace tessolin::descr

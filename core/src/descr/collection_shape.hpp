// Collection shapes: the set and frozenset domains.
//
// A set is in a shape when every element lies in `bound` (null: anything)
// and, for each entry of `not_within`, some element lies outside it (a null
// entry stands for every value, so a shape holding one admits no set).
// Tested by core/tests/descr_collection.
#pragma once

#include <cstdint>
#include <vector>

#include "descr/outcome.hpp"
#include "descr/shared_descriptor_handle.hpp"

namespace tessolin::descr {

struct CollectionShape {
  OptionalDescriptor bound;
  std::vector<OptionalDescriptor> not_within;
};

// The union of the shapes; negated: every set of the kind in none of them.
struct CollectionDomain {
  std::vector<CollectionShape> shapes;
  uint8_t negated = 0;
};

}  // namespace tessolin::descr

namespace tessolin::descr {

std::vector<CollectionShape> complement_collection_shape(const CollectionShape& shape);
// One fuel unit per pair; compacted result.
Outcome<std::vector<CollectionShape>> meet_collection_shapes(const std::vector<CollectionShape>& a,
                                                             const std::vector<CollectionShape>& b);
Outcome<std::vector<CollectionShape>> compact_collection_shapes(std::vector<CollectionShape> shapes);
Outcome<std::vector<CollectionShape>> materialize_collection_negation(const CollectionDomain& d);
Outcome<CollectionDomain> meet_collection_domains(const CollectionDomain& a, const CollectionDomain& b);
CollectionDomain complement_collection_domain(const CollectionDomain& d);
// The inhabitation rule of a collection domain (negated ones made positive
// first).
Emptiness collection_domain_emptiness(const CollectionDomain& d);

}  // namespace tessolin::descr

// Collection shapes: the set and frozenset domains.
//
// A set is in a shape when every element lies in `bound` (null: anything)
// and, for each entry of `not_within`, some element lies outside it (a null
// entry stands for every value, so a shape holding one admits no set).
// Exports the shape types and their operations (complement, meet and
// materialisation in collection_shape.cpp, compaction and emptiness in
// their own files). Tested by core/tests/descr_sequence.
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

// Shapes whose union is every set of the kind outside `shape`: some element
// outside the bound, or every element inside one entry. Not compacted; no
// fuel.
std::vector<CollectionShape> complement_collection_shape(const CollectionShape& shape);
// The compacted list of the pairwise meets (a in the outer loop). One fuel
// unit per pair; the partial list is compacted whenever it passes
// kLineCompactionThreshold. An empty operand gives the empty list.
Outcome<std::vector<CollectionShape>> meet_collection_shapes(const std::vector<CollectionShape>& a,
                                                             const std::vector<CollectionShape>& b);
// Entries met with the bound and reduced to those no other is proved to
// contain, sorted; shapes whose bound is proved inside an entry dropped;
// duplicates dropped; shapes sorted. More than kMaxNormalizedItems shapes
// left gives up. Cost: O(entries^2 + shapes^2) inclusion tests and
// equalities.
Outcome<std::vector<CollectionShape>> compact_collection_shapes(std::vector<CollectionShape> shapes);
// The positive shape list of a domain (a negated one: the full shape minus
// each shape in turn).
Outcome<std::vector<CollectionShape>> materialize_collection_negation(const CollectionDomain& d);
// Never negated.
Outcome<CollectionDomain> meet_collection_domains(const CollectionDomain& a, const CollectionDomain& b);
// Made positive at once for 0 or 1 shapes (when that does not give up),
// left negated otherwise. Never gives up.
CollectionDomain complement_collection_domain(const CollectionDomain& d);
// The inhabitation rule (negated domains made positive first; a give-up
// there is Undecided). A shape with no entry holds the empty set; one whose
// bound is proved inside an entry is empty; with one entry it is inhabited
// when the bound is proved to escape it; with two or more only when one
// element is proved to escape them all, or plain values of different kind
// groups (None; str; bytes; bool, int and float) escape them between them,
// since equal elements merge in a set. At most four entries are searched.
Emptiness collection_domain_emptiness(const CollectionDomain& d);

}  // namespace tessolin::descr

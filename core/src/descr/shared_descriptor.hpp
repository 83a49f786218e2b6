// Operations on shared descriptor handles (labels, bounds, attribute and
// record values). Arguments are borrowed; a result that is one of them is a
// new handle on the same object. Null optional handles mean every value.
// Tested by core/tests/descr.
#pragma once

#include <cstdint>
#include <vector>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

// Answers of included_in: not the Relation codes.
enum class Inclusion : uint8_t { NotIncluded = 0, Included = 1, Unsettled = 2 };

Outcome<SharedDescriptor> meet_shared_descriptors(const SharedDescriptor& a, const SharedDescriptor& b);
// Null operands mean every value; the result may be null (every value).
Outcome<OptionalDescriptor> meet_labels(const OptionalDescriptor& a, const OptionalDescriptor& b);
Outcome<SharedDescriptor> join_shared(const SharedDescriptor& a, const SharedDescriptor& b);
SharedDescriptor complement_shared(const SharedDescriptor& d);
// The else-label of a position: every element no present label holds.
Outcome<SharedDescriptor> complement_of_labels(const std::vector<SequenceTransition>& transitions);
// Whether `inner` lies within `outer` (null: every value).
Inclusion included_in(const OptionalDescriptor& outer, const OptionalDescriptor& inner);

}  // namespace tessolin::descr

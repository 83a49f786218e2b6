// Set operations on shared descriptor handles: the identity shortcuts (a
// handle met or joined with the same object is that object, and no value,
// shared_nothing(), meets anything in itself and joins anything into it,
// free), null
// optional handles read as every value, and every result a new shared
// Descriptor. Tested by core/tests/descr.
#include <utility>

#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {
namespace {

Outcome<SharedDescriptor> combine_shared(const SharedDescriptor& a, const SharedDescriptor& b, CombineMode mode) {
  if (a == b) return a;
  const SharedDescriptor& nothing = shared_nothing();
  if (a == nothing || b == nothing) {
    const bool a_nothing = a == nothing;
    return mode == CombineMode::Meet ? nothing : (a_nothing ? b : a);
  }
  Outcome<Descriptor> combined = combine_descriptors(*a, *b, mode);
  if (!combined) return kGaveUp;
  return make_shared_descriptor(std::move(*combined));
}

}  // namespace

Outcome<SharedDescriptor> meet_shared_descriptors(const SharedDescriptor& a, const SharedDescriptor& b) {
  return combine_shared(a, b, CombineMode::Meet);
}

Outcome<OptionalDescriptor> meet_labels(const OptionalDescriptor& a, const OptionalDescriptor& b) {
  if (a && b) return meet_shared_descriptors(a, b);
  return a ? a : b;
}

Outcome<SharedDescriptor> join_shared(const SharedDescriptor& a, const SharedDescriptor& b) {
  return combine_shared(a, b, CombineMode::Join);
}

SharedDescriptor complement_shared(const SharedDescriptor& d) {
  spend_fuel_if_any();
  return make_shared_descriptor(complement_descriptor(*d));
}

Outcome<SharedDescriptor> complement_of_labels(const std::vector<SequenceTransition>& transitions) {
  SharedDescriptor accumulated = shared_nothing();
  for (const SequenceTransition& t : transitions) {
    if (!t.label) continue;
    Outcome<SharedDescriptor> joined = join_shared(accumulated, t.label);
    if (!joined) return kGaveUp;
    accumulated = std::move(*joined);
  }
  spend_fuel_if_any();
  return make_shared_descriptor(complement_descriptor(*accumulated));
}

Inclusion included_in(const OptionalDescriptor& outer, const OptionalDescriptor& inner) {
  if (!outer) return Inclusion::Included;
  SharedDescriptor complement = complement_shared(outer);
  Outcome<OptionalDescriptor> meet = meet_labels(inner, complement);
  if (!meet) return Inclusion::Unsettled;
  switch (descriptor_emptiness(**meet)) {
    case Emptiness::Empty: return Inclusion::Included;
    case Emptiness::Inhabited: return Inclusion::NotIncluded;
    default: return Inclusion::Unsettled;
  }
}

}  // namespace tessolin::descr

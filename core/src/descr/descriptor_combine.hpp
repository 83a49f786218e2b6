// Join and meet of whole descriptors, slot by slot, negated slots included.
// Tested by core/tests/descr.
#pragma once

#include "descr/descriptor.hpp"

namespace tessolin::descr {

// The result's slots are all positive.
Outcome<Descriptor> combine_descriptors(const Descriptor& a, const Descriptor& b, CombineMode mode);

}  // namespace tessolin::descr

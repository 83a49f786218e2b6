// Complement of a descriptor: eager for a slot of one line, lazy (a negated
// slot) otherwise. Never gives up. Tested by core/tests/descr.
#pragma once

#include "descr/descriptor.hpp"

namespace tessolin::descr {

Descriptor complement_descriptor(const Descriptor& d);

}  // namespace tessolin::descr

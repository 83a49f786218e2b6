// Shared, immutable Descriptor handles.
//
// Where the algebra nests a Descriptor (sequence labels, collection bounds
// and excluded sets, attribute and record values) it holds a
// SharedDescriptor. In every such place the handle is optional, and a null
// handle means EVERY value. No value at all is shared_nothing(): a handle on
// the empty Descriptor. Never confuse the two.
#pragma once

#include <memory>

namespace tessolin::descr {

struct Descriptor;

// Non-null by contract unless a field says it is optional.
using SharedDescriptor = std::shared_ptr<const Descriptor>;
// Same type; null means every value.
using OptionalDescriptor = SharedDescriptor;

}  // namespace tessolin::descr

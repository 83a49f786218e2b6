// The emptiness decision of descriptors, slots and lines: Empty and
// Inhabited are proofs, Undecided claims nothing. Tested by core/tests/descr.
#pragma once

#include <cstdint>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

Emptiness descriptor_emptiness(const Descriptor& d);
// `code`: the slot's SlotKind code (0..10, 255 for Other).
Emptiness slot_emptiness(const KindSlot& slot, uint8_t code);
// True only when the Line is proved empty.
bool line_is_empty(const Line& line);

}  // namespace tessolin::descr

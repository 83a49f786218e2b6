// complement_descriptor: slot by slot, never gives up. A negated slot turns
// back into its Lines; an empty slot into the kind's top Line; a slot of two
// or more Lines is kept lazily (negated, no fuel); a slot of one Line is
// complemented explicitly as meet_lines([top], complement_line(L)), two fuel
// units and more, falling back to the lazy form when that gives up.
// Tested by core/tests/descr.
#include <utility>

#include "descr/descriptor_complement.hpp"
#include "descr/line_meet.hpp"

namespace tessolin::descr {
namespace {

KindSlot complement_slot(const KindSlot& slot, uint8_t code) {
  if (slot.negated) return KindSlot{slot.lines, 0};
  if (slot.lines.empty()) return KindSlot{{kind_top_line(code)}, 0};
  if (slot.lines.size() >= 2) return KindSlot{slot.lines, 1};
  // The kind's top minus the one Line: meet_lines([top], [C1, C2]).
  Outcome<std::vector<Line>> explicit_form = subtract_lines({kind_top_line(code)}, slot.lines, code);
  if (!explicit_form) return KindSlot{slot.lines, 1};
  return KindSlot{std::move(*explicit_form), 0};
}

}  // namespace

Descriptor complement_descriptor(const Descriptor& d) {
  Descriptor out;
  for (size_t i = 0; i < kSlotCount; ++i) out.slots[i] = complement_slot(d.slots[i], slot_code(i));
  return out;
}

}  // namespace tessolin::descr

// combine_descriptors: join or meet slot by slot, slots 0..10 then Other,
// every result slot positive. One fuel unit on entry; the line operations
// spend the rest. A negated operand slot is made positive for a join
// (complement_lines) and subtracted one Line at a time for a meet, never
// complemented as a whole. The first give-up discards everything.
// Tested by core/tests/descr.
#include <utility>

#include "descr/descriptor_combine.hpp"
#include "descr/domain_combine.hpp"
#include "descr/fuel.hpp"
#include "descr/line_meet.hpp"

namespace tessolin::descr {
namespace {

Outcome<std::vector<Line>> positive_lines(const KindSlot& slot, uint8_t code) {
  if (!slot.negated) return slot.lines;
  return complement_lines(slot.lines, code);
}

Outcome<std::vector<Line>> join_slot(const KindSlot& a, const KindSlot& b, uint8_t code) {
  Outcome<std::vector<Line>> lines = positive_lines(a, code);
  if (!lines) return kGaveUp;
  Outcome<std::vector<Line>> more = positive_lines(b, code);
  if (!more) return kGaveUp;
  lines->insert(lines->end(), std::make_move_iterator(more->begin()), std::make_move_iterator(more->end()));
  return normalize_lines(std::move(*lines));
}

Outcome<std::vector<Line>> meet_slot(const KindSlot& a, const KindSlot& b, uint8_t code) {
  if (!a.negated && !b.negated) return meet_lines(a.lines, b.lines);
  std::vector<Line> working = !a.negated ? a.lines : !b.negated ? b.lines : std::vector<Line>{kind_top_line(code)};
  for (const KindSlot* slot : {&a, &b}) {
    if (!slot->negated) continue;
    Outcome<std::vector<Line>> rest = subtract_lines(std::move(working), slot->lines, code);
    if (!rest) return kGaveUp;
    working = std::move(*rest);
  }
  return working;
}

}  // namespace

Outcome<Descriptor> combine_descriptors(const Descriptor& a, const Descriptor& b, CombineMode mode) {
  if (!spend_fuel()) return kGaveUp;
  Descriptor out;
  for (size_t i = 0; i < kSlotCount; ++i) {
    const uint8_t code = slot_code(i);
    Outcome<std::vector<Line>> lines =
        mode == CombineMode::Join ? join_slot(a.slots[i], b.slots[i], code) : meet_slot(a.slots[i], b.slots[i], code);
    if (!lines) return kGaveUp;
    out.slots[i].lines = std::move(*lines);
  }
  return out;
}

}  // namespace tessolin::descr

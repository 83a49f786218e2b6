// The model's constructors: kind tops, top Lines, single-Line slots, the
// anything Descriptor and the shared empty Descriptor. Nothing here merges or
// sorts; normalisation is normalize_lines'. Tested by core/tests/descr.
#include "descr/descriptor.hpp"

#include <cassert>
#include <utility>

#include "descr/emptiness.hpp"

namespace tessolin::descr {
namespace {

// One position that accepts and takes every element back to itself.
SequenceAutomaton sequence_top() {
  SequenceAutomaton top;
  top.positions.push_back({SequenceTransition{nullptr, 0}});
  top.accepting.push_back(1);
  return top;
}

CollectionDomain collection_top() {
  CollectionDomain top;
  top.shapes.emplace_back();  // bound absent, no excluded sets
  return top;
}

// No listed keys, the nine kind entries (any value, may be absent), no
// selectors.
RecordDomain record_top() {
  RecordDomain top;
  top.shapes.emplace_back();
  for (KeyEntry& entry : top.shapes.back().kind_entries) entry = KeyEntry{nullptr, 1};
  return top;
}

}  // namespace

Domain top_domain(uint8_t code) {
  switch (static_cast<SlotKind>(code)) {
    case SlotKind::None: return FlagDomain{1};
    case SlotKind::Bool: return BoolMaskDomain{3};
    case SlotKind::Int: return integer_set_full();
    case SlotKind::Float: return float_set_full();
    case SlotKind::Str: return AutomatonDomain{build_utf8_automaton()};
    case SlotKind::Bytes: return AutomatonDomain{any_bytes_automaton()};
    case SlotKind::List:
    case SlotKind::Tuple: return sequence_top();
    case SlotKind::Set:
    case SlotKind::FrozenSet: return collection_top();
    case SlotKind::Dict: return record_top();
    case SlotKind::Unknown: break;
  }
  assert(code == kOtherCode && "top_domain: a SlotKind code");
  return FlagDomain{1};
}

Line kind_top_line(uint8_t code) {
  return line_from_domain(code == kOtherCode ? Domain{FlagDomain{1}} : top_domain(code));
}

Line line_from_domain(Domain domain) {
  Line line;
  line.domain = std::move(domain);
  line.clauses.emplace_back();  // the unrestricted clause
  line.clauses_negated = 0;
  return line;
}

void set_single_line(Descriptor& d, uint8_t code, Domain domain) {
  KindSlot& slot = d.slots[slot_index(code)];
  slot = KindSlot{};
  Line line = line_from_domain(std::move(domain));
  if (!line_is_empty(line)) slot.lines.push_back(std::move(line));
}

Descriptor kind_top_descriptor(uint8_t code) {
  Descriptor d;
  set_single_line(d, code, code == kOtherCode ? Domain{FlagDomain{1}} : top_domain(code));
  return d;
}

Descriptor anything_descriptor() {
  Descriptor d;
  for (size_t i = 0; i < kSlotCount; ++i) d.slots[i].lines.push_back(kind_top_line(slot_code(i)));
  return d;
}

SharedDescriptor shared_nothing() {
  // A function-local static: its initialisation runs once and racing first
  // callers wait for it.
  static const SharedDescriptor nothing = std::make_shared<const Descriptor>();
  return nothing;
}

SharedDescriptor make_shared_descriptor(Descriptor d) { return std::make_shared<const Descriptor>(std::move(d)); }

}  // namespace tessolin::descr

// Descriptors: the algebra's normal-form description of a set of Python
// values, split by kind into twelve slots.
//
// A value is a member of a Descriptor when it is a member of the slot of its
// own kind. A slot holds Lines: not negated, the union of its Lines (none:
// no value of the kind); negated, the kind's top minus that union (only the
// complement produces negated slots). A Line is a Domain restricted by
// clauses: the values of the domain that satisfy at least one clause, or,
// with clauses_negated, none of them.
//
// Slot index and SlotKind code agree for slots 0..10; slot 11 is Other,
// whose code is 255 (ir::SlotKind::Unknown in the IR's spelling).
// Tested by core/tests/descr.
#pragma once

#include <array>
#include <cstdint>
#include <variant>
#include <vector>

#include "descr/atom_clause.hpp"
#include "descr/byte_automaton.hpp"
#include "descr/collection_shape.hpp"
#include "descr/float_set.hpp"
#include "descr/integer_set.hpp"
#include "descr/outcome.hpp"
#include "descr/record_shape.hpp"
#include "descr/sequence_automaton.hpp"
#include "descr/shared_descriptor_handle.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

using ir::SlotKind;

inline constexpr size_t kSlotCount = 12;
inline constexpr size_t kOtherSlot = 11;
inline constexpr uint8_t kOtherCode = 255;

// The SlotKind code of a slot index, and back (codes 0..10 and 255).
constexpr uint8_t slot_code(size_t index) noexcept {
  return index == kOtherSlot ? kOtherCode : static_cast<uint8_t>(index);
}
constexpr size_t slot_index(uint8_t code) noexcept { return code == kOtherCode ? kOtherSlot : code; }
constexpr size_t slot_index(SlotKind kind) noexcept { return slot_index(static_cast<uint8_t>(kind)); }

struct FlagDomain {
  uint8_t present = 1;
};
struct BoolMaskDomain {
  uint8_t mask = 3;  // bit 0 False, bit 1 True
};
struct AutomatonDomain {
  AutomatonHandle automaton;  // never null
};

// Variant order is the Domain order.
using Domain = std::variant<FlagDomain, BoolMaskDomain, IntegerSet, FloatSet, AutomatonDomain, SequenceAutomaton,
                            CollectionDomain, RecordDomain>;

namespace domain_index {
inline constexpr size_t kFlag = 0;
inline constexpr size_t kBoolMask = 1;
inline constexpr size_t kIntegers = 2;
inline constexpr size_t kFloats = 3;
inline constexpr size_t kAutomaton = 4;
inline constexpr size_t kSequence = 5;
inline constexpr size_t kCollection = 6;
inline constexpr size_t kRecord = 7;
}  // namespace domain_index

struct Line {
  Domain domain;
  ClauseList clauses;
  uint8_t clauses_negated = 0;
};

struct KindSlot {
  std::vector<Line> lines;
  uint8_t negated = 0;
};

struct Descriptor {
  std::array<KindSlot, kSlotCount> slots;  // every slot positive and empty: no value

  KindSlot& slot(SlotKind kind) noexcept { return slots[slot_index(kind)]; }
  const KindSlot& slot(SlotKind kind) const noexcept { return slots[slot_index(kind)]; }
};

// The kind top of code 0..10 (not asked for Other: its top is FlagDomain{1}).
// Str and Bytes share the process-wide top automata.
Domain top_domain(uint8_t code);
// The kind top Line of code 0..10 or 255 (Other: FlagDomain{1}).
Line kind_top_line(uint8_t code);
// One unrestricted clause, not negated: the Line of exactly the domain.
Line line_from_domain(Domain domain);
// Replaces slot `code` by a positive slot holding line_from_domain(domain),
// or by an empty positive slot when line_is_empty proves that Line empty.
void set_single_line(Descriptor& d, uint8_t code, Domain domain);
// Every slot empty but slot `code`, which holds the kind top Line.
Descriptor kind_top_descriptor(uint8_t code);
// Every value: each of the twelve slots holds its kind top Line.
Descriptor anything_descriptor();
// The empty Descriptor (no value).
inline Descriptor empty_descriptor() { return Descriptor{}; }
// The process-wide shared empty Descriptor, built once (racing first users
// wait). Each call hands out a new handle on the same object.
SharedDescriptor shared_nothing();
SharedDescriptor make_shared_descriptor(Descriptor d);

}  // namespace tessolin::descr

// The emptiness decision of descriptors, slots, lines, domains and clauses:
// Empty and Inhabited are proofs, Undecided claims nothing. Never gives up
// and never fails: a give-up of a called operation is Undecided for the part
// that asked.
//
// Fuel: nothing here spends, sets or restores ALGEBRA_FUEL itself; the
// operations called for negated slots, negated clause lists, attribute and
// label complements, and the sequence, collection and record domains spend
// it by their own rules. Outside a fuel window the word is in effect
// unlimited, so the cost is bounded only by the size of the operand (see the
// worst-case measure in core/tests/descr/emptiness_cost_test.cpp).
// Tested by core/tests/descr.
#pragma once

#include <cstdint>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

// The slot code of tests that know no slot (line_is_empty): the clause test
// then skips its kind condition, which can only turn Inhabited into
// Undecided.
inline constexpr uint8_t kAnyKind = 254;

// Slot Other first, then None..Dict; see fold_emptiness.
Emptiness descriptor_emptiness(const Descriptor& d);
// `code`: the slot's SlotKind code (0..10, 255 for Other). A negated slot is
// first made positive with complement_lines (a give-up: Undecided).
Emptiness slot_emptiness(const KindSlot& slot, uint8_t code);
// True only when the Line is proved empty.
bool line_is_empty(const Line& line);

// The steps, for callers that decide a part of a Line. Both halves of a
// Line are always decided, domain first.
Emptiness line_emptiness(const Line& line, uint8_t code);
Emptiness domain_emptiness(const Domain& domain);
// A negated list is first made positive (materialize_clauses).
Emptiness clause_list_emptiness(const ClauseList& clauses, uint8_t negated, uint8_t code);
// One positive clause: class contradictions, then required attribute values,
// then the inhabitation conditions (at most one required class, of the
// slot's kind).
Emptiness clause_emptiness(const AtomClause& clause, uint8_t code);

}  // namespace tessolin::descr

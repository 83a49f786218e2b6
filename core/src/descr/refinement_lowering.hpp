// Lowering of Refinement nodes: the base met with one descriptor per
// constraint.
//
// A constraint is translated only where the values it applies to are
// proved to lie within the kinds for which the translation is exact (the
// accumulator, the base met with the constraints so far, is what is
// tested); otherwise, and for a predicate, the lowering gives up. Bounds
// and divisors are read through the oracle's constraint values.
// Tested by core/tests/descr_lowering.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "descr/descriptor.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// The base lowered at `depth` (the refinement's child depth, same
// allowance), then each constraint in stored order; constraints spend no
// allowance.
Outcome<Descriptor> lower_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints,
                                     ir::Oracle& oracle, uint32_t& allowance, uint32_t depth);

// True when every slot whose kind is not listed, Other always included, is
// proved empty; stops at the first slot that is not. Spends fuel through
// slot_emptiness.
bool descriptor_within_kinds(const Descriptor& d, std::initializer_list<ir::SlotKind> kinds);

// Slot Float holding `set`, when `accumulator` lies within Float.
Outcome<Descriptor> float_bound_descriptor(const Descriptor& accumulator, FloatSet set);
// Slot Int holding `set` and slot Bool holding the bools whose value 0 or 1
// lies in it, when `accumulator` lies within Int and Bool.
Outcome<Descriptor> integer_bound_descriptor(const Descriptor& accumulator, const IntegerSet& set);

// The values of the lengths a text or sequence builder admits, for each of
// the slots Str, Bytes, List, Tuple the accumulator may inhabit; gives up
// unless the accumulator lies within those four kinds.
using LengthBuilder = Outcome<Descriptor> (*)(uint64_t n, uint8_t code);
Outcome<Descriptor> length_bound_descriptor(const Descriptor& accumulator, uint64_t n, LengthBuilder text,
                                            LengthBuilder sequences);

// Whether every int of the Int slot is exactly a double (|x| <= 2**53):
// there Python's int % float, which converts the int first, agrees with
// the exact remainder. False for a negated slot or an unbounded line.
bool int_slot_within_exact_doubles(const KindSlot& slot);

}  // namespace tessolin::descr

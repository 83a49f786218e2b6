// The exact-type atom: a class atom standing for every proper subclass of
// the builtin type of the slot it is used in.
//
// A Literal admits a value only when its type is exactly the constant's
// builtin type (`Literal[1]` refuses True, an IntEnum member and any int
// subclass instance), while `int` or a bound admits subclass instances too.
// Literal lines therefore exclude this atom, and complements of them require
// it; class sets, meets, complements, orders and compaction handle it as any
// other class atom. Its meaning enters only where classes are related:
// a class whose builtin base is a kind and which is not that builtin itself
// lies within the atom, and, with the atom as its one required class, a
// clause is met by an instance of a fresh subclass of the slot's builtin.
// Tested by core/tests/descr and core/tests/descr_lowering.
#pragma once

#include <cstdint>

#include "descr/atom_clause.hpp"

namespace tessolin::descr {

// The class atom itself. Its id is reserved: the oracle never hands it out.
ClassAnswer exact_type_atom();
bool is_exact_type_atom(const ClassAnswer& c) noexcept;
// Whether every instance of `c` is an instance of a proper subclass of c's
// builtin base: c has a builtin kind base and is not that builtin (its MRO
// holds c, the builtin and object at least).
bool within_exact_type_atom(const ClassAnswer& c) noexcept;
// Whether the slot's builtin type can be subclassed, so that the atom has
// instances there: every kind but None and bool (and not Other).
bool exact_type_atom_inhabits(uint8_t code) noexcept;
// The clause of a literal's Line: values of exactly the builtin type.
AtomClause exact_type_clause();
// Whether every value of exactly its builtin type meets the clause: the
// unrestricted clause and the exact-type clause.
bool holds_for_plain_values(const AtomClause& clause) noexcept;

}  // namespace tessolin::descr

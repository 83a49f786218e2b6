// Descriptors restricted by clauses: instances of a class (Instance nodes)
// and values carrying attributes (Object nodes).
//
// A class whose first builtin base is a kind (an int subclass, a list
// subclass, ...) has instances only in that kind's slot; a class with no
// builtin base may have instances of any kind, so every slot, Other
// included, is restricted to its instances. Class facts come only from the
// oracle's class answers. Tested by core/tests/descr_lowering.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "descr/descriptor.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// The ordered class set holding the answer; empty for a declined answer.
std::vector<ir::ClassAnswer> class_atoms_from_answer(const ir::ClassAnswer& answer);
// One clause requiring an instance of the class, not negated.
ClauseList class_answer_clauses(const ir::ClassAnswer& answer);

// A positive slot holding the Line (domain, clauses, negated), or an empty
// slot when that Line is proved empty.
KindSlot restrict_domain(Domain domain, const ClauseList& clauses, uint8_t clauses_negated);
// Every slot's kind top (Other: present) restricted by the clauses.
Descriptor descriptor_from_clauses(const ClauseList& clauses, uint8_t clauses_negated);

// The instances of the answered class; a declined answer gives up.
Outcome<Descriptor> class_instances_descriptor(const ir::ClassAnswer& answer);

// The values having attribute `name` with a value in `value`, and, when
// `absent_allowed`, also the values lacking it.
Descriptor attribute_descriptor(std::string_view name, Descriptor value, bool absent_allowed);

}  // namespace tessolin::descr

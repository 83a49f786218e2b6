// Canonical orders and equalities of descriptors, lines and domains, on
// which every normal form of the algebra rests. Equality is semantic for
// integer sets (integer_set_eq) while the order compares representations,
// so deduplication uses the equalities, never order == 0.
//
// Orders (descriptor_order.cpp) and equalities (descriptor_eq.cpp) cost one
// walk of both operands, nested descriptors included (recursion bounded by
// the nesting the lowering allows); handles on the same object compare equal
// without a walk. Tested by core/tests/descr.
#pragma once

#include <compare>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

std::strong_ordering descriptor_order(const Descriptor& a, const Descriptor& b);
// Domain, then clauses (clause_order), then clauses_negated.
std::strong_ordering line_order(const Line& a, const Line& b);
// Variant first (the Domain variant order), then the variant's fields.
std::strong_ordering domain_order(const Domain& a, const Domain& b);
// Optional handles: null (every value) first, then descriptor_order.
std::strong_ordering optional_descriptor_order(const OptionalDescriptor& a, const OptionalDescriptor& b);

// The payload orders inside the Domain order, for the shape and automaton
// code that sorts its own lists.
// Label (absent first, as in the Domain order), then target. The normal
// form of a position sorts absent labels LAST: that order is the sequence
// code's own.
std::strong_ordering sequence_transition_order(const SequenceTransition& a, const SequenceTransition& b);
std::strong_ordering sequence_order(const SequenceAutomaton& a, const SequenceAutomaton& b);
// Bound (absent first), then not_within lexicographically.
std::strong_ordering collection_shape_order(const CollectionShape& a, const CollectionShape& b);
std::strong_ordering collection_domain_order(const CollectionDomain& a, const CollectionDomain& b);
// Record shapes and domains order (and compare) in record_shape.hpp.

bool descriptor_eq(const Descriptor& a, const Descriptor& b);
bool line_eq(const Line& a, const Line& b);
bool domain_eq(const Domain& a, const Domain& b);
// Both null, the same object, or equal by content.
bool optional_descriptor_eq(const OptionalDescriptor& a, const OptionalDescriptor& b);
bool sequence_eq(const SequenceAutomaton& a, const SequenceAutomaton& b);
bool collection_shape_eq(const CollectionShape& a, const CollectionShape& b);
bool collection_domain_eq(const CollectionDomain& a, const CollectionDomain& b);

}  // namespace tessolin::descr

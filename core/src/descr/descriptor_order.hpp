// Canonical orders and equalities of descriptors, lines and domains, on
// which every normal form of the algebra rests. Equality is semantic for
// integer sets (integer_set_eq) while the order compares representations,
// so deduplication uses the equalities, never order == 0.
// Tested by core/tests/descr.
#pragma once

#include <compare>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

std::strong_ordering descriptor_order(const Descriptor& a, const Descriptor& b);
std::strong_ordering line_order(const Line& a, const Line& b);
std::strong_ordering domain_order(const Domain& a, const Domain& b);
// Optional handles: null (every value) first, then descriptor_order.
std::strong_ordering optional_descriptor_order(const OptionalDescriptor& a, const OptionalDescriptor& b);

bool descriptor_eq(const Descriptor& a, const Descriptor& b);
bool line_eq(const Line& a, const Line& b);
bool domain_eq(const Domain& a, const Domain& b);
// Both null, the same object, or equal by content.
bool optional_descriptor_eq(const OptionalDescriptor& a, const OptionalDescriptor& b);

}  // namespace tessolin::descr

// Unicode sets for the pattern engine, built from ICU once per process and
// shared. Every set holds scalar values only (never D800-DFFF).
#pragma once

#include <string>
#include <string_view>

#include "pattern/codepoint_set.hpp"

namespace tessolin::pattern {

const CodepointSet& unicode_digit_set();  // \d: General_Category Nd
const CodepointSet& unicode_space_set();  // \s: White_Space
const CodepointSet& unicode_word_set();   // \w: Alphabetic, M, Nd, Pc, Join_Control
bool is_unicode_word_char(uint32_t c);
bool is_unicode_white_space(uint32_t c);
bool is_unicode_alphabetic(uint32_t c);
bool is_unicode_numeric(uint32_t c);  // General_Category N (Nd, Nl, No)

// Adds to `set` every code point of the same simple case-folding orbit as a
// member of it.
void add_case_orbits(CodepointSet& set);
// True when some member of [lo, hi] has an orbit of more than one member.
bool range_has_case_orbit(uint32_t lo, uint32_t hi);

enum class PropertyLookup { kFound, kPropertyNotFound, kValueNotFound };

// Resolves the body of \p{...} or \pX: `name` alone (`has_value` false) or
// `name` and `value` of a `name=value` / `name:value` form. Negation is the
// caller's business.
PropertyLookup lookup_unicode_property(std::string_view name, bool has_value, std::string_view value,
                                       CodepointSet& out);

// Name normalisation used for property names and values: drops a leading
// "is", spaces, underscores and hyphens, lower-cases ASCII, drops non-ASCII.
std::string normalize_property_name(std::string_view raw);

}  // namespace tessolin::pattern

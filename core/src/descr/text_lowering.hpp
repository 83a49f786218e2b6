// Descriptors of text constraints: length bounds on str and bytes, and
// patterns on str.
//
// A pattern admits only str values: the validation walk fails every other
// value against a pattern, bytes included, so a pattern never fills slot
// Bytes. str lengths count code points (surrogates included), bytes
// lengths count bytes. Tested by core/tests/descr_lowering.
#pragma once

#include <cstdint>
#include <string_view>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

// Slot Str (code 4) or Bytes (code 5) holding the values of at most / at
// least n units; any other code, or an automaton past its limits, gives up.
Outcome<Descriptor> max_length_text(uint64_t n, uint8_t code);
Outcome<Descriptor> min_length_text(uint64_t n, uint8_t code);

// Slot Str holding the strs the pattern matches in full; a pattern that
// does not compile gives up.
Outcome<Descriptor> pattern_descriptor(std::string_view pattern);

}  // namespace tessolin::descr

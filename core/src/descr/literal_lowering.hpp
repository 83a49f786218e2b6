// Descriptors of single values: the lowering of Literal nodes.
//
// A Literal admits only values of its constant's exact type that equal it,
// so each literal fills one slot: an int literal never admits a bool (the
// literal 1 does not admit True), a NaN literal admits nothing (NaN equals
// nothing). Tested by core/tests/descr_lowering.
#pragma once

#include <cstdint>
#include <string_view>

#include "descr/descriptor.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// The one value of an oracle answer; a class, a declined answer or an
// unknown text kind gives up.
Outcome<Descriptor> lower_literal(const ir::LiteralValue& value);

// Slot Bool with mask 1 (False) or 2 (True).
Descriptor bool_literal_descriptor(bool value);
// Slot Int holding v alone.
Descriptor int_literal_descriptor(int64_t v);
// Slot Float holding x alone (-0.0 and 0.0 are one value); NaN: empty.
Descriptor float_literal_descriptor(double x);
// Slot Str (SlotKind::Str, bytes in UTF-8) or Bytes holding exactly these
// bytes; any other kind gives up.
Outcome<Descriptor> text_literal_descriptor(std::string_view bytes, ir::SlotKind kind);

}  // namespace tessolin::descr

// Meet of two line lists of one slot, pair by pair, under fuel and the size
// limits. Tested by core/tests/descr.
#pragma once

#include <vector>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

// The full product (a outer, b inner), one fuel unit per pair, normalised
// past kLineCompactionThreshold and at the end. An empty side: the empty
// list, no fuel.
Outcome<std::vector<Line>> meet_lines(const std::vector<Line>& a, const std::vector<Line>& b);
// Domains met, then clause parts; no emptiness test. Different variants
// give up.
Outcome<Line> meet_line_pair(const Line& a, const Line& b);
// `working` minus each of `lines` in turn (Lines of slot `code`):
// working := meet_lines(working, [C1, C2]) with C1, C2 = complement_line.
// Never builds the complement of the whole list.
Outcome<std::vector<Line>> subtract_lines(std::vector<Line> working, const std::vector<Line>& lines, uint8_t code);

}  // namespace tessolin::descr

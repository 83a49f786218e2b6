// Meet of two line lists of one slot, pair by pair, under fuel and the size
// limits. Tested by core/tests/descr.
#pragma once

#include <vector>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

Outcome<std::vector<Line>> meet_lines(const std::vector<Line>& a, const std::vector<Line>& b);
Outcome<Line> meet_line_pair(const Line& a, const Line& b);

}  // namespace tessolin::descr

// Lines and domain combination: join and meet of two domains of one
// variant, the complement of lines within a kind, and line normalisation.
// Tested by core/tests/descr.
#pragma once

#include <utility>
#include <vector>

#include "descr/descriptor.hpp"

namespace tessolin::descr {

// Domains of different variants give up.
Outcome<Domain> combine_domains(const Domain& a, const Domain& b, CombineMode mode);
// Two Lines whose union is the complement of `line` within the kind `code`
// (0..10, 255 for Other). Never gives up.
std::pair<Line, Line> complement_line(const Line& line, uint8_t code);
// The kind's top minus the union of `lines`, as positive Lines.
Outcome<std::vector<Line>> complement_lines(const std::vector<Line>& lines, uint8_t code);
// Drops proved-empty Lines, merges Lines with equal clause lists, sorts,
// dedupes; more than kMaxNormalizedItems gives up.
Outcome<std::vector<Line>> normalize_lines(std::vector<Line> lines);

}  // namespace tessolin::descr

// meet_lines: the full product of two Line lists of one slot, one fuel unit
// per pair, the product normalised whenever it passes the compaction
// threshold and once at the end. meet_line_pair: the domain meet, then the
// meet of the two clause parts (negated parts folded in as the meet with
// each clause's complement). No pair is tested for emptiness here.
// subtract_lines: a list minus Lines, one complement_line at a time.
// Tested by core/tests/descr.
#include <utility>

#include "descr/domain_combine.hpp"
#include "descr/line_meet.hpp"
#include "descr/pairwise_product.hpp"

namespace tessolin::descr {
namespace {

// The clause part of the meet of a and b, positive.
Outcome<ClauseList> meet_clause_parts(const Line& a, const Line& b) {
  if (!a.clauses_negated && !b.clauses_negated) return meet_clause_lists(a.clauses, b.clauses);
  ClauseList working = !a.clauses_negated ? a.clauses : !b.clauses_negated ? b.clauses : ClauseList(1);
  for (const Line* line : {&a, &b}) {
    if (!line->clauses_negated) continue;
    for (const AtomClause& clause : line->clauses) {
      Outcome<ClauseList> met = meet_clause_lists(working, complement_clause(clause));
      if (!met) return kGaveUp;
      working = std::move(*met);
    }
  }
  return working;
}

}  // namespace

Outcome<Line> meet_line_pair(const Line& a, const Line& b) {
  if (a.domain.index() != b.domain.index()) return kGaveUp;
  Outcome<Domain> domain = combine_domains(a.domain, b.domain, CombineMode::Meet);
  if (!domain) return kGaveUp;
  Outcome<ClauseList> clauses = meet_clause_parts(a, b);
  if (!clauses) return kGaveUp;
  return Line{std::move(*domain), std::move(*clauses), 0};
}

Outcome<std::vector<Line>> meet_lines(const std::vector<Line>& a, const std::vector<Line>& b) {
  // An empty side forms no pair: the empty list, no fuel spent.
  return pairwise_product<Line>(a, b, meet_line_pair, normalize_lines);
}

Outcome<std::vector<Line>> subtract_lines(std::vector<Line> working, const std::vector<Line>& lines, uint8_t code) {
  for (const Line& line : lines) {
    auto [c1, c2] = complement_line(line, code);
    std::vector<Line> complement;
    complement.push_back(std::move(c1));
    complement.push_back(std::move(c2));
    Outcome<std::vector<Line>> met = meet_lines(working, complement);
    if (!met) return kGaveUp;
    working = std::move(*met);
  }
  return working;
}

}  // namespace tessolin::descr

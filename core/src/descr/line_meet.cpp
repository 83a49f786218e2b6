// meet_lines: the full product of two Line lists of one slot, one fuel unit
// per pair, the product normalised whenever it passes the compaction
// threshold and once at the end. meet_line_pair: the domain meet, then the
// meet of the two clause parts (negated parts folded in as the meet with
// each clause's complement). No pair is tested for emptiness here.
// Tested by core/tests/descr.
#include <utility>

#include "descr/domain_combine.hpp"
#include "descr/fuel.hpp"
#include "descr/line_meet.hpp"

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
  if (a.empty() || b.empty()) return std::vector<Line>{};
  std::vector<Line> product;
  for (const Line& x : a) {
    for (const Line& y : b) {
      if (!spend_fuel()) return kGaveUp;
      if (product.size() > kLineCompactionThreshold) {
        Outcome<std::vector<Line>> compacted = normalize_lines(std::move(product));
        if (!compacted) return kGaveUp;
        product = std::move(*compacted);
      }
      Outcome<Line> pair = meet_line_pair(x, y);
      if (!pair) return kGaveUp;
      product.push_back(std::move(*pair));
    }
  }
  return normalize_lines(std::move(product));
}

}  // namespace tessolin::descr

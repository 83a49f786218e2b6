// complement_line (two Lines: the domain complemented, and the kind's top
// under the inverted clause part) and complement_lines (the kind's top minus
// a whole Line list, one Line subtracted at a time with meet_lines, so one
// fuel unit per Line pair). Tested by core/tests/descr.
#include <algorithm>
#include <cassert>
#include <optional>
#include <utility>

#include "descr/domain_combine.hpp"
#include "descr/line_meet.hpp"

namespace tessolin::descr {
namespace {

// Flipping `accepting` complements a sequence automaton only when every
// element is taken at every position by exactly one transition. That holds
// under the invariant of every automaton the algebra builds: each position
// has exactly one transition with a null label (the else-label) and the
// present labels of a position are pairwise disjoint. The disjointness is
// the sequence code's to keep (and to assert). The shape of the invariant is
// cheap to restore and is restored here, so that a degenerate automaton (a
// position without transitions, no position at all, a target past the
// position list, a short `accepting`) still complements soundly: a missing else-transition goes to
// a dead, non-accepting position, which takes the same elements to itself.
SequenceAutomaton complement_sequence(const SequenceAutomaton& a) {
  SequenceAutomaton out = a;
  size_t count = std::max<size_t>(out.positions.size(), 1);  // position 0 starts every run
  for (const auto& position : out.positions) {
    for (const SequenceTransition& t : position) count = std::max<size_t>(count, size_t{t.target} + 1);
  }
  out.positions.resize(count);
  out.accepting.resize(count, 0);
  std::optional<uint32_t> dead;
  for (size_t p = 0; p < out.positions.size(); ++p) {
    auto& position = out.positions[p];
    size_t else_count = std::count_if(position.begin(), position.end(), [](const auto& t) { return !t.label; });
    assert(else_count <= 1 && "a sequence position holds at most one else-transition");
    if (else_count != 0) continue;
    if (!dead) {
      dead = static_cast<uint32_t>(out.positions.size());
      out.positions.push_back({SequenceTransition{nullptr, *dead}});
      out.accepting.push_back(0);
    }
    out.positions[p].push_back(SequenceTransition{nullptr, *dead});
  }
  for (uint8_t& accepting : out.accepting) accepting = accepting ? 0 : 1;
  return out;
}

// The domain's complement within its variant. Automata complements also
// hold byte strings outside the kind (ill-formed UTF-8 for Str); every user
// meets them with Lines of the kind, which removes those.
Domain complement_domain(const Domain& d) {
  switch (d.index()) {
    case domain_index::kFlag: return FlagDomain{static_cast<uint8_t>(std::get<FlagDomain>(d).present ? 0 : 1)};
    case domain_index::kBoolMask: return BoolMaskDomain{static_cast<uint8_t>(~std::get<BoolMaskDomain>(d).mask & 3)};
    case domain_index::kIntegers: return integer_set_complement(std::get<IntegerSet>(d));
    case domain_index::kFloats: return complement_float_set(std::get<FloatSet>(d));
    case domain_index::kAutomaton:
      return AutomatonDomain{complement_automaton(*std::get<AutomatonDomain>(d).automaton)};
    case domain_index::kSequence: return complement_sequence(std::get<SequenceAutomaton>(d));
    case domain_index::kCollection: return complement_collection_domain(std::get<CollectionDomain>(d));
    default: return complement_record_domain(std::get<RecordDomain>(d));
  }
}

}  // namespace

std::pair<Line, Line> complement_line(const Line& line, uint8_t code) {
  Line c1 = line_from_domain(complement_domain(line.domain));
  Line c2 = kind_top_line(code);
  c2.clauses = line.clauses;
  c2.clauses_negated = line.clauses_negated ? 0 : 1;
  if (line.clauses.size() < 2) {
    // Small clause parts are made positive at once; a give-up keeps the
    // inverted flag, which means the same values.
    if (Outcome<ClauseList> positive = materialize_clauses(c2.clauses, c2.clauses_negated)) {
      c2.clauses = std::move(*positive);
      c2.clauses_negated = 0;
    }
  }
  return {std::move(c1), std::move(c2)};
}

Outcome<std::vector<Line>> complement_lines(const std::vector<Line>& lines, uint8_t code) {
  return subtract_lines({kind_top_line(code)}, lines, code);
}

}  // namespace tessolin::descr

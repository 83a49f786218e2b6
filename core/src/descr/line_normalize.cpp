// normalize_lines: the normal form of a Line list. Lines proved empty are
// dropped; a Line whose clause part equals an earlier kept Line's is merged
// into it by joining domains (a failed join keeps both); the rest is sorted
// by line_order and deduplicated by line_eq (never by order == 0: integer
// sets are equal semantically, ordered by representation). Spends no fuel of
// its own; the emptiness tests may. Tested by core/tests/descr.
#include <algorithm>
#include <utility>

#include "descr/descriptor_order.hpp"
#include "descr/domain_combine.hpp"
#include "descr/emptiness.hpp"

namespace tessolin::descr {
namespace {

bool same_clause_part(const Line& a, const Line& b) {
  return a.clauses_negated == b.clauses_negated &&
         std::equal(a.clauses.begin(), a.clauses.end(), b.clauses.begin(), b.clauses.end(), clause_eq);
}

// Merges `line` into the first kept Line with the same clause part; false
// when there is none or the domain join gives up.
bool merge_into_kept(std::vector<Line>& kept, const Line& line) {
  auto same = std::find_if(kept.begin(), kept.end(), [&](const Line& k) { return same_clause_part(k, line); });
  if (same == kept.end()) return false;
  Outcome<Domain> joined = combine_domains(same->domain, line.domain, CombineMode::Join);
  if (!joined) return false;
  same->domain = std::move(*joined);
  return true;
}

}  // namespace

Outcome<std::vector<Line>> normalize_lines(std::vector<Line> lines) {
  std::vector<Line> kept;
  kept.reserve(lines.size());
  for (Line& line : lines) {
    if (line_is_empty(line)) continue;
    if (!merge_into_kept(kept, line)) kept.push_back(std::move(line));
  }
  if (kept.size() >= 2) {
    std::stable_sort(kept.begin(), kept.end(), [](const Line& a, const Line& b) { return line_order(a, b) < 0; });
    std::vector<Line> unique;
    unique.reserve(kept.size());
    for (Line& line : kept) {
      if (unique.empty() || !line_eq(unique.back(), line)) unique.push_back(std::move(line));
    }
    kept = std::move(unique);
  }
  if (kept.size() > kMaxNormalizedItems) return kGaveUp;
  return kept;
}

}  // namespace tessolin::descr

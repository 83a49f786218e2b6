// The emptiness decision of descriptors, slots, lines and domains. Lists fold
// with fold_emptiness (the first Inhabited item ends the walk). Clause rules
// are in clause_emptiness.cpp; the sequence, collection and record domains
// are decided by their own code. Tested by core/tests/descr.
#include "descr/collection_shape.hpp"
#include "descr/domain_combine.hpp"
#include "descr/emptiness.hpp"
#include "descr/record_shape.hpp"
#include "descr/sequence_automaton.hpp"

namespace tessolin::descr {
namespace {

Emptiness proved(bool inhabited) { return inhabited ? Emptiness::Inhabited : Emptiness::Empty; }

Emptiness lines_emptiness(const std::vector<Line>& lines, uint8_t code) {
  return list_emptiness(lines, [code](const Line& line) { return line_emptiness(line, code); });
}

}  // namespace

Emptiness descriptor_emptiness(const Descriptor& d) {
  // Other first; its answer counts only after None..Dict are walked.
  const Emptiness other = slot_emptiness(d.slots[kOtherSlot], kOtherCode);
  Emptiness answer = Emptiness::Empty;
  for (size_t i = 0; i < kOtherSlot; ++i) {
    answer = fold_emptiness(answer, slot_emptiness(d.slots[i], slot_code(i)));
    if (answer == Emptiness::Inhabited) return answer;
  }
  return fold_emptiness(answer, other);
}

Emptiness slot_emptiness(const KindSlot& slot, uint8_t code) {
  if (!slot.negated) return lines_emptiness(slot.lines, code);
  Outcome<std::vector<Line>> positive = complement_lines(slot.lines, code);
  if (!positive) return Emptiness::Undecided;
  return lines_emptiness(*positive, code);
}

Emptiness line_emptiness(const Line& line, uint8_t code) {
  // Both halves are decided, in this order, whatever the first says: each
  // may spend fuel, and the spending must not depend on the other.
  const Emptiness domain = domain_emptiness(line.domain);
  const Emptiness clauses = clause_list_emptiness(line.clauses, line.clauses_negated, code);
  if (domain == Emptiness::Empty || clauses == Emptiness::Empty) return Emptiness::Empty;
  if (domain == Emptiness::Inhabited && clauses == Emptiness::Inhabited) return Emptiness::Inhabited;
  return Emptiness::Undecided;
}

bool line_is_empty(const Line& line) { return line_emptiness(line, kAnyKind) == Emptiness::Empty; }

Emptiness domain_emptiness(const Domain& domain) {
  switch (domain.index()) {
    case domain_index::kFlag: return proved(std::get<FlagDomain>(domain).present != 0);
    case domain_index::kBoolMask: return proved((std::get<BoolMaskDomain>(domain).mask & 3) != 0);
    case domain_index::kIntegers: return proved(!integer_set_is_empty(std::get<IntegerSet>(domain)));
    // An interval between two adjacent floats holds none: the float set
    // steps open ends inward before it answers.
    case domain_index::kFloats: return proved(float_set_is_inhabited(std::get<FloatSet>(domain)));
    case domain_index::kAutomaton: return proved(!automaton_is_empty(*std::get<AutomatonDomain>(domain).automaton));
    case domain_index::kSequence: return sequence_domain_emptiness(std::get<SequenceAutomaton>(domain));
    case domain_index::kCollection: return collection_domain_emptiness(std::get<CollectionDomain>(domain));
    default: return record_domain_emptiness(std::get<RecordDomain>(domain));
  }
}

}  // namespace tessolin::descr

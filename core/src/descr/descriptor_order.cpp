// The canonical orders of descriptors, lines and domains (every variant,
// the sequence and collection payloads included; record shapes order in
// record_shape_order.cpp). Equalities are in descriptor_eq.cpp. Nested
// descriptors are compared recursively; their nesting is bounded by the
// lowering that built them.
// Tested by core/tests/descr.
#include <compare>
#include <utility>
#include <vector>

#include "descr/descriptor_order.hpp"
#include "descr/lexicographic.hpp"
#include "descr/record_shape.hpp"

namespace tessolin::descr {
namespace {

std::strong_ordering automaton_domain_order(const AutomatonDomain& a, const AutomatonDomain& b) {
  if (a.automaton == b.automaton) return std::strong_ordering::equal;
  return automaton_order(*a.automaton, *b.automaton);
}

std::strong_ordering position_order(const std::vector<SequenceTransition>& a,
                                    const std::vector<SequenceTransition>& b) {
  return lexicographic(a, b, sequence_transition_order);
}

std::strong_ordering same_variant_order(const Domain& a, const Domain& b) {
  switch (a.index()) {
    case domain_index::kFlag: return std::get<FlagDomain>(a).present <=> std::get<FlagDomain>(b).present;
    case domain_index::kBoolMask: return std::get<BoolMaskDomain>(a).mask <=> std::get<BoolMaskDomain>(b).mask;
    case domain_index::kIntegers: return integer_set_order(std::get<IntegerSet>(a), std::get<IntegerSet>(b));
    case domain_index::kFloats: return float_set_order(std::get<FloatSet>(a), std::get<FloatSet>(b));
    case domain_index::kAutomaton:
      return automaton_domain_order(std::get<AutomatonDomain>(a), std::get<AutomatonDomain>(b));
    case domain_index::kSequence: return sequence_order(std::get<SequenceAutomaton>(a), std::get<SequenceAutomaton>(b));
    case domain_index::kCollection:
      return collection_domain_order(std::get<CollectionDomain>(a), std::get<CollectionDomain>(b));
    default: return record_domain_order(std::get<RecordDomain>(a), std::get<RecordDomain>(b));
  }
}

std::strong_ordering slot_order(const KindSlot& a, const KindSlot& b) {
  if (auto c = lexicographic(a.lines, b.lines, line_order); c != 0) return c;
  return a.negated <=> b.negated;
}

}  // namespace

std::strong_ordering sequence_transition_order(const SequenceTransition& a, const SequenceTransition& b) {
  if (auto c = optional_descriptor_order(a.label, b.label); c != 0) return c;
  return a.target <=> b.target;
}

std::strong_ordering sequence_order(const SequenceAutomaton& a, const SequenceAutomaton& b) {
  if (auto c = lexicographic(a.positions, b.positions, position_order); c != 0) return c;
  return lexicographic(a.accepting, b.accepting, three_way);
}

std::strong_ordering collection_shape_order(const CollectionShape& a, const CollectionShape& b) {
  if (auto c = optional_descriptor_order(a.bound, b.bound); c != 0) return c;
  return lexicographic(a.not_within, b.not_within, optional_descriptor_order);
}

std::strong_ordering collection_domain_order(const CollectionDomain& a, const CollectionDomain& b) {
  if (auto c = lexicographic(a.shapes, b.shapes, collection_shape_order); c != 0) return c;
  return a.negated <=> b.negated;
}

std::strong_ordering domain_order(const Domain& a, const Domain& b) {
  if (auto c = a.index() <=> b.index(); c != 0) return c;
  return same_variant_order(a, b);
}

std::strong_ordering line_order(const Line& a, const Line& b) {
  if (auto c = domain_order(a.domain, b.domain); c != 0) return c;
  if (auto c = lexicographic(a.clauses, b.clauses, clause_order); c != 0) return c;
  return a.clauses_negated <=> b.clauses_negated;
}

std::strong_ordering descriptor_order(const Descriptor& a, const Descriptor& b) {
  if (&a == &b) return std::strong_ordering::equal;
  return lexicographic(a.slots, b.slots, slot_order);
}

std::strong_ordering optional_descriptor_order(const OptionalDescriptor& a, const OptionalDescriptor& b) {
  if (a == b) return std::strong_ordering::equal;
  if (!a) return std::strong_ordering::less;
  if (!b) return std::strong_ordering::greater;
  return descriptor_order(*a, *b);
}

}  // namespace tessolin::descr

// Equalities of descriptors, lines and domains. Integer sets compare
// semantically (integer_set_eq), float sets by value (-0.0 is 0.0), automata
// by handle or content, nested descriptors by content. Orders are in
// descriptor_order.cpp. Tested by core/tests/descr.
#include <algorithm>
#include <utility>
#include <vector>

#include "descr/descriptor_order.hpp"
#include "descr/record_shape.hpp"

namespace tessolin::descr {
namespace {

template <class RangeA, class RangeB, class Equal>
bool all_equal(const RangeA& a, const RangeB& b, Equal equal) {
  return std::equal(std::begin(a), std::end(a), std::begin(b), std::end(b), equal);
}

bool transition_eq(const SequenceTransition& a, const SequenceTransition& b) {
  return a.target == b.target && optional_descriptor_eq(a.label, b.label);
}

bool position_eq(const std::vector<SequenceTransition>& a, const std::vector<SequenceTransition>& b) {
  return all_equal(a, b, transition_eq);
}

bool same_variant_eq(const Domain& a, const Domain& b) {
  switch (a.index()) {
    case domain_index::kFlag: return std::get<FlagDomain>(a).present == std::get<FlagDomain>(b).present;
    case domain_index::kBoolMask: return std::get<BoolMaskDomain>(a).mask == std::get<BoolMaskDomain>(b).mask;
    case domain_index::kIntegers: return integer_set_eq(std::get<IntegerSet>(a), std::get<IntegerSet>(b));
    case domain_index::kFloats: return float_set_eq(std::get<FloatSet>(a), std::get<FloatSet>(b));
    case domain_index::kAutomaton: {
      const AutomatonHandle& x = std::get<AutomatonDomain>(a).automaton;
      const AutomatonHandle& y = std::get<AutomatonDomain>(b).automaton;
      return x == y || automaton_eq(*x, *y);
    }
    case domain_index::kSequence: return sequence_eq(std::get<SequenceAutomaton>(a), std::get<SequenceAutomaton>(b));
    case domain_index::kCollection:
      return collection_domain_eq(std::get<CollectionDomain>(a), std::get<CollectionDomain>(b));
    default: return record_domain_eq(std::get<RecordDomain>(a), std::get<RecordDomain>(b));
  }
}

bool slot_eq(const KindSlot& a, const KindSlot& b) {
  return a.negated == b.negated && all_equal(a.lines, b.lines, line_eq);
}

}  // namespace

bool sequence_eq(const SequenceAutomaton& a, const SequenceAutomaton& b) {
  return a.accepting == b.accepting && all_equal(a.positions, b.positions, position_eq);
}

bool collection_shape_eq(const CollectionShape& a, const CollectionShape& b) {
  return optional_descriptor_eq(a.bound, b.bound) && all_equal(a.not_within, b.not_within, optional_descriptor_eq);
}

bool collection_domain_eq(const CollectionDomain& a, const CollectionDomain& b) {
  return a.negated == b.negated && all_equal(a.shapes, b.shapes, collection_shape_eq);
}

bool domain_eq(const Domain& a, const Domain& b) { return a.index() == b.index() && same_variant_eq(a, b); }

bool line_eq(const Line& a, const Line& b) {
  return a.clauses_negated == b.clauses_negated && domain_eq(a.domain, b.domain) &&
         all_equal(a.clauses, b.clauses, clause_eq);
}

bool descriptor_eq(const Descriptor& a, const Descriptor& b) {
  return &a == &b || all_equal(a.slots, b.slots, slot_eq);
}

bool optional_descriptor_eq(const OptionalDescriptor& a, const OptionalDescriptor& b) {
  if (a == b) return true;
  if (!a || !b) return false;
  return descriptor_eq(*a, *b);
}

}  // namespace tessolin::descr

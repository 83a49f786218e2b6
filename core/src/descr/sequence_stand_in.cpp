// Stand-ins for the sequence and collection domains until they are built:
// every step that cannot be done soundly without them gives up, and the
// complements take the always-valid road.
#include "descr/collection_shape.hpp"
#include "descr/sequence_automaton.hpp"
#include "descr/sequence_lowering.hpp"

namespace tessolin::descr {

Outcome<SequenceAutomaton> sequence_product(const SequenceAutomaton&, const SequenceAutomaton&, CombineMode) {
  return kGaveUp;
}
SequenceAutomaton merge_transitions_by_target(SequenceAutomaton a) { return a; }
SequenceAutomaton normalize_sequence_automaton(SequenceAutomaton a) { return a; }
bool sequence_is_inhabited(const SequenceAutomaton&, bool strict) { return !strict; }
Emptiness sequence_domain_emptiness(const SequenceAutomaton&) { return Emptiness::Undecided; }

Outcome<std::vector<CollectionShape>> compact_collection_shapes(std::vector<CollectionShape>) { return kGaveUp; }
Outcome<std::vector<CollectionShape>> materialize_collection_negation(const CollectionDomain&) { return kGaveUp; }
Outcome<CollectionDomain> meet_collection_domains(const CollectionDomain&, const CollectionDomain&) {
  return kGaveUp;
}
CollectionDomain complement_collection_domain(const CollectionDomain& d) {
  CollectionDomain out = d;
  out.negated ^= 1;
  return out;
}
Emptiness collection_domain_emptiness(const CollectionDomain&) { return Emptiness::Undecided; }

Outcome<Descriptor> lower_sequence_node(const ir::SchemaNode&, ir::Oracle&, uint32_t&, uint32_t) { return kGaveUp; }
Outcome<Descriptor> lower_collection_node(const ir::SchemaNode&, ir::Oracle&, uint32_t&, uint32_t) { return kGaveUp; }
Outcome<Descriptor> min_length_sequences(uint64_t, uint8_t) { return kGaveUp; }
Outcome<Descriptor> max_length_sequences(uint64_t, uint8_t) { return kGaveUp; }

}  // namespace tessolin::descr

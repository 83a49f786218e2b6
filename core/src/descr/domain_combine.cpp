// combine_domains: the join or meet of two domains of one variant, handed to
// the domain's own operations. Spends no fuel of its own (a sequence product
// does, by its rules). Tested by core/tests/descr.
#include <utility>

#include "descr/domain_combine.hpp"

namespace tessolin::descr {
namespace {

template <class T>
Outcome<Domain> as_domain(Outcome<T> value) {
  if (!value) return kGaveUp;
  return Domain{std::move(*value)};
}

Outcome<Domain> combine_automata(const AutomatonDomain& a, const AutomatonDomain& b, CombineMode mode) {
  // Canonical automata: the union or meet of one with itself is itself.
  if (a.automaton == b.automaton) return Domain{a};
  Outcome<AutomatonHandle> out = mode == CombineMode::Join ? automaton_union(*a.automaton, *b.automaton)
                                                          : meet_byte_automata(*a.automaton, *b.automaton);
  if (!out || !*out) return kGaveUp;
  return Domain{AutomatonDomain{std::move(*out)}};
}

// A join with a negated side is the complement of the meet of the
// complements.
Outcome<Domain> combine_collections(const CollectionDomain& a, const CollectionDomain& b, CombineMode mode) {
  if (mode == CombineMode::Meet) return as_domain(meet_collection_domains(a, b));
  if (!a.negated && !b.negated) {
    std::vector<CollectionShape> shapes = a.shapes;
    shapes.insert(shapes.end(), b.shapes.begin(), b.shapes.end());
    Outcome<std::vector<CollectionShape>> compacted = compact_collection_shapes(std::move(shapes));
    if (!compacted) return kGaveUp;
    return Domain{CollectionDomain{std::move(*compacted), 0}};
  }
  Outcome<CollectionDomain> met = meet_collection_domains(complement_collection_domain(a), complement_collection_domain(b));
  if (!met) return kGaveUp;
  return Domain{complement_collection_domain(*met)};
}

Outcome<Domain> combine_records(const RecordDomain& a, const RecordDomain& b, CombineMode mode) {
  if (mode == CombineMode::Meet) return as_domain(meet_record_domains(a, b));
  if (!a.negated && !b.negated) {
    std::vector<RecordShape> shapes = a.shapes;
    shapes.insert(shapes.end(), b.shapes.begin(), b.shapes.end());
    Outcome<std::vector<RecordShape>> normalized = normalize_record_shapes(std::move(shapes));
    if (!normalized) return kGaveUp;
    return Domain{RecordDomain{std::move(*normalized), 0}};
  }
  Outcome<RecordDomain> met = meet_record_domains(complement_record_domain(a), complement_record_domain(b));
  if (!met) return kGaveUp;
  return Domain{complement_record_domain(*met)};
}

}  // namespace

Outcome<Domain> combine_domains(const Domain& a, const Domain& b, CombineMode mode) {
  if (a.index() != b.index()) return kGaveUp;
  const bool join = mode == CombineMode::Join;
  switch (a.index()) {
    case domain_index::kFlag: {
      uint8_t x = std::get<FlagDomain>(a).present;
      uint8_t y = std::get<FlagDomain>(b).present;
      return Domain{FlagDomain{static_cast<uint8_t>(join ? (x | y) : (x & y))}};
    }
    case domain_index::kBoolMask: {
      uint8_t x = std::get<BoolMaskDomain>(a).mask;
      uint8_t y = std::get<BoolMaskDomain>(b).mask;
      return Domain{BoolMaskDomain{static_cast<uint8_t>(join ? (x | y) : (x & y))}};
    }
    case domain_index::kIntegers: {
      const IntegerSet& x = std::get<IntegerSet>(a);
      const IntegerSet& y = std::get<IntegerSet>(b);
      return as_domain(join ? integer_set_join(x, y) : integer_set_meet(x, y));
    }
    case domain_index::kFloats: {
      const FloatSet& x = std::get<FloatSet>(a);
      const FloatSet& y = std::get<FloatSet>(b);
      return Domain{join ? float_set_union(x, y) : float_set_intersection(x, y)};
    }
    case domain_index::kAutomaton:
      return combine_automata(std::get<AutomatonDomain>(a), std::get<AutomatonDomain>(b), mode);
    case domain_index::kSequence:
      return as_domain(sequence_product(std::get<SequenceAutomaton>(a), std::get<SequenceAutomaton>(b), mode));
    case domain_index::kCollection:
      return combine_collections(std::get<CollectionDomain>(a), std::get<CollectionDomain>(b), mode);
    default: return combine_records(std::get<RecordDomain>(a), std::get<RecordDomain>(b), mode);
  }
}

}  // namespace tessolin::descr

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

// The join of two collection or record domains: both positive, their
// shapes one after the other, normalised; otherwise the complement of the
// meet of the complements.
template <class ShapeDomain, class Normalize, class Meet, class Complement>
Outcome<Domain> join_shape_domains(const ShapeDomain& a, const ShapeDomain& b, Normalize normalize, Meet meet,
                                   Complement complement) {
  if (!a.negated && !b.negated) {
    auto shapes = a.shapes;
    shapes.insert(shapes.end(), b.shapes.begin(), b.shapes.end());
    auto normalized = normalize(std::move(shapes));
    if (!normalized) return kGaveUp;
    return Domain{ShapeDomain{std::move(*normalized), 0}};
  }
  Outcome<ShapeDomain> met = meet(complement(a), complement(b));
  if (!met) return kGaveUp;
  return Domain{complement(*met)};
}

Outcome<Domain> combine_collections(const CollectionDomain& a, const CollectionDomain& b, CombineMode mode) {
  if (mode == CombineMode::Meet) return as_domain(meet_collection_domains(a, b));
  return join_shape_domains(a, b, compact_collection_shapes, meet_collection_domains, complement_collection_domain);
}

Outcome<Domain> combine_records(const RecordDomain& a, const RecordDomain& b, CombineMode mode) {
  if (mode == CombineMode::Meet) return as_domain(meet_record_domains(a, b));
  return join_shape_domains(a, b, normalize_record_shapes, meet_record_domains, complement_record_domain);
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

// Complement, pairwise meet and materialisation of collection shapes, and
// the meet and complement of whole collection domains
// (collection_shape.hpp). Private: the full shape list and the
// meet-with-complements fold. Tested by core/tests/descr_sequence.
#include "descr/collection_shape.hpp"
#include "descr/pairwise_product.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

// Every set of the kind.
std::vector<CollectionShape> full_shape_list() { return {CollectionShape{}}; }

// acc minus each shape of `removed`, in order.
Outcome<std::vector<CollectionShape>> subtract_shapes(std::vector<CollectionShape> acc,
                                                      const std::vector<CollectionShape>& removed) {
  for (const CollectionShape& s : removed) {
    Outcome<std::vector<CollectionShape>> next = meet_collection_shapes(acc, complement_collection_shape(s));
    if (!next) return kGaveUp;
    acc = std::move(*next);
  }
  return acc;
}

}  // namespace

std::vector<CollectionShape> complement_collection_shape(const CollectionShape& shape) {
  std::vector<CollectionShape> out;
  out.reserve(1 + shape.not_within.size());
  out.push_back(CollectionShape{nullptr, {shape.bound}});  // some element outside the bound
  for (const OptionalDescriptor& y : shape.not_within) out.push_back(CollectionShape{y, {}});  // all inside y
  return out;
}

Outcome<std::vector<CollectionShape>> meet_collection_shapes(const std::vector<CollectionShape>& a,
                                                             const std::vector<CollectionShape>& b) {
  auto meet_pair = [](const CollectionShape& x, const CollectionShape& y) -> Outcome<CollectionShape> {
    Outcome<OptionalDescriptor> bound = meet_labels(x.bound, y.bound);
    if (!bound) return kGaveUp;
    CollectionShape met{std::move(*bound), x.not_within};
    met.not_within.insert(met.not_within.end(), y.not_within.begin(), y.not_within.end());
    return met;
  };
  return pairwise_product<CollectionShape>(a, b, meet_pair, compact_collection_shapes);
}

Outcome<std::vector<CollectionShape>> materialize_collection_negation(const CollectionDomain& d) {
  if (!d.negated) return d.shapes;
  return subtract_shapes(full_shape_list(), d.shapes);
}

Outcome<CollectionDomain> meet_collection_domains(const CollectionDomain& a, const CollectionDomain& b) {
  std::vector<CollectionShape> acc;
  if (!a.negated && !b.negated) {
    Outcome<std::vector<CollectionShape>> met = meet_collection_shapes(a.shapes, b.shapes);
    if (!met) return kGaveUp;
    acc = std::move(*met);
  } else if (!b.negated) {
    acc = b.shapes;
  } else if (!a.negated) {
    acc = a.shapes;
  } else {
    acc = full_shape_list();
  }
  for (const CollectionDomain* d : {&a, &b}) {
    if (!d->negated) continue;
    Outcome<std::vector<CollectionShape>> rest = subtract_shapes(std::move(acc), d->shapes);
    if (!rest) return kGaveUp;
    acc = std::move(*rest);
  }
  return CollectionDomain{std::move(acc), 0};
}

CollectionDomain complement_collection_domain(const CollectionDomain& d) {
  CollectionDomain flipped{d.shapes, static_cast<uint8_t>(d.negated ^ 1)};
  if (d.shapes.size() >= 2) return flipped;  // the negation stays lazy
  if (Outcome<std::vector<CollectionShape>> positive = materialize_collection_negation(flipped))
    return CollectionDomain{std::move(*positive), 0};
  return flipped;
}

}  // namespace tessolin::descr

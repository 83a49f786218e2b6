// Meet of record shape lists (pairwise, under fuel, compacted as it grows),
// the positive form of a negated record domain, and the meet of domains.
// Tested by core/tests/descr_record.
#include <algorithm>

#include "descr/pairwise_product.hpp"
#include "descr/record_shape.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

// The shape admitting exactly the dicts of both `a` and `b`.
Outcome<RecordShape> meet_shape_pair(const RecordShape& a, const RecordShape& b) {
  RecordShape out;
  // A key listed by one side only meets the other side's kind entry.
  auto add_key = [&](const LiteralKey& key) -> bool {
    if (out.keys.contains(key)) return true;
    KeyEntry x = shape_key_value(a, key);
    KeyEntry y = shape_key_value(b, key);
    const auto absent = static_cast<uint8_t>(x.absent_allowed & y.absent_allowed);
    Outcome<OptionalDescriptor> value = meet_labels(x.value, y.value);
    if (!value) return false;
    if (x.forms_alike() && y.forms_alike()) {
      out.keys.emplace(key, KeyEntry{std::move(*value), absent});
      return true;
    }
    Outcome<OptionalDescriptor> subclass_value = meet_labels(x.subclass_value, y.subclass_value);
    if (!subclass_value) return false;
    out.keys.emplace(key, KeyEntry{std::move(*value), std::move(*subclass_value), absent});
    return true;
  };
  for (const auto& item : a.keys) {
    if (!add_key(item.first)) return kGaveUp;
  }
  for (const auto& item : b.keys) {
    if (!add_key(item.first)) return kGaveUp;
  }
  for (uint64_t i = 0; i < key_kind::kCount; ++i) {
    Outcome<OptionalDescriptor> value = meet_labels(a.kind_entries[i].value, b.kind_entries[i].value);
    if (!value) return kGaveUp;
    out.kind_entries[i] = KeyEntry{
        std::move(*value), static_cast<uint8_t>(a.kind_entries[i].absent_allowed & b.kind_entries[i].absent_allowed)};
  }
  out.selectors = a.selectors;
  out.selectors.insert(out.selectors.end(), b.selectors.begin(), b.selectors.end());
  std::stable_sort(out.selectors.begin(), out.selectors.end(),
                   [](const KeySelector& x, const KeySelector& y) { return key_selector_order(x, y) < 0; });
  auto last = std::unique(out.selectors.begin(), out.selectors.end(), key_selector_eq);
  out.selectors.erase(last, out.selectors.end());
  return out;
}

// acc := acc meet complement(shape).
bool meet_with_complement(std::vector<RecordShape>& acc, const RecordShape& shape) {
  Outcome<std::vector<RecordShape>> next = meet_record_shapes(acc, complement_record_shape(shape));
  if (!next) return false;
  acc = std::move(*next);
  return true;
}

}  // namespace

Outcome<std::vector<RecordShape>> meet_record_shapes(const std::vector<RecordShape>& a,
                                                     const std::vector<RecordShape>& b) {
  if (a.empty() || b.empty()) return std::vector<RecordShape>{};
  return pairwise_product<RecordShape>(a, b, meet_shape_pair, normalize_record_shapes);
}

Outcome<std::vector<RecordShape>> materialize_record_negation(const RecordDomain& d) {
  if (!d.negated) return d.shapes;
  std::vector<RecordShape> acc{full_record_shape()};
  for (const RecordShape& shape : d.shapes) {
    if (!meet_with_complement(acc, shape)) return kGaveUp;
  }
  return acc;
}

Outcome<RecordDomain> meet_record_domains(const RecordDomain& a, const RecordDomain& b) {
  std::vector<RecordShape> acc;
  if (!a.negated && !b.negated) {
    Outcome<std::vector<RecordShape>> met = meet_record_shapes(a.shapes, b.shapes);
    if (!met) return kGaveUp;
    acc = std::move(*met);
  } else if (a.negated && !b.negated) {
    acc = b.shapes;
  } else if (!a.negated && b.negated) {
    acc = a.shapes;
  } else {
    acc.push_back(full_record_shape());
  }
  for (const RecordDomain* side : {&a, &b}) {
    if (!side->negated) continue;
    for (const RecordShape& shape : side->shapes) {
      if (!meet_with_complement(acc, shape)) return kGaveUp;
    }
  }
  return RecordDomain{std::move(acc), 0};
}

}  // namespace tessolin::descr

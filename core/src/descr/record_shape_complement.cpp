// Complement of one record shape as a union of shapes, one per condition a
// dict can break, and the complement of a record domain.
// Tested by core/tests/descr_record.
#include <cassert>

#include "descr/descriptor.hpp"
#include "descr/record_shape.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

// C(V): no value for "every value", every value (null) for no value, else
// the complement (which spends a fuel unit while any is left and never
// gives up).
OptionalDescriptor complement_value(const OptionalDescriptor& value) {
  if (!value) return shared_nothing();
  if (value == shared_nothing()) return nullptr;
  return complement_shared(value);
}

// Dicts that lack listed key `key` where the shape requires it, or hold it
// in either form with a value outside that form's value.
RecordShape breaking_listed_key(const LiteralKey& key, const KeyEntry& entry) {
  RecordShape shape = full_record_shape();
  const auto absent = static_cast<uint8_t>(1 - entry.absent_allowed);
  // The key's two forms exclude each other, so the breaks of each are
  // complemented apart.
  if (entry.forms_alike()) {
    shape.keys.emplace(key, KeyEntry{complement_value(entry.value), absent});
  } else {
    shape.keys.emplace(key,
                       KeyEntry{complement_value(entry.value), complement_value(entry.subclass_value), absent});
  }
  return shape;
}

// Dicts with some unlisted key of kind `index` whose value is outside the
// kind entry.
RecordShape breaking_kind_entry(const RecordShape& shape, uint64_t index, const std::set<LiteralKey>& listed) {
  RecordShape out = shape_with_open_keys(shape);
  out.selectors.push_back(KeySelector{index, complement_value(shape.kind_entries[index].value), listed});
  return out;
}

// Dicts in which no key of the selector's kind outside its excluded set has
// a value in its descriptor.
RecordShape breaking_selector(const RecordShape& shape, const KeySelector& selector) {
  RecordShape out = shape_with_open_keys(shape);
  // A selector of no key kind is met by no dict: every dict breaks it.
  if (selector.kind_index >= key_kind::kCount) return out;
  OptionalDescriptor outside = complement_value(selector.descriptor);
  out.kind_entries[selector.kind_index] = KeyEntry{outside, 1};
  // Excluded keys the shape does not list stay free of the new kind entry.
  for (const LiteralKey& key : selector.excluded) {
    if (key_kind_of(key) == selector.kind_index) out.keys.emplace(key, KeyEntry{nullptr, 1});
  }
  for (const auto& [key, entry] : shape.keys) {
    if (key_kind_of(key) == selector.kind_index && !selector.excluded.contains(key)) {
      out.keys[key] = KeyEntry{outside, 1};
    }
  }
  return out;
}

}  // namespace

std::vector<RecordShape> complement_record_shape(const RecordShape& shape) {
  std::vector<RecordShape> out;
  out.reserve(shape.keys.size() + key_kind::kCount + shape.selectors.size());
  for (const auto& [key, entry] : shape.keys) out.push_back(breaking_listed_key(key, entry));
  std::set<LiteralKey> listed;
  for (const auto& item : shape.keys) listed.insert(listed.end(), item.first);
  for (uint64_t index = 0; index < key_kind::kCount; ++index) out.push_back(breaking_kind_entry(shape, index, listed));
  for (const KeySelector& selector : shape.selectors) {
    assert(selector.kind_index < key_kind::kCount);
    out.push_back(breaking_selector(shape, selector));
  }
  return out;
}

RecordDomain complement_record_domain(const RecordDomain& d) {
  RecordDomain flipped{d.shapes, static_cast<uint8_t>(d.negated ^ 1)};
  if (flipped.shapes.size() >= 2) return flipped;
  Outcome<std::vector<RecordShape>> positive = materialize_record_negation(flipped);
  if (!positive) return flipped;
  return RecordDomain{std::move(*positive), 0};
}

}  // namespace tessolin::descr

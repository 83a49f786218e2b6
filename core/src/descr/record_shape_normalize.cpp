// Normal form of a record shape list: redundant optional keys dropped,
// shapes proved empty dropped, sorted, without repeats, at most
// kMaxNormalizedItems shapes. Spends no fuel itself; the emptiness tests
// spend what their descriptor operations spend.
// Tested by core/tests/descr_record.
#include <algorithm>

#include "descr/record_shape.hpp"

namespace tessolin::descr {

namespace {

// A listed key whose entry equals its kind entry constrains nothing that
// the kind entry does not: listed or not, the dict may hold it with a value
// of that entry or lack it. Required keys never qualify (kind entries have
// absent_allowed 1).
void drop_redundant_keys(RecordShape& shape) {
  std::erase_if(shape.keys, [&](const auto& item) {
    return key_entry_eq(item.second, shape.kind_entries[key_kind_of(item.first)]);
  });
}

}  // namespace

Outcome<std::vector<RecordShape>> normalize_record_shapes(std::vector<RecordShape> shapes) {
  std::vector<RecordShape> kept;
  kept.reserve(shapes.size());
  for (RecordShape& shape : shapes) {
    drop_redundant_keys(shape);
    if (record_shape_emptiness(shape) == Emptiness::Empty) continue;
    kept.push_back(std::move(shape));
  }
  if (kept.size() >= 2) {
    std::stable_sort(kept.begin(), kept.end(),
                     [](const RecordShape& a, const RecordShape& b) { return record_shape_order(a, b) < 0; });
    kept.erase(std::unique(kept.begin(), kept.end(), record_shape_eq), kept.end());
  }
  if (kept.size() > kMaxNormalizedItems) return kGaveUp;
  return kept;
}

}  // namespace tessolin::descr

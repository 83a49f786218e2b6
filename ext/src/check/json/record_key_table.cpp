#include "check/json/record_key_table.hpp"

namespace tessolin::check {

RecordKeyTable::RecordKeyTable(std::vector<std::string_view> names) : names_(std::move(names)) {
  if (names_.empty()) return;
  // At most half full, so probes stay short.
  uint64_t size = 4;
  while (size < 2 * names_.size()) size *= 2;
  slots_.assign(size, kNoName);
  mask_ = size - 1;
  for (size_t i = 0; i < names_.size(); ++i) {
    uint64_t slot = hash(names_[i]) & mask_;
    while (slots_[slot] != kNoName) slot = (slot + 1) & mask_;
    slots_[slot] = static_cast<int32_t>(i);
  }
}

}  // namespace tessolin::check

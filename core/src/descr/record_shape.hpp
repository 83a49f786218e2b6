// Record shapes: the dict domain.
//
// A dict is in a shape when (1) each listed key it has holds a value in its
// entry's value, and each listed key it lacks has absent_allowed; (2) each
// unlisted key of key-kind index i holds a value in kind_entries[i].value
// (null: anything; shared_nothing(): no such key may occur); (3) for each
// selector some key of its kind outside `excluded` holds a value in its
// descriptor. Keys are compared by exact type and value: Bool and Int keys
// differ here although a dict holds at most one of False/0 and True/1.
// Tested by core/tests/descr_record.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "descr/outcome.hpp"
#include "descr/shared_descriptor_handle.hpp"

namespace tessolin::descr {

// Key-kind indices of the nine kind entries.
namespace key_kind {
inline constexpr uint64_t kNone = 0;
inline constexpr uint64_t kBool = 1;
inline constexpr uint64_t kInt = 2;
inline constexpr uint64_t kFloat = 3;
inline constexpr uint64_t kStr = 4;
inline constexpr uint64_t kBytes = 5;
inline constexpr uint64_t kTuple = 6;
inline constexpr uint64_t kFrozenSet = 7;
inline constexpr uint64_t kOther = 8;
inline constexpr uint64_t kCount = 9;
}  // namespace key_kind

struct NoneKey {
  auto operator<=>(const NoneKey&) const = default;
};
struct BoolKey {
  uint8_t value = 0;  // 0 False, 1 True
  auto operator<=>(const BoolKey&) const = default;
};
struct IntKey {
  int64_t value = 0;
  auto operator<=>(const IntKey&) const = default;
};
struct TextKey {
  std::string bytes;  // UTF-8 for str
  uint8_t kind = 4;   // 4 str, 5 bytes
  auto operator<=>(const TextKey&) const = default;
};
// One dict key known by value; ordered by variant, then payload.
using LiteralKey = std::variant<NoneKey, BoolKey, IntKey, TextKey>;

struct KeyEntry {
  OptionalDescriptor value;  // null: any value
  uint8_t absent_allowed = 1;
};

struct KeySelector {
  uint64_t kind_index = 0;
  OptionalDescriptor descriptor;  // null: any value
  std::set<LiteralKey> excluded;
};

struct RecordShape {
  std::map<LiteralKey, KeyEntry> keys;
  std::array<KeyEntry, key_kind::kCount> kind_entries;
  std::vector<KeySelector> selectors;
};

// The union of the shapes; negated: every dict in none of them.
struct RecordDomain {
  std::vector<RecordShape> shapes;
  uint8_t negated = 0;
};

}  // namespace tessolin::descr

namespace tessolin::descr {

std::vector<RecordShape> complement_record_shape(const RecordShape& shape);
Outcome<std::vector<RecordShape>> meet_record_shapes(const std::vector<RecordShape>& a,
                                                     const std::vector<RecordShape>& b);
Outcome<std::vector<RecordShape>> materialize_record_negation(const RecordDomain& d);
Outcome<RecordDomain> meet_record_domains(const RecordDomain& a, const RecordDomain& b);
RecordDomain complement_record_domain(const RecordDomain& d);
Outcome<std::vector<RecordShape>> normalize_record_shapes(std::vector<RecordShape> shapes);
// Never gives up: a give-up inside is Undecided.
Emptiness record_shape_emptiness(const RecordShape& shape);
// Emptiness of a record domain (negated ones made positive first).
Emptiness record_domain_emptiness(const RecordDomain& d);

}  // namespace tessolin::descr

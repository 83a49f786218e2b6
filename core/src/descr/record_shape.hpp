// Record shapes: the dict domain.
//
// A dict is in a shape when (1) each listed key it has holds a value in its
// entry's value, and each listed key it lacks has absent_allowed; (2) each
// unlisted key of key-kind index i holds a value in kind_entries[i].value
// (null: anything; shared_nothing(): no such key may occur); (3) for each
// selector some key of its kind outside `excluded` holds a value in its
// descriptor. Keys are compared by exact type and value: Bool and Int keys
// differ here although a dict holds at most one of False/0 and True/1.
//
// A listed text key stands for every key equal to it: the key of exactly
// str (bytes) and the keys of proper subclasses equal to it (a StrEnum
// member, a str subclass instance), of which a dict holds at most one. A
// field is found by dict lookup and so takes either; a Literal key admits
// only the exact one, leaving the others to the clauses of its kind. The
// entry therefore holds a value for each of the two forms. Other keys have
// one form that counts: a subclass instance equal to a listed int key is
// governed by the kind entry in every lowered shape, so it behaves as a
// fresh unlisted key and the two values stay equal.
//
// Exports the types, the look-ups every record operation shares
// (record_shape.cpp), the orders (record_shape_order.cpp), the complement
// (record_shape_complement.cpp), the meet and materialisation
// (record_shape_meet.cpp), normalisation (record_shape_normalize.cpp) and
// emptiness (record_shape_emptiness.cpp).
// Tested by core/tests/descr_record.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
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
  OptionalDescriptor value;           // the key of exactly its type; null: any value
  OptionalDescriptor subclass_value;  // a text key of a proper subclass equal to it
  uint8_t absent_allowed = 1;

  KeyEntry() = default;
  // One value for both forms.
  KeyEntry(OptionalDescriptor v, uint8_t absent) : value(v), subclass_value(std::move(v)), absent_allowed(absent) {}
  KeyEntry(OptionalDescriptor v, OptionalDescriptor subclass, uint8_t absent)
      : value(std::move(v)), subclass_value(std::move(subclass)), absent_allowed(absent) {}

  // Whether the two forms hold the same handle, so the key acts as one.
  bool forms_alike() const noexcept { return value == subclass_value; }
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

// ---- look-ups (record_shape.cpp)

// The str key of a field name.
LiteralKey text_literal_key(std::string_view name);
// The key-kind index of a key: None 0, Bool 1, Int 2, Text its kind (4, 5).
uint64_t key_kind_of(const LiteralKey& key) noexcept;
// The key-kind index of a SlotKind code (0..5, 7, 9 and 255), or none for
// the kinds that cannot be dict keys (list, set, dict) and unknown codes.
std::optional<uint64_t> key_kind_of_code(uint8_t code) noexcept;
// The other numeric spelling of the same dict key: Bool False/True for Int
// 0/1 and back. None for every other key. A dict holds at most one of the two.
std::optional<LiteralKey> aliased_key(const LiteralKey& key);
// The entry for unlisted keys of SlotKind `code`; codes with no kind entry
// (and 255) give (shared_nothing, 1): listed keys are never of those kinds.
KeyEntry shape_slot_value(const RecordShape& shape, uint8_t code);
// The entry that constrains `key`: its own when listed, else its kind's.
KeyEntry shape_key_value(const RecordShape& shape, const LiteralKey& key);
// The shape admitting every dict: no keys, nine (null, 1) entries.
RecordShape full_record_shape();
// Same listed keys, each (null, 1); kind entries (null, 1); no selectors.
RecordShape shape_with_open_keys(const RecordShape& shape);

// ---- orders and equalities (record_shape_order.cpp); dedupe with the
// equalities, never with order == 0 (descriptor order compares forms).

std::strong_ordering key_entry_order(const KeyEntry& a, const KeyEntry& b);
std::strong_ordering key_selector_order(const KeySelector& a, const KeySelector& b);
std::strong_ordering record_shape_order(const RecordShape& a, const RecordShape& b);
std::strong_ordering record_domain_order(const RecordDomain& a, const RecordDomain& b);
bool key_entry_eq(const KeyEntry& a, const KeyEntry& b);
bool key_selector_eq(const KeySelector& a, const KeySelector& b);
bool record_shape_eq(const RecordShape& a, const RecordShape& b);
bool record_domain_eq(const RecordDomain& a, const RecordDomain& b);

// ---- set operations

// The shapes whose union is every dict outside `shape`: one per listed key,
// nine per kind entry, one per selector; not normalised. Never gives up;
// spends one fuel unit per complemented value while any is left.
std::vector<RecordShape> complement_record_shape(const RecordShape& shape);
// Pairwise meet, one fuel unit per pair, compacted past
// kLineCompactionThreshold and normalised.
Outcome<std::vector<RecordShape>> meet_record_shapes(const std::vector<RecordShape>& a,
                                                     const std::vector<RecordShape>& b);
// The positive shape list of a domain (a negated one folded from the full
// shape by meets with each shape's complement).
Outcome<std::vector<RecordShape>> materialize_record_negation(const RecordDomain& d);
// Never negated.
Outcome<RecordDomain> meet_record_domains(const RecordDomain& a, const RecordDomain& b);
// Eager for 0 or 1 shapes (when the materialisation succeeds), else the
// negated copy. Never gives up.
RecordDomain complement_record_domain(const RecordDomain& d);
// Drops redundant optional keys and proved-empty shapes, sorts, dedupes;
// more than kMaxNormalizedItems shapes gives up.
Outcome<std::vector<RecordShape>> normalize_record_shapes(std::vector<RecordShape> shapes);
// Never gives up: a give-up inside is Undecided. The selectors are decided
// together (a bounded search for one dict that meets all of them), so the
// answer accounts for keys shared by several selectors and for True/1 and
// False/0, of which a dict holds one.
Emptiness record_shape_emptiness(const RecordShape& shape);
// Emptiness of a record domain (negated ones made positive first).
Emptiness record_domain_emptiness(const RecordDomain& d);

}  // namespace tessolin::descr

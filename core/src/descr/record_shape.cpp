// Look-ups shared by the record operations: key kinds, aliases, the entry
// that constrains a key, and the full and opened shapes.
// Tested by core/tests/descr_record.
#include <cassert>
#include <utility>

#include "descr/descriptor.hpp"
#include "descr/record_shape.hpp"

namespace tessolin::descr {

LiteralKey text_literal_key(std::string_view name) {
  return TextKey{std::string(name), static_cast<uint8_t>(SlotKind::Str)};
}

uint64_t key_kind_of(const LiteralKey& key) noexcept {
  if (std::holds_alternative<NoneKey>(key)) return key_kind::kNone;
  if (std::holds_alternative<BoolKey>(key)) return key_kind::kBool;
  if (std::holds_alternative<IntKey>(key)) return key_kind::kInt;
  const TextKey& text = std::get<TextKey>(key);
  assert(text.kind == static_cast<uint8_t>(SlotKind::Str) || text.kind == static_cast<uint8_t>(SlotKind::Bytes));
  return text.kind == static_cast<uint8_t>(SlotKind::Bytes) ? key_kind::kBytes : key_kind::kStr;
}

std::optional<uint64_t> key_kind_of_code(uint8_t code) noexcept {
  constexpr std::pair<SlotKind, uint64_t> kKeyKinds[] = {
      {SlotKind::None, key_kind::kNone},     {SlotKind::Bool, key_kind::kBool},
      {SlotKind::Int, key_kind::kInt},       {SlotKind::Float, key_kind::kFloat},
      {SlotKind::Str, key_kind::kStr},       {SlotKind::Bytes, key_kind::kBytes},
      {SlotKind::Tuple, key_kind::kTuple},   {SlotKind::FrozenSet, key_kind::kFrozenSet},
      {SlotKind::Unknown, key_kind::kOther},
  };
  for (const auto& [kind, index] : kKeyKinds) {
    if (code == static_cast<uint8_t>(kind)) return index;
  }
  return std::nullopt;
}

std::optional<LiteralKey> aliased_key(const LiteralKey& key) {
  if (const auto* b = std::get_if<BoolKey>(&key)) return IntKey{b->value};
  if (const auto* i = std::get_if<IntKey>(&key); i && (i->value == 0 || i->value == 1)) {
    return BoolKey{static_cast<uint8_t>(i->value)};
  }
  return std::nullopt;
}

KeyEntry shape_slot_value(const RecordShape& shape, uint8_t code) {
  std::optional<uint64_t> index = key_kind_of_code(code);
  // Slot Other has an entry, but no listed key is ever of that kind, so no
  // look-up by code asks for it.
  if (!index || *index == key_kind::kOther) return KeyEntry{shared_nothing(), 1};
  return shape.kind_entries[*index];
}

KeyEntry shape_key_value(const RecordShape& shape, const LiteralKey& key) {
  auto it = shape.keys.find(key);
  if (it != shape.keys.end()) return it->second;
  return shape.kind_entries[key_kind_of(key)];
}

RecordShape full_record_shape() {
  RecordShape shape;
  for (KeyEntry& e : shape.kind_entries) e = KeyEntry{nullptr, 1};
  return shape;
}

RecordShape shape_with_open_keys(const RecordShape& shape) {
  RecordShape open = full_record_shape();
  for (const auto& [key, entry] : shape.keys) open.keys.emplace_hint(open.keys.end(), key, KeyEntry{nullptr, 1});
  return open;
}

}  // namespace tessolin::descr

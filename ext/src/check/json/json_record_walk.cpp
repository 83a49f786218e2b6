// JSON objects against records (membership only, json_walks.hpp). The
// parser keeps one member per key (the last value, at the first position),
// so every key is met once.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check/json/json_walks.hpp"
#include "check/json/record_key_table.hpp"
#include "check/precompute.hpp"
#include "check/walk/mapping.hpp"
#include "check/walk_node.hpp"

namespace tessolin::check {

namespace {

using json::JsonMember;
using json::JsonValue;

// Up to this many fields a name is found by comparing texts, which beats
// hashing the key.
constexpr size_t kScanFields = 8;
// Up to this many members a field's member is found by a scan.
constexpr size_t kScanMembers = 8;
constexpr size_t kNoField = static_cast<size_t>(-1);

// The field position a key names (the later of a repeated name), or kNoField.
size_t field_position(const ir::FieldList& fields, const NamePositions* positions, std::string_view key) {
  if (positions == nullptr || fields.size() <= kScanFields) {
    for (size_t i = fields.size(); i-- > 0;) {
      if (RecordKeyTable::same_text(fields[i].name.view(), key)) return i;
    }
    return kNoField;
  }
  auto it = positions->find(key);
  return it == positions->end() ? kNoField : static_cast<size_t>(it->second);
}

// Field slots on the stack for the usual record, on the heap beyond it.
class FieldSlots {
 public:
  explicit FieldSlots(size_t n) {
    if (n <= kInline) {
      std::fill(inline_, inline_ + n, nullptr);
      slots_ = inline_;
    } else {
      heap_.assign(n, nullptr);
      slots_ = heap_.data();
    }
  }
  const JsonValue*& operator[](size_t i) noexcept { return slots_[i]; }

 private:
  static constexpr size_t kInline = 32;
  const JsonValue* inline_[kInline];
  std::vector<const JsonValue*> heap_;
  const JsonValue** slots_;
};

// Closed or open records whose field names are distinct: one pass over the
// members into field slots, then one pass over the fields.
bool fast_road(const ir::FieldList& fields, bool closed, const RecordKeys& entry, const JsonValue& object,
               const WalkContext& sub) {
  FieldSlots slots(fields.size());
  for (const JsonMember& member : object.members()) {
    const size_t i = field_position(fields, &entry.positions, member.key.as_string());
    if (i == kNoField) {
      if (closed) return false;
      continue;
    }
    slots[i] = &member.value;
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    const JsonValue* value = slots[i];
    if (value == nullptr) {
      if (fields[i].required) return false;
      continue;
    }
    if (!walk_node(fields[i].schema, WalkInput::json(value), sub)) return false;
  }
  return true;
}

bool clauses_take(const ir::ClauseList& clauses, const JsonMember& member, const WalkContext& sub) {
  for (const ir::CatchAll& clause : clauses) {
    if (walk_node(clause.key, WalkInput::json(&member.key), sub) &&
        walk_node(clause.value, WalkInput::json(&member.value), sub)) {
      return true;
    }
    if (sub.shared->aborted()) return false;
  }
  return false;
}

bool general_road(const ir::FieldList& fields, const ir::ClauseList& clauses, const RecordKeys* entry,
                  const JsonValue& object, const WalkContext& sub) {
  const auto members = object.members();
  // Each field takes the value of its key (keys are distinct).
  std::unordered_map<std::string_view, const JsonValue*> by_key;
  if (members.size() > kScanMembers && !fields.empty()) {
    by_key.reserve(members.size());
    for (const JsonMember& m : members) by_key.emplace(m.key.as_string(), &m.value);
  }
  for (const ir::RecordField& field : fields) {
    const std::string_view name = field.name.view();
    const JsonValue* value = nullptr;
    if (by_key.empty()) {
      for (const JsonMember& m : members) {
        if (RecordKeyTable::same_text(m.key.as_string(), name)) {
          value = &m.value;
          break;
        }
      }
    } else if (auto it = by_key.find(name); it != by_key.end()) {
      value = it->second;
    }
    if (value == nullptr) {
      if (field.required) return false;
      continue;
    }
    if (!walk_node(field.schema, WalkInput::json(value), sub)) return false;
  }
  // Undeclared keys, each once.
  NamePositions local;
  const NamePositions* positions = entry ? &entry->positions : nullptr;
  if (positions == nullptr && fields.size() > kScanFields) {
    local = name_positions(fields);
    positions = &local;
  }
  const bool value_only =
      clauses.size() == 1 && (clauses[0].key.is(ir::NodeKind::Str) || clauses[0].key.is(ir::NodeKind::Anything));
  for (const JsonMember& member : members) {
    if (!fields.empty() && field_position(fields, positions, member.key.as_string()) != kNoField) continue;
    if (clauses.empty()) return false;
    // A JSON key is always a str, so such a clause takes every key.
    const bool ok = value_only ? walk_node(clauses[0].value, WalkInput::json(&member.value), sub)
                               : clauses_take(clauses, member, sub);
    if (!ok) return false;
  }
  return true;
}

bool json_mapping_member(const ir::SchemaNode& node, const JsonValue& object, const WalkContext& ctx) {
  MembershipScope scope(ctx);
  const ir::FieldList& fields = node.fields();
  const ir::ClauseList& clauses = node.clauses();
  const RecordKeys* entry = ctx.shared->tables ? ctx.shared->tables->find_record(fields) : nullptr;
  const ClauseShape shape = clause_shape(clauses);
  if (entry != nullptr && shape != ClauseShape::General && entry->positions.size() == fields.size()) {
    return fast_road(fields, shape == ClauseShape::Closed, *entry, object, scope.ctx);
  }
  return general_road(fields, clauses, entry, object, scope.ctx);
}

}  // namespace

bool walk_json_record(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
  assert(ctx.mode == WalkMode::Membership);
  const JsonValue& value = *input.json_value();
  return value.kind() == json::JsonKind::Object && json_mapping_member(node, value, ctx);
}

}  // namespace tessolin::check

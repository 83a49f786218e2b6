// Lowering of Record nodes: fields to listed keys, clauses to kind entries
// and listed keys, then one normalised shape in slot Dict.
// Private: the per-clause bookkeeping. Tested by core/tests/descr_record.
#include <map>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "descr/lowering.hpp"
#include "descr/record_lowering.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

using ir::NodeKind;

constexpr uint8_t code_of(SlotKind kind) { return static_cast<uint8_t>(kind); }

// The key kinds a scalar key schema admits (Int admits the bools too).
constexpr std::pair<NodeKind, SlotKind> kScalarKeyKinds[] = {
    {NodeKind::None, SlotKind::None},   {NodeKind::Bool, SlotKind::Bool},   {NodeKind::Int, SlotKind::Int},
    {NodeKind::Int, SlotKind::Bool},    {NodeKind::Float, SlotKind::Float}, {NodeKind::Str, SlotKind::Str},
    {NodeKind::Bytes, SlotKind::Bytes},
};
// Every key kind, as an Anything key admits them.
constexpr SlotKind kEveryKeyKind[] = {SlotKind::None,  SlotKind::Bool,      SlotKind::Int,
                                      SlotKind::Float, SlotKind::Str,       SlotKind::Bytes,
                                      SlotKind::Tuple, SlotKind::FrozenSet, SlotKind::Unknown};

Outcome<LiteralKey> literal_key(const ir::SchemaNode& node, ir::Oracle& oracle) {
  ir::LiteralValue v = oracle.literal_value(node.number());
  switch (v.tag) {
    case ir::answer_tag::kNone: return NoneKey{};
    case ir::answer_tag::kBool: return BoolKey{static_cast<uint8_t>(v.bool_value ? 1 : 0)};
    case ir::answer_tag::kInt: return IntKey{v.int_value};
    case ir::answer_tag::kText:
      if (v.text_kind != code_of(SlotKind::Str) && v.text_kind != code_of(SlotKind::Bytes)) return kGaveUp;
      return TextKey{std::move(v.text), v.text_kind};
    default:
      // Floats (1.0 is the key 1), classes and declined answers.
      return kGaveUp;
  }
}

// The codes of one key node that is neither a union nor a literal, or
// false when it does not lower.
bool kind_codes(NodeKind kind, std::vector<uint8_t>& codes) {
  if (kind == NodeKind::Anything) {
    for (SlotKind k : kEveryKeyKind) codes.push_back(code_of(k));
    return true;
  }
  if (kind == NodeKind::Nothing) return true;
  bool known = false;
  for (const auto& [node, slot] : kScalarKeyKinds) {
    if (node != kind) continue;
    codes.push_back(code_of(slot));
    known = true;
  }
  return known;
}

// Joins `value` into the accumulated value of a key or key kind.
bool join_into(SharedDescriptor& acc, const SharedDescriptor& value) {
  Outcome<SharedDescriptor> joined = join_shared(acc, value);
  if (!joined) return false;
  acc = std::move(*joined);
  return true;
}

struct LoweredField {
  LiteralKey key;
  KeyEntry entry;
};

// The fields as listed keys, and their names; gives up on a repeated name
// (the roads of the walk disagree on which field then decides). A field is
// found by dict lookup, so a key of a str subclass equal to its name is the
// field too: both forms of the key take the field's value.
Outcome<std::vector<LoweredField>> lower_fields(const ir::FieldList& fields, std::set<std::string_view>& names,
                                                ir::Oracle& oracle, uint32_t& allowance, uint32_t depth) {
  std::vector<LoweredField> out;
  for (const ir::RecordField& field : fields) {
    if (!names.insert(field.name.view()).second) return kGaveUp;
    Outcome<Descriptor> value = lower_node(field.schema, oracle, allowance, depth);
    if (!value) return kGaveUp;
    out.push_back(LoweredField{
        text_literal_key(field.name.view()),
        KeyEntry{make_shared_descriptor(std::move(*value)), static_cast<uint8_t>(field.required ? 0 : 1)}});
  }
  return out;
}

// What the clauses admit: the join of the values per key kind, and the
// values per key named by value.
struct ClauseValues {
  std::array<SharedDescriptor, key_kind::kCount> kinds;
  std::map<LiteralKey, std::vector<SharedDescriptor>> keys;
};

Outcome<ClauseValues> lower_clauses(const ir::ClauseList& clauses, ir::Oracle& oracle, uint32_t& allowance,
                                    uint32_t depth) {
  ClauseValues out;
  out.kinds.fill(shared_nothing());
  for (const ir::CatchAll& clause : clauses) {
    Outcome<Descriptor> lowered = lower_node(clause.value, oracle, allowance, depth);
    if (!lowered) return kGaveUp;
    Outcome<ClauseKeys> admitted = lower_record_pairs(clause.key, oracle);
    if (!admitted) return kGaveUp;
    SharedDescriptor value = make_shared_descriptor(std::move(*lowered));
    for (uint8_t code : admitted->codes) {
      std::optional<uint64_t> index = key_kind_of_code(code);
      if (index && !join_into(out.kinds[*index], value)) return kGaveUp;
    }
    for (LiteralKey& key : admitted->keys) out.keys[std::move(key)].push_back(value);
  }
  return out;
}

// A key some clause names by value is admitted with a value of any clause
// that admits it: its literal clauses and the clauses of its kind.
Outcome<SharedDescriptor> clause_key_value(const ClauseValues& clauses, const LiteralKey& key,
                                           const std::vector<SharedDescriptor>& values) {
  SharedDescriptor acc = clauses.kinds[key_kind_of(key)];
  for (const SharedDescriptor& value : values) {
    if (!join_into(acc, value)) return kGaveUp;
  }
  return acc;
}

Outcome<RecordShape> lowered_shape(const ir::FieldList& fields, const ir::ClauseList& clauses, ir::Oracle& oracle,
                                   uint32_t& allowance, uint32_t depth) {
  std::set<std::string_view> names;
  Outcome<std::vector<LoweredField>> listed = lower_fields(fields, names, oracle, allowance, depth);
  if (!listed) return kGaveUp;
  Outcome<ClauseValues> admitted = lower_clauses(clauses, oracle, allowance, depth);
  if (!admitted) return kGaveUp;
  RecordShape shape;
  for (uint64_t i = 0; i < key_kind::kCount; ++i) shape.kind_entries[i] = KeyEntry{admitted->kinds[i], 1};
  for (LoweredField& f : *listed) shape.keys.emplace(std::move(f.key), std::move(f.entry));
  for (const auto& [key, values] : admitted->keys) {
    // A declared field decides its key alone.
    if (shape.keys.contains(key)) continue;
    Outcome<SharedDescriptor> value = clause_key_value(*admitted, key, values);
    if (!value) return kGaveUp;
    // A Literal key admits only its exact type: a key of a str (bytes)
    // subclass equal to it goes to the clauses of its kind alone.
    if (std::holds_alternative<TextKey>(key)) {
      shape.keys.emplace(key, KeyEntry{std::move(*value), admitted->kinds[key_kind_of(key)], 1});
    } else {
      shape.keys.emplace(key, KeyEntry{std::move(*value), 1});
    }
  }
  return shape;
}

}  // namespace

Outcome<ClauseKeys> lower_record_pairs(const ir::SchemaNode& key, ir::Oracle& oracle) {
  ClauseKeys out;
  // Union members in order, nested unions included, without native recursion.
  std::vector<const ir::SchemaNode*> stack{&key};
  while (!stack.empty()) {
    const ir::SchemaNode* node = stack.back();
    stack.pop_back();
    if (node->is(NodeKind::Union)) {
      const ir::NodeList& members = node->members();
      for (size_t i = members.size(); i > 0; --i) stack.push_back(&members[i - 1]);
    } else if (node->is(NodeKind::Literal)) {
      Outcome<LiteralKey> literal = literal_key(*node, oracle);
      if (!literal) return kGaveUp;
      out.keys.push_back(std::move(*literal));
    } else if (!kind_codes(node->kind(), out.codes)) {
      return kGaveUp;
    }
  }
  return out;
}

Outcome<Descriptor> lower_record(const ir::FieldList& fields, const ir::ClauseList& clauses, ir::Oracle& oracle,
                                 uint32_t& allowance, uint32_t depth) {
  Outcome<RecordShape> shape = lowered_shape(fields, clauses, oracle, allowance, depth);
  if (!shape) return kGaveUp;
  std::vector<RecordShape> one;
  one.push_back(std::move(*shape));
  Outcome<std::vector<RecordShape>> normal = normalize_record_shapes(std::move(one));
  if (!normal) return kGaveUp;
  Descriptor out = empty_descriptor();
  if (!normal->empty()) set_single_line(out, code_of(SlotKind::Dict), RecordDomain{std::move(*normal), 0});
  return out;
}

Outcome<Descriptor> lower_record_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                      uint32_t depth) {
  if (!node.is(NodeKind::Record)) return kGaveUp;
  return lower_record(node.fields(), node.clauses(), oracle, allowance, depth);
}

}  // namespace tessolin::descr

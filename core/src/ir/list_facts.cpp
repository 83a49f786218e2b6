#include "ir/list_facts.hpp"

#include <algorithm>
#include <numeric>
#include <optional>

#include "ir/constructors.hpp"
#include "ir/node_order.hpp"

namespace tessolin::ir {

namespace {

ListFacts::LiteralRun scan_literal_run(const NodeList& list) {
  ListFacts::LiteralRun run;
  const size_t n = list.size();
  size_t i = 0;
  while (i < n && !list[i].is(NodeKind::Literal)) ++i;
  run.begin = i;
  while (i < n && list[i].is(NodeKind::Literal)) ++i;
  run.end = i;
  while (i < n && !list[i].is(NodeKind::Literal)) ++i;
  run.alone = i == n;
  return run;
}

bool indices_rise(const NodeList& list, ListFacts::LiteralRun run) {
  for (size_t i = run.begin + 1; i < run.end; ++i)
    if (list[i - 1].number() >= list[i].number()) return false;
  return true;
}

KindMask scan_known_kinds(const NodeList& list) {
  KindMask all = 0;
  for (const SchemaNode& m : list) {
    KindMaskResult r = kind_mask(m);
    if (!r.unknown) all |= r.mask;
  }
  return all;
}

MemberRole role_of(const SchemaNode& m, Oracle& oracle) {
  if (m.is(NodeKind::Nothing) || m.is(NodeKind::Union)) return {DisjointRole::Open, SlotKind::Unknown};
  if (m.is(NodeKind::Instance)) return {DisjointRole::Instance, SlotKind::Unknown};
  const SlotKind kind = node_slot_kind(m, oracle);
  if (m.is(NodeKind::Literal)) return {DisjointRole::Literal, kind};
  return {kind == SlotKind::Unknown ? DisjointRole::Inert : DisjointRole::Kinded, kind};
}

// The slot's value, learnt on first use.
template <class T, class Learn>
T remembered(std::optional<T>& slot, Learn learn) {
  if (!slot) slot = learn();
  return *slot;
}

// Role, then kind; Unknown (255) sorts last among kinds.
uint32_t group_key(MemberRole r) noexcept { return static_cast<uint32_t>(r.role) << 8 | static_cast<uint8_t>(r.kind); }
MemberRole role_of_key(uint32_t key) noexcept {
  return {static_cast<DisjointRole>(key >> 8), static_cast<SlotKind>(key & 0xff)};
}

}  // namespace

ListFacts::Entry* ListFacts::entry(const NodeList& list) {
  if (list.size() < long_list_) return nullptr;
  auto found = entries_.find(list.identity());
  if (found != entries_.end()) return &found->second;
  if (held_ + list.size() > kHeldMembers) return nullptr;
  held_ += list.size();
  Entry& e = entries_[list.identity()];
  e.list = list;
  return &e;
}

ListFacts::LiteralRun ListFacts::literal_run(const NodeList& list) {
  Entry* e = entry(list);
  return e ? remembered(e->run, [&] { return scan_literal_run(list); }) : scan_literal_run(list);
}

bool ListFacts::run_indices_rise(const NodeList& list) {
  Entry* e = entry(list);
  return e ? remembered(e->rise, [&] { return indices_rise(list, literal_run(list)); })
           : indices_rise(list, scan_literal_run(list));
}

std::span<const ListFacts::Stretch> ListFacts::literal_stretches(const NodeList& list) {
  Entry* e = entry(list);
  if (!e) return {};
  if (!e->stretches) {
    const LiteralRun run = literal_run(list);
    std::vector<Stretch> stretches;
    for (size_t i = run.begin; i < run.end; ++i) {
      const bool known = node_slot_kind(list[i], oracle_) != SlotKind::Unknown;
      if (known && !stretches.empty() && stretches.back().known)
        ++stretches.back().end;
      else
        stretches.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(i + 1), known});
    }
    e->stretches = std::move(stretches);
  }
  return *e->stretches;
}

bool ListFacts::contains(const NodeList& list, const SchemaNode& node) {
  Entry* e = entry(list);
  if (!e) {
    for (const SchemaNode& m : list)
      if (node_eq(m, node)) return true;
    return false;
  }
  const auto before = [](const SchemaNode& x, const SchemaNode& y) { return node_cmp(x, y) < 0; };
  if (!e->in_order) {
    e->in_order = std::is_sorted(list.begin(), list.end(), before);
    if (!*e->in_order) {
      e->order.resize(list.size());
      std::iota(e->order.begin(), e->order.end(), 0u);
      std::stable_sort(e->order.begin(), e->order.end(),
                       [&](uint32_t x, uint32_t y) { return before(list[x], list[y]); });
    }
  }
  const SchemaNode* found = nullptr;
  if (*e->in_order) {
    auto it = std::lower_bound(list.begin(), list.end(), node, before);
    if (it != list.end()) found = it;
  } else {
    auto it = std::lower_bound(e->order.begin(), e->order.end(), node,
                               [&](uint32_t p, const SchemaNode& n) { return before(list[p], n); });
    if (it != e->order.end()) found = &list[*it];
  }
  return found && node_eq(*found, node);
}

KindMask ListFacts::known_kinds(const NodeList& list) {
  Entry* e = entry(list);
  return e ? remembered(e->kinds, [&] { return scan_known_kinds(list); }) : scan_known_kinds(list);
}

KindMaskResult ListFacts::kind_mask(const SchemaNode& node) {
  const bool join = node.is(NodeKind::Union);
  Entry* e = join || node.is(NodeKind::Intersection) ? entry(node.members()) : nullptr;
  if (!e) return ir::kind_mask(node);
  return remembered(join ? e->union_mask : e->intersection_mask, [&] { return ir::kind_mask(node); });
}

bool ListFacts::inhabited_on_sight(const SchemaNode& node) { return on_sight_at(node, 0); }

bool ListFacts::on_sight_at(const SchemaNode& node, int depth) {
  switch (node.kind()) {
    case NodeKind::Anything:
    case NodeKind::None:
    case NodeKind::Bool:
    case NodeKind::Int:
    case NodeKind::Float:
    case NodeKind::Str:
    case NodeKind::Bytes:
    case NodeKind::Collection: return true;
    case NodeKind::Sequence: return node.prefix().empty();
    case NodeKind::Record:
      for (const RecordField& f : node.fields())
        if (f.required) return false;
      return true;
    case NodeKind::Union: {
      if (depth > 64) return false;
      // A refutation asks this of the same long union once per member of the
      // other side; a scan on each ask would make that quadratic.
      const auto scan = [&] {
        for (const SchemaNode& m : node.members())
          if (on_sight_at(m, depth + 1)) return true;
        return false;
      };
      Entry* e = entry(node.members());
      return e ? remembered(e->on_sight, scan) : scan();
    }
    default: return false;
  }
}

std::optional<SchemaNode> ListFacts::complements_joined(const NodeList& list) {
  const auto join = [&]() -> std::optional<SchemaNode> {
    std::vector<SchemaNode> inners;
    for (const SchemaNode& m : list)
      if (m.is(NodeKind::Complement)) inners.push_back(*m.inner());
    if (inners.size() < 2) return std::nullopt;
    return make_union(std::move(inners));
  };
  Entry* e = entry(list);
  return e ? remembered(e->joined_complements, join) : join();
}

void ListFacts::learn_grouping(Entry& e) {
  const NodeList& list = e.list;
  std::vector<uint32_t> keys(list.size());
  for (size_t i = 0; i < list.size(); ++i) keys[i] = group_key(role_of(list[i], oracle_));
  e.positions.resize(list.size());
  std::iota(e.positions.begin(), e.positions.end(), 0u);
  std::stable_sort(e.positions.begin(), e.positions.end(), [&](uint32_t x, uint32_t y) { return keys[x] < keys[y]; });
  for (uint32_t i = 0; i < e.positions.size();) {
    const uint32_t key = keys[e.positions[i]];
    uint32_t j = i + 1;
    while (j < e.positions.size() && keys[e.positions[j]] == key) ++j;
    e.groups.push_back({role_of_key(key), i, j});
    i = j;
  }
  e.grouped = true;
}

ListFacts::Grouping ListFacts::grouping(const NodeList& list) {
  Entry* e = entry(list);
  if (!e) return {};
  if (!e->grouped) learn_grouping(*e);
  return {e->groups, e->positions};
}

bool ListFacts::instances_exclude(const NodeList& list, SlotKind kind) {
  Entry* e = entry(list);
  if (!e || static_cast<uint8_t>(kind) > static_cast<uint8_t>(SlotKind::Dict)) return false;
  const auto bit = static_cast<uint16_t>(1u << static_cast<uint8_t>(kind));
  if (e->excluded_known & bit) return (e->instances_excluded & bit) != 0;
  Grouping g = grouping(list);
  bool excluded = true;
  for (const Group& group : g.groups) {
    if (group.role.role != DisjointRole::Instance) continue;
    for (uint32_t k = group.begin; k < group.end && excluded; ++k)
      excluded = oracle_.class_kind_matches(list[g.positions[k]].number(), kind) == OracleAnswer::No;
  }
  e->excluded_known |= bit;
  if (excluded) e->instances_excluded |= bit;
  return excluded;
}

ListFacts::Elements ListFacts::elements(const NodeList& list, const Group& group) {
  Entry* e = entry(list);
  if (!e) return {};
  for (const Entry::GroupElements& known : e->elements)
    if (known.group_begin == group.begin) return {known.schemas, known.all_hold_one};
  Entry::GroupElements& made = e->elements.emplace_back();
  made.group_begin = group.begin;
  std::vector<SchemaNode> schemas;
  schemas.reserve(group.end - group.begin);
  made.have = true;
  for (uint32_t k = group.begin; k < group.end && made.have; ++k) {
    const SchemaNode& m = list[e->positions[k]];
    const SchemaNode* element = element_schema(m);
    made.have = element != nullptr;
    if (element) schemas.push_back(*element);
    made.all_hold_one = made.all_hold_one && carries_positive_min_len(m);
  }
  if (made.have) {
    sort_and_dedupe_members(schemas);
    made.schemas = NodeList::copy_of(schemas);
  }
  return {made.schemas, made.all_hold_one};
}

}  // namespace tessolin::ir


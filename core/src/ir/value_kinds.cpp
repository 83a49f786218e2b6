#include "ir/value_kinds.hpp"

#include <vector>

#include "ir/list_facts.hpp"
#include "limits/limits.hpp"

namespace tessolin::ir {

namespace {

// Nesting these functions follow (members, inners, bases, element schemas)
// before they give the answer that claims nothing.
constexpr int kKindDepthLimit = limits::kKindArgumentDepth;

KindMaskResult mask_at(const SchemaNode& n, int depth) {
  if (depth > kKindDepthLimit) return KindMaskResult::none();
  switch (n.kind()) {
    case NodeKind::Anything: return KindMaskResult::known(kAllKinds);
    case NodeKind::Nothing: return KindMaskResult::known(0);
    case NodeKind::None: return KindMaskResult::known(kind_bit::kNone);
    case NodeKind::Bool: return KindMaskResult::known(kind_bit::kBool);
    case NodeKind::Int: return KindMaskResult::known(kIntNodeKinds);
    case NodeKind::Float: return KindMaskResult::known(kind_bit::kFloat);
    case NodeKind::Str: return KindMaskResult::known(kind_bit::kStr);
    case NodeKind::Bytes: return KindMaskResult::known(kind_bit::kBytes);
    case NodeKind::Union: {
      KindMask m = 0;
      for (const SchemaNode& x : n.members()) {
        KindMaskResult r = mask_at(x, depth + 1);
        if (r.unknown) return r;
        m |= r.mask;
      }
      return KindMaskResult::known(m);
    }
    case NodeKind::Intersection: {
      KindMask m = kAllKinds;
      for (const SchemaNode& x : n.members()) {
        KindMaskResult r = mask_at(x, depth + 1);
        if (r.unknown) return r;
        m &= r.mask;
      }
      return KindMaskResult::known(m);
    }
    case NodeKind::Complement: {
      KindMaskResult r = mask_at(*n.inner(), depth + 1);
      if (r.unknown) return r;
      return KindMaskResult::known(static_cast<KindMask>(kAllKinds & ~r.mask));
    }
    case NodeKind::Refinement:
      if (n.constraints().empty()) return mask_at(*n.base(), depth + 1);
      return KindMaskResult::none();
    default: return KindMaskResult::none();
  }
}

bool disjoint_at(const SchemaNode& a, const SchemaNode& b, ListFacts& facts, int depth);

bool bool_and_int(SlotKind x, SlotKind y) noexcept {
  return (x == SlotKind::Bool && y == SlotKind::Int) || (x == SlotKind::Int && y == SlotKind::Bool);
}

// Steps 3 and 5: whether every member of a union is disjoint from `other`,
// the member on the left of each question (step 3) or on the right (5).
//
// A long list is answered group by group (ListFacts::grouping), `other`
// being no Union, where the steps give each member of a group one answer:
// a Literal's hangs on its slot kind alone, unless `other` is a Literal
// too, when one question about the whole run of Literals answers (unless
// step 2 asked it: `asked`), or else one about each stretch of them of
// known kinds; an Inert member's hangs on `other` alone; a Kinded member's
// on its kind, unless `other` has that kind, when only step 7 can part
// them: their element schemas, asked as one list in turn; an Instance's on
// its class against other's kind. What is still left, Open members and
// Literals the oracle did not settle, is asked member by member, a step
// each (ListFacts::spend); out of steps, the answer claims nothing.
bool members_disjoint(const NodeList& ms, const SchemaNode& other, bool on_left, bool asked, ListFacts& facts,
                      int depth) {
  if (ms.empty()) return false;
  auto one = [&](uint32_t p) {
    return on_left ? disjoint_at(ms[p], other, facts, depth + 1) : disjoint_at(other, ms[p], facts, depth + 1);
  };
  const bool groupable = !other.is(NodeKind::Union) && depth + 1 <= kKindDepthLimit;
  const ListFacts::Grouping g = groupable ? facts.grouping(ms) : ListFacts::Grouping{};
  if (g.groups.empty()) {
    for (uint32_t p = 0; p < ms.size(); ++p)
      if (!one(p)) return false;
    return true;
  }
  Oracle& oracle = facts.oracle();
  const SlotKind ko = node_slot_kind(other, oracle);
  auto constants_disjoint = [&](size_t begin, size_t end) {
    const LiteralMembers mine(ms, begin, end);
    const LiteralMembers its(other.number());
    return on_left ? oracle.constants_disjoint(mine, its) : oracle.constants_disjoint(its, mine);
  };
  // Against a Literal: the run at once; when the oracle cannot answer for
  // it, each stretch of known kinds at once and the others one by one.
  bool literals_disjoint = false;
  const ListFacts::LiteralRun r = facts.literal_run(ms);
  if (other.is(NodeKind::Literal) && r.alone && r.end > r.begin) {
    OracleAnswer run = asked ? OracleAnswer::Undecided : constants_disjoint(r.begin, r.end);
    if (run == OracleAnswer::No) return false;
    for (const ListFacts::Stretch& s : facts.literal_stretches(ms)) {
      if (run == OracleAnswer::Yes) break;
      const OracleAnswer stretch = s.known ? constants_disjoint(s.begin, s.end) : OracleAnswer::Undecided;
      if (stretch == OracleAnswer::No) return false;
      if (stretch == OracleAnswer::Undecided)
        for (uint32_t p = s.begin; p < s.end; ++p)
          if (!facts.spend() || !one(p)) return false;
    }
    literals_disjoint = true;
  }
  auto same_kind = [&](const ListFacts::Group& group) {
    const SchemaNode* its = element_schema(other);
    ListFacts::Elements mine = facts.elements(ms, group);
    if (!its || !mine.schemas || !(mine.all_hold_one || carries_positive_min_len(other))) return false;
    return members_disjoint(mine.schemas, *its, on_left, false, facts, depth + 1);
  };
  for (const ListFacts::Group& group : g.groups) {
    const std::span<const uint32_t> positions = g.positions.subspan(group.begin, group.end - group.begin);
    switch (group.role.role) {
      case DisjointRole::Literal:
        if (literals_disjoint) continue;
        if (!other.is(NodeKind::Literal)) break;
        for (uint32_t p : positions)
          if (!facts.spend() || !one(p)) return false;
        continue;
      case DisjointRole::Kinded:
        if (ko != group.role.kind) break;
        if (!same_kind(group)) return false;
        continue;
      case DisjointRole::Instance:
        if (ko == SlotKind::Unknown) break;
        if (!facts.instances_exclude(ms, ko)) return false;
        continue;
      case DisjointRole::Inert: break;
      case DisjointRole::Open:
        for (uint32_t p : positions)
          if (!facts.spend() || !one(p)) return false;
        continue;
    }
    if (!one(positions[0])) return false;
  }
  return true;
}

bool disjoint_at(const SchemaNode& a, const SchemaNode& b, ListFacts& facts, int depth) {
  if (depth > kKindDepthLimit) return false;
  Oracle& oracle = facts.oracle();
  // 1
  if (a.is(NodeKind::Nothing) || b.is(NodeKind::Nothing)) return true;
  // 2
  bool asked = false;
  bool a_lit_or_union = a.is(NodeKind::Literal) || a.is(NodeKind::Union);
  bool b_lit_or_union = b.is(NodeKind::Literal) || b.is(NodeKind::Union);
  if (a_lit_or_union && b_lit_or_union) {
    std::optional<LiteralMembers> la = literal_members(a, facts);
    if (la) {
      std::optional<LiteralMembers> lb = literal_members(b, facts);
      if (lb) {
        OracleAnswer r = oracle.constants_disjoint(*la, *lb);
        if (r == OracleAnswer::Yes) return true;
        if (r == OracleAnswer::No) return false;
        asked = true;
      }
    }
  }
  // 3
  if (a.is(NodeKind::Union)) return members_disjoint(a.members(), b, true, asked, facts, depth);
  // 4
  if (b.is(NodeKind::Literal) && a.is(NodeKind::Literal))
    return oracle.constants_distinct(a.number(), b.number()) == OracleAnswer::Yes;
  // 5
  if (b.is(NodeKind::Union)) return members_disjoint(b.members(), a, false, asked, facts, depth);
  // 6
  SlotKind ka = node_slot_kind(a, oracle);
  SlotKind kb = node_slot_kind(b, oracle);
  const bool ka_known = ka != SlotKind::Unknown;
  const bool kb_known = kb != SlotKind::Unknown;
  // 7: one side holds at least one element, and a common value's elements
  // would lie in both element schemas.
  if ((carries_positive_min_len(a) || carries_positive_min_len(b)) &&
      ((ka == kb && ka_known) || (!ka_known && !kb_known))) {
    const SchemaNode* ea = element_schema(a);
    const SchemaNode* eb = element_schema(b);
    if (ea && eb && disjoint_at(*ea, *eb, facts, depth + 1)) return true;
  }
  // 8
  if (ka_known && kb_known) return ka != kb && !bool_and_int(ka, kb);
  // 9
  if (ka_known != kb_known) {
    const SchemaNode& unknown = ka_known ? b : a;
    SlotKind known = ka_known ? ka : kb;
    if (unknown.is(NodeKind::Instance)) return oracle.class_kind_matches(unknown.number(), known) == OracleAnswer::No;
    return false;
  }
  // 10
  return false;
}

}  // namespace

KindMaskResult kind_mask(const SchemaNode& node) { return mask_at(node, 0); }

SlotKind node_slot_kind(const SchemaNode& node, Oracle& oracle) {
  const SchemaNode* n = &node;
  while (n->is(NodeKind::Refinement)) n = n->base().get();
  switch (n->kind()) {
    case NodeKind::None: return SlotKind::None;
    case NodeKind::Bool: return SlotKind::Bool;
    case NodeKind::Int: return SlotKind::Int;
    case NodeKind::Float: return SlotKind::Float;
    case NodeKind::Str: return SlotKind::Str;
    case NodeKind::Bytes: return SlotKind::Bytes;
    case NodeKind::Sequence: return n->flag() == 0 ? SlotKind::List : SlotKind::Tuple;
    case NodeKind::Collection: return n->flag() == 0 ? SlotKind::Set : SlotKind::FrozenSet;
    case NodeKind::Record: return SlotKind::Dict;
    case NodeKind::Literal: {
      SlotKind k = oracle.scalar_kind(n->number());
      return static_cast<uint8_t>(k) <= static_cast<uint8_t>(SlotKind::Bytes) ? k : SlotKind::Unknown;
    }
    default: return SlotKind::Unknown;
  }
}

namespace {

bool excludes_at(const SchemaNode& node, uint64_t class_index, Oracle& oracle, DefinitionsView definitions, int depth) {
  if (depth > kKindDepthLimit) return false;
  SlotKind kind;
  if (node.is(NodeKind::Union)) {
    if (node.members().empty()) return false;
    for (const SchemaNode& m : node.members())
      if (!excludes_at(m, class_index, oracle, definitions, depth + 1)) return false;
    return true;
  }
  if (node.is(NodeKind::Reference)) {
    if (node.number() >= definitions.size()) return false;
    kind = node_slot_kind(definitions[node.number()], oracle);
  } else {
    kind = node_slot_kind(node, oracle);
  }
  if (kind == SlotKind::Unknown) return false;
  return oracle.class_kind_matches_strict(class_index, kind) == OracleAnswer::No;
}

}  // namespace

bool kind_excludes_class(const SchemaNode& node, uint64_t class_index, Oracle& oracle, DefinitionsView definitions) {
  return excludes_at(node, class_index, oracle, definitions, 0);
}

bool nodes_disjoint(const SchemaNode& a, const SchemaNode& b, ListFacts& facts) { return disjoint_at(a, b, facts, 0); }

bool nodes_disjoint(const SchemaNode& a, const SchemaNode& b, Oracle& oracle) {
  ListFacts facts(oracle);
  return nodes_disjoint(a, b, facts);
}

OracleAnswer some_pair_disjoint(const NodeList& members, ListFacts& facts) {
  auto disjoint = [&](uint32_t p, uint32_t q) {
    return p < q ? nodes_disjoint(members[p], members[q], facts) : nodes_disjoint(members[q], members[p], facts);
  };
  const ListFacts::Grouping g = facts.grouping(members);
  if (g.groups.empty()) {
    for (uint32_t i = 0; i < members.size(); ++i)
      for (uint32_t j = i + 1; j < members.size(); ++j)
        if (disjoint(i, j)) return OracleAnswer::Yes;
    return OracleAnswer::No;
  }
  using Group = ListFacts::Group;
  auto positions = [&](const Group& group) { return g.positions.subspan(group.begin, group.end - group.begin); };
  auto known = [](const Group& group) {
    return (group.role.role == DisjointRole::Kinded || group.role.role == DisjointRole::Literal) &&
           group.role.kind != SlotKind::Unknown;
  };
  // Without a question: a Kinded member beside a member of another known
  // kind (bool and int excepted) is disjoint from it by kind.
  for (const Group& x : g.groups) {
    if (x.role.role != DisjointRole::Kinded) continue;
    for (const Group& y : g.groups)
      if (&x != &y && known(y) && x.role.kind != y.role.kind && !bool_and_int(x.role.kind, y.role.kind))
        return OracleAnswer::Yes;
  }
  // Linear in the members: an Instance against each known kind present
  // (its class decides), and an Inert member against each Open one (any
  // Inert member answers alike).
  const Group* inert = nullptr;
  for (const Group& y : g.groups)
    if (y.role.role == DisjointRole::Inert) inert = &y;
  for (const Group& x : g.groups) {
    if (x.role.role == DisjointRole::Instance) {
      for (const Group& y : g.groups)
        if (known(y))
          for (uint32_t p : positions(x))
            if (disjoint(p, positions(y)[0])) return OracleAnswer::Yes;
    } else if (x.role.role == DisjointRole::Open && inert) {
      for (uint32_t p : positions(x))
        if (disjoint(p, positions(*inert)[0])) return OracleAnswer::Yes;
    }
  }
  // The pairs no grouping answers, each for a step: two Literals; two
  // members of one Kinded kind with element schemas, one holding an element
  // at least; an Open member against any member but an Inert one.
  auto asked = [&](uint32_t p, uint32_t q) -> std::optional<OracleAnswer> {
    if (!facts.spend()) return OracleAnswer::Undecided;
    if (disjoint(p, q)) return OracleAnswer::Yes;
    return std::nullopt;
  };
  std::vector<uint32_t> literals;
  for (const Group& x : g.groups)
    if (x.role.role == DisjointRole::Literal) literals.insert(literals.end(), positions(x).begin(), positions(x).end());
  for (size_t i = 0; i < literals.size(); ++i)
    for (size_t j = i + 1; j < literals.size(); ++j)
      if (std::optional<OracleAnswer> r = asked(literals[i], literals[j])) return *r;
  std::vector<uint32_t> holding, others;  // one Kinded kind's members with element schemas
  for (const Group& x : g.groups) {
    if (x.role.role != DisjointRole::Kinded) continue;
    holding.clear();
    others.clear();
    for (uint32_t p : positions(x)) {
      if (!element_schema(members[p])) continue;
      (carries_positive_min_len(members[p]) ? holding : others).push_back(p);
    }
    for (size_t i = 0; i < holding.size(); ++i) {
      for (size_t j = i + 1; j < holding.size(); ++j)
        if (std::optional<OracleAnswer> r = asked(holding[i], holding[j])) return *r;
      for (uint32_t q : others)
        if (std::optional<OracleAnswer> r = asked(holding[i], q)) return *r;
    }
  }
  for (const Group& x : g.groups) {
    if (x.role.role != DisjointRole::Open) continue;
    for (uint32_t p : positions(x))
      for (const Group& y : g.groups) {
        if (y.role.role == DisjointRole::Inert) continue;
        for (uint32_t q : positions(y)) {
          if (q == p || (y.role.role == DisjointRole::Open && q < p)) continue;  // Open pairs once
          if (std::optional<OracleAnswer> r = asked(p, q)) return *r;
        }
      }
  }
  return OracleAnswer::No;
}

std::optional<LiteralMembers> literal_members(const SchemaNode& node, ListFacts& facts) {
  if (node.is(NodeKind::Literal)) return LiteralMembers(node.number());
  if (!node.is(NodeKind::Union)) return std::nullopt;
  const NodeList& ms = node.members();
  if (ms.empty() || !ms[0].is(NodeKind::Literal)) return std::nullopt;
  if (facts.literal_run(ms).end != ms.size()) return std::nullopt;
  return LiteralMembers(ms, 0, ms.size());
}

bool carries_positive_min_len(const SchemaNode& node) noexcept {
  const SchemaNode* n = &node;
  while (n->is(NodeKind::Refinement)) {
    for (const Constraint& c : n->constraints())
      if (c.kind() == ConstraintKind::MinLen && c.word() != 0) return true;
    n = n->base().get();
  }
  return false;
}

const SchemaNode* element_schema(const SchemaNode& node) noexcept {
  const SchemaNode* n = &node;
  while (n->is(NodeKind::Refinement)) n = n->base().get();
  if (n->is(NodeKind::Collection)) return n->element().get();
  if (n->is(NodeKind::Sequence) && n->prefix().empty()) return n->tail().get();
  return nullptr;
}

}  // namespace tessolin::ir

#include "ir/value_kinds.hpp"

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

bool carries_positive_min_len(const SchemaNode& node) noexcept {
  const SchemaNode* n = &node;
  while (n->is(NodeKind::Refinement)) {
    for (const Constraint& c : n->constraints())
      if (c.kind() == ConstraintKind::MinLen && c.word() != 0) return true;
    n = n->base().get();
  }
  return false;
}

bool disjoint_at(const SchemaNode& a, const SchemaNode& b, Oracle& oracle, int depth) {
  if (depth > kKindDepthLimit) return false;
  // 1
  if (a.is(NodeKind::Nothing) || b.is(NodeKind::Nothing)) return true;
  // 2
  bool a_lit_or_union = a.is(NodeKind::Literal) || a.is(NodeKind::Union);
  bool b_lit_or_union = b.is(NodeKind::Literal) || b.is(NodeKind::Union);
  if (a_lit_or_union && b_lit_or_union) {
    std::optional<LiteralMembers> la = literal_members(a);
    if (la) {
      std::optional<LiteralMembers> lb = literal_members(b);
      if (lb) {
        OracleAnswer r = oracle.constants_disjoint(la->indices(), lb->indices());
        if (r == OracleAnswer::Yes) return true;
        if (r == OracleAnswer::No) return false;
      }
    }
  }
  // 3
  if (a.is(NodeKind::Union)) {
    if (a.members().empty()) return false;
    for (const SchemaNode& m : a.members())
      if (!disjoint_at(m, b, oracle, depth + 1)) return false;
    return true;
  }
  // 4
  if (b.is(NodeKind::Literal) && a.is(NodeKind::Literal))
    return oracle.constants_distinct(a.number(), b.number()) == OracleAnswer::Yes;
  // 5
  if (b.is(NodeKind::Union)) {
    if (b.members().empty()) return false;
    for (const SchemaNode& m : b.members())
      if (!disjoint_at(a, m, oracle, depth + 1)) return false;
    return true;
  }
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
    if (ea && eb && disjoint_at(*ea, *eb, oracle, depth + 1)) return true;
  }
  // 8
  if (ka_known && kb_known) {
    if (ka == kb) return false;
    bool bool_int = (ka == SlotKind::Bool && kb == SlotKind::Int) || (ka == SlotKind::Int && kb == SlotKind::Bool);
    return !bool_int;
  }
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

bool nodes_disjoint(const SchemaNode& a, const SchemaNode& b, Oracle& oracle) { return disjoint_at(a, b, oracle, 0); }

std::optional<LiteralMembers> literal_members(const SchemaNode& node) {
  if (node.is(NodeKind::Literal)) return LiteralMembers(node.number());
  if (!node.is(NodeKind::Union)) return std::nullopt;
  const NodeList& ms = node.members();
  if (ms.empty() || !ms[0].is(NodeKind::Literal)) return std::nullopt;
  std::vector<uint64_t> out;
  out.reserve(ms.size() < 4 ? 4 : ms.size());
  for (const SchemaNode& m : ms) {
    if (!m.is(NodeKind::Literal)) return std::nullopt;
    out.push_back(m.number());
  }
  return LiteralMembers(std::move(out));
}

const SchemaNode* element_schema(const SchemaNode& node) noexcept {
  const SchemaNode* n = &node;
  while (n->is(NodeKind::Refinement)) n = n->base().get();
  if (n->is(NodeKind::Collection)) return n->element().get();
  if (n->is(NodeKind::Sequence) && n->prefix().empty()) return n->tail().get();
  return nullptr;
}

}  // namespace tessolin::ir

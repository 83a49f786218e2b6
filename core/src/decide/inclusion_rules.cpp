// Per-kind inclusion rules: sequences, collections, records, objects,
// complements, refinements, and the kind-based default. Each rule gives an
// intermediate answer that per_kind_inclusion settles for (a, b).
#include <algorithm>
#include <string_view>

#include "decide/inclusion.hpp"
#include "ir/intern.hpp"
#include "ir/node_order.hpp"
#include "ir/value_kinds.hpp"

namespace tessolin::decide {

using ir::ConstantOrder;
using ir::ConstraintKind;
using ir::NodeKind;
using ir::OracleAnswer;
using ir::SchemaNode;
using ir::SlotKind;

namespace {

// Decides a run of item pairs, reusing the previous answer when a pair
// repeats the one before it (a long prefix meeting a tail).
class PairRun {
 public:
  PairRun(DecisionContext& ctx, AssumedPairs& assumed) : ctx_(ctx), assumed_(assumed) {}

  Relation decide(const SchemaNode& x, const SchemaNode& y) {
    if (last_x_ && last_ != Relation::NotSubset && ir::node_eq(*last_x_, x) && ir::node_eq(*last_y_, y)) return last_;
    last_ = decide_inclusion(x, y, ctx_, assumed_);
    last_x_ = &x;
    last_y_ = &y;
    return last_;
  }

 private:
  DecisionContext& ctx_;
  AssumedPairs& assumed_;
  const SchemaNode* last_x_ = nullptr;
  const SchemaNode* last_y_ = nullptr;
  Relation last_ = Relation::Undecided;
};

// A field by name; a binary search when the list is sorted by name.
class FieldLookup {
 public:
  explicit FieldLookup(const ir::FieldList& fields) : fields_(fields) {
    sorted_ = std::is_sorted(fields.begin(), fields.end(), [](const ir::RecordField& x, const ir::RecordField& y) {
      return ir::name_cmp(x.name.view(), y.name.view()) < 0;
    });
  }

  const ir::RecordField* find(std::string_view name) const {
    if (sorted_) {
      auto it = std::lower_bound(
          fields_.begin(), fields_.end(), name,
          [](const ir::RecordField& f, std::string_view n) { return ir::name_cmp(f.name.view(), n) < 0; });
      return it != fields_.end() && it->name.view() == name ? it : nullptr;
    }
    for (const ir::RecordField& f : fields_)
      if (f.name.view() == name) return &f;
    return nullptr;
  }

 private:
  const ir::FieldList& fields_;
  bool sorted_ = false;
};

bool any_key(const SchemaNode& key) noexcept { return key.is(NodeKind::Anything) || key.is(NodeKind::Str); }

Relation sequence_inclusion(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  if (a.sequence_kind() != b.sequence_kind()) return kind_refutation(a, b, ctx, assumed);
  const ir::NodeList& pa = a.prefix();
  const ir::NodeList& pb = b.prefix();
  const size_t na = pa.size(), nb = pb.size();
  bool identical = pa.same_as(pb) || na == nb;
  for (size_t i = 0; identical && !pa.same_as(pb) && i < na; ++i) identical = ir::node_eq(pa[i], pb[i]);
  if (identical) {
    if (!a.tail() && !b.tail()) return Relation::Subset;
    if (a.tail() && b.tail() && (a.tail().same_as(b.tail()) || ir::node_eq(*a.tail(), *b.tail())))
      return Relation::Subset;
  }
  Emptiness tail_emptiness = Emptiness::Empty;
  if (a.tail()) tail_emptiness = emptiness_with_fresh_stack(*a.tail(), ctx).emptiness();
  const bool tail_counts = tail_emptiness != Emptiness::Empty;
  if (na < nb) return Relation::NotSubset;  // a's shortest values are too short
  auto positions = [&](Relation on_success) {
    PairRun run(ctx, assumed);
    bool undecided = false;
    for (size_t i = 0; i < na; ++i) {
      const SchemaNode& target = i < nb ? pb[i] : *b.tail();
      Relation r = run.decide(pa[i], target);
      if (r == Relation::NotSubset) return Relation::NotSubset;
      if (r == Relation::Undecided) undecided = true;
    }
    return undecided ? Relation::Undecided : on_success;
  };
  if (tail_counts) {
    if (!b.tail()) return tail_emptiness == Emptiness::Inhabited ? Relation::NotSubset : Relation::Undecided;
    Relation r = positions(Relation::Subset);
    if (r != Relation::Subset) return r;
    return decide_inclusion(*a.tail(), *b.tail(), ctx, assumed);
  }
  if (na != nb && !b.tail()) return Relation::NotSubset;
  if (na == 0) return Relation::Subset;
  return positions(Relation::Subset);
}

Relation collection_inclusion(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  if (a.collection_kind() != b.collection_kind()) return kind_refutation(a, b, ctx, assumed);
  // An element outside b's makes a one-element counterexample even when the
  // element schema admits unhashable values: the walk accepts instances of
  // subclasses of list, dict and set, and such a subclass may define
  // __hash__.
  return decide_inclusion(*a.element(), *b.element(), ctx, assumed);
}

struct PartResult {
  bool refuted = false;
  bool undecided = false;
};

// Fields of b, each against a's field of that name or a's clauses.
PartResult fields_of_b(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  PartResult out;
  FieldLookup in_a(a.fields());
  PairRun run(ctx, assumed);
  for (const ir::RecordField& g : b.fields()) {
    const ir::RecordField* f = in_a.find(g.name.view());
    if (f) {
      Relation r = run.decide(f->schema, g.schema);
      if (r == Relation::Subset && g.required && !f->required) r = Relation::NotSubset;
      if (r == Relation::NotSubset) return {true, false};
      if (r == Relation::Undecided) out.undecided = true;
      continue;
    }
    if (g.required) return {true, false};
    for (const ir::CatchAll& clause : a.clauses()) {
      Relation r = decide_inclusion(clause.value, g.schema, ctx, assumed);
      if (any_key(clause.key)) {
        if (r == Relation::NotSubset) return {true, false};
        if (r == Relation::Undecided) out.undecided = true;
        continue;
      }
      SlotKind k = ir::node_slot_kind(clause.key, ctx.oracle);
      if ((k == SlotKind::Unknown || k == SlotKind::Str) && r != Relation::Subset) out.undecided = true;
    }
  }
  return out;
}

// Fields of a that b does not declare, against b's clauses.
PartResult undeclared_in_b(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  PartResult out;
  FieldLookup in_b(b.fields());
  bool irregular = false;
  for (const ir::CatchAll& clause : b.clauses()) irregular = irregular || !any_key(clause.key);
  std::vector<SchemaNode> tried_values;
  for (const ir::RecordField& f : a.fields()) {
    if (in_b.find(f.name.view())) continue;
    bool covered = false, tried_undecided = false;
    tried_values.clear();
    for (const ir::CatchAll& clause : b.clauses()) {
      if (!any_key(clause.key)) continue;
      tried_values.push_back(clause.value);
      Relation r = decide_inclusion(f.schema, clause.value, ctx, assumed);
      if (r == Relation::Subset) {
        covered = true;
        break;
      }
      if (r == Relation::Undecided) tried_undecided = true;
    }
    if (covered) continue;
    if (irregular || tried_undecided) {
      out.undecided = true;
      continue;
    }
    if (tried_values.size() >= 2) {
      // The key is admitted when its value matches any of these clauses, so
      // no single clause covering it refutes nothing: ask about them together.
      SchemaNode together = SchemaNode::union_of(ir::NodeList::copy_of(tried_values));
      Relation r = decide_inclusion(f.schema, together, ctx, assumed);
      if (r == Relation::NotSubset) return {true, false};
      if (r == Relation::Undecided) out.undecided = true;
      continue;
    }
    Emptiness e = emptiness_with_fresh_stack(f.schema, ctx).emptiness();
    if (e == Emptiness::Inhabited) return {true, false};  // a carries a key b forbids
    if (e == Emptiness::Undecided) out.undecided = true;
  }
  return out;
}

bool some_clause_uncovered(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  for (const ir::CatchAll& c : a.clauses()) {
    bool covered = false;
    for (const ir::CatchAll& d : b.clauses()) {
      if (decide_inclusion(c.key, d.key, ctx, assumed) == Relation::Subset &&
          decide_inclusion(c.value, d.value, ctx, assumed) == Relation::Subset) {
        covered = true;
        break;
      }
    }
    if (!covered) return true;
  }
  return false;
}

Relation record_inclusion(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  // All three parts run, so their questions spend budget alike.
  PartResult part1 = fields_of_b(a, b, ctx, assumed);
  PartResult part2 = undeclared_in_b(a, b, ctx, assumed);
  bool uncovered = some_clause_uncovered(a, b, ctx, assumed);
  if (part1.refuted || part2.refuted) return Relation::NotSubset;
  if (part2.undecided || part1.undecided || uncovered) return Relation::Undecided;
  return Relation::Subset;
}

Relation object_inclusion(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  if (b.attributes().empty()) return Relation::Subset;
  FieldLookup in_a(a.attributes());
  bool undecided = false;
  for (const ir::RecordField& g : b.attributes()) {
    const ir::RecordField* f = in_a.find(g.name.view());
    Relation r;
    if (!f) {
      // a says nothing of the attribute, so its value may be anything.
      r = g.required ? Relation::NotSubset : decide_inclusion(ir::static_anything(), g.schema, ctx, assumed);
    } else if (g.required && !f->required) {
      r = Relation::NotSubset;
    } else {
      r = decide_inclusion(f->schema, g.schema, ctx, assumed);
    }
    if (r == Relation::NotSubset) return Relation::NotSubset;
    if (r == Relation::Undecided) undecided = true;
  }
  return undecided ? Relation::Undecided : Relation::Subset;
}

Relation complement_inclusion(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  const SchemaNode& x = *b.inner();
  if (a.is(NodeKind::Complement)) return decide_inclusion(x, *a.inner(), ctx, assumed);
  if (proved_disjoint(a, x, ctx)) return Relation::Subset;
  if (decide_inclusion(a, x, ctx, assumed) != Relation::Subset) return Relation::Undecided;
  // a lies inside x, so it meets the complement only when a is empty.
  switch (emptiness_with_fresh_stack(a, ctx).emptiness()) {
    case Emptiness::Empty: return Relation::Subset;
    case Emptiness::Inhabited: return Relation::NotSubset;
    default: return Relation::Undecided;
  }
}

bool at_least(ConstantOrder o) noexcept { return o == ConstantOrder::Greater || o == ConstantOrder::Equal; }
bool at_most(ConstantOrder o) noexcept { return o == ConstantOrder::Less || o == ConstantOrder::Equal; }

// Whether MultipleOf(d) on values of `base` implies MultipleOf(c). From
// d % c == 0 and x % d == 0 follows x % c == 0 only where % is exact for
// every member on both sides: int divisors on int values, float divisors on
// float values (float % float is exact). Python computes int % float by
// rounding the int to a double first, so Annotated[int, MultipleOf(3.0)]
// holds 2**53 + 3 while MultipleOf(3) does not: mixed types prove nothing.
bool multiple_implies(const SchemaNode& base, uint64_t d, uint64_t c, ir::Oracle& oracle) {
  SlotKind divisor_kind;
  if (base.is(NodeKind::Int) || base.is(NodeKind::Bool)) {
    divisor_kind = SlotKind::Int;
  } else if (base.is(NodeKind::Float)) {
    divisor_kind = SlotKind::Float;
  } else {
    return false;
  }
  return oracle.scalar_kind(d) == divisor_kind && oracle.scalar_kind(c) == divisor_kind &&
         oracle.is_multiple(d, c) == OracleAnswer::Yes;
}

// Whether constraint d of a (over values of `base`) implies constraint c of b.
bool implies(const SchemaNode& base, const ir::Constraint& d, const ir::Constraint& c, ir::Oracle& oracle) {
  if (ir::constraint_eq(d, c)) return true;
  const ConstraintKind dk = d.kind();
  switch (c.kind()) {
    case ConstraintKind::Ge:
      return (dk == ConstraintKind::Ge || dk == ConstraintKind::Gt) &&
             at_least(oracle.compare_constants(d.word(), c.word()));
    case ConstraintKind::Gt:
      if (dk == ConstraintKind::Ge) return oracle.compare_constants(d.word(), c.word()) == ConstantOrder::Greater;
      return dk == ConstraintKind::Gt && at_least(oracle.compare_constants(d.word(), c.word()));
    case ConstraintKind::Le:
      return (dk == ConstraintKind::Le || dk == ConstraintKind::Lt) &&
             at_most(oracle.compare_constants(d.word(), c.word()));
    case ConstraintKind::Lt:
      if (dk == ConstraintKind::Le) return oracle.compare_constants(d.word(), c.word()) == ConstantOrder::Less;
      return dk == ConstraintKind::Lt && at_most(oracle.compare_constants(d.word(), c.word()));
    case ConstraintKind::MinLen: return dk == ConstraintKind::MinLen && c.word() <= d.word();
    case ConstraintKind::MaxLen: return dk == ConstraintKind::MaxLen && d.word() <= c.word();
    case ConstraintKind::MultipleOf:
      return dk == ConstraintKind::MultipleOf && multiple_implies(base, d.word(), c.word(), oracle);
    default: return false;  // predicates and patterns: only an equal one
  }
}

// Subset or Undecided only. Each pair of constraints compared takes a step:
// two long constraint lists make a number of pairs no walk of nodes pays for.
Relation refinement_included(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  if (decide_inclusion(*a.base(), *b.base(), ctx, assumed) != Relation::Subset) return Relation::Undecided;
  for (const ir::Constraint& c : b.constraints()) {
    bool implied = false;
    for (const ir::Constraint& d : a.constraints()) {
      if (!ctx.budget.spend()) return Relation::Undecided;
      if (implies(*a.base(), d, c, ctx.oracle)) {
        implied = true;
        break;
      }
    }
    if (!implied) return Relation::Undecided;
  }
  return Relation::Subset;
}

// The kinds outside a single builtin kind, as a mask.
ir::KindMask outside_kind(SlotKind k) noexcept {
  switch (k) {
    case SlotKind::None: return 126;
    case SlotKind::Bool: return 125;
    case SlotKind::Int: return 121;
    case SlotKind::Float: return 119;
    case SlotKind::Str: return 111;
    case SlotKind::Bytes: return 95;
    default: return 63;
  }
}

Relation default_rule(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  if (a.is(NodeKind::Refinement) && !a.constraints().empty() &&
      decide_inclusion(*a.base(), b, ctx, assumed) == Relation::Subset)
    return Relation::Subset;
  return kind_refutation(a, b, ctx, assumed);
}

}  // namespace

Relation kind_refutation(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  // 1: a admits the empty container.
  if (ir::carries_positive_min_len(b) && (a.is(NodeKind::Sequence) || a.is(NodeKind::Collection)) &&
      ir::element_schema(a))
    return Relation::NotSubset;
  // 2
  const ir::KindMaskResult ma = ctx.lists.kind_mask(a);
  if (!ma.unknown) {
    SlotKind kb = ir::node_slot_kind(b, ctx.oracle);
    if (kb != SlotKind::Unknown && (ma.mask & outside_kind(kb)) != 0) return Relation::NotSubset;
  }
  // 3
  if (b.is(NodeKind::Instance)) {
    const uint64_t c = b.number();
    if (a.is(NodeKind::Complement)) {
      SlotKind k = ir::node_slot_kind(*a.inner(), ctx.oracle);
      if (k != SlotKind::Unknown) {
        const bool boolish = k == SlotKind::Bool || k == SlotKind::Int;
        for (uint8_t j = 0; j <= static_cast<uint8_t>(SlotKind::Dict); ++j) {
          SlotKind kj = static_cast<SlotKind>(j);
          if (kj == k || (boolish && (kj == SlotKind::Bool || kj == SlotKind::Int))) continue;
          if (ctx.oracle.builtin_within_class(kj, c) == OracleAnswer::No) return Relation::NotSubset;
        }
      }
    } else {
      SlotKind k = ir::node_slot_kind(a, ctx.oracle);
      if (k != SlotKind::Unknown && ctx.oracle.builtin_within_class(k, c) == OracleAnswer::No)
        return Relation::NotSubset;
    }
  }
  // 4
  if (ir::nodes_disjoint(a, b, ctx.lists)) return Relation::NotSubset;
  // 5
  switch (ctx.oracle.decide_subset(a, b)) {
    case OracleAnswer::Yes: return Relation::Subset;
    case OracleAnswer::No: return Relation::NotSubset;
    default: break;
  }
  if (b.is(NodeKind::Refinement) && decide_inclusion(a, *b.base(), ctx, assumed) == Relation::NotSubset)
    return Relation::NotSubset;  // a is not even inside the base
  return Relation::Undecided;
}

Relation per_kind_inclusion(const SchemaNode& a, const SchemaNode& b, DecisionContext& ctx, AssumedPairs& assumed) {
  Relation r;
  switch (b.kind()) {
    case NodeKind::Sequence:
      r = a.is(NodeKind::Sequence) ? sequence_inclusion(a, b, ctx, assumed) : default_rule(a, b, ctx, assumed);
      break;
    case NodeKind::Collection:
      r = a.is(NodeKind::Collection) ? collection_inclusion(a, b, ctx, assumed) : default_rule(a, b, ctx, assumed);
      break;
    case NodeKind::Record:
      r = a.is(NodeKind::Record) ? record_inclusion(a, b, ctx, assumed) : default_rule(a, b, ctx, assumed);
      break;
    case NodeKind::Object:
      r = a.is(NodeKind::Object) ? object_inclusion(a, b, ctx, assumed) : default_rule(a, b, ctx, assumed);
      break;
    case NodeKind::Complement: r = complement_inclusion(a, b, ctx, assumed); break;
    case NodeKind::Refinement:
      if (a.is(NodeKind::Refinement) && !a.constraints().empty()) {
        r = refinement_included(a, b, ctx, assumed);
        if (r == Relation::Undecided) r = kind_refutation(a, b, ctx, assumed);
      } else {
        r = default_rule(a, b, ctx, assumed);
      }
      break;
    case NodeKind::Reference: {
      const uint64_t n = b.number();
      if (n >= ctx.definitions.size()) return emptiness_fallback(a, b, ctx);
      assumed.emplace_back(a, b);
      r = decide_inclusion(a, ctx.definitions[n], ctx, assumed);
      assumed.pop_back();
      break;
    }
    default: r = default_rule(a, b, ctx, assumed); break;
  }
  return settle(r, a, b, ctx);
}

}  // namespace tessolin::decide

// Refinement lowering: bounds, lengths, divisors and patterns. Private: the
// per-constraint translations. Tested by core/tests/descr_lowering.
#include "descr/refinement_lowering.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <variant>

#include "descr/descriptor_combine.hpp"
#include "descr/emptiness.hpp"
#include "descr/lowering.hpp"
#include "descr/sequence_lowering.hpp"
#include "descr/text_lowering.hpp"

namespace tessolin::descr {

using ir::Constraint;
using ir::ConstraintKind;
using ir::LiteralValue;

namespace {

constexpr uint8_t code_of(SlotKind kind) noexcept { return static_cast<uint8_t>(kind); }

// Every int of magnitude up to this is exactly a double.
constexpr Int128 kExactDoubleLimit = Int128{1} << 53;
// Quotients beyond this are far outside the exact doubles (and m * q with
// m <= kMaxModulus stays well inside 128 bits).
constexpr Int128 kQuotientLimit = Int128{1} << 60;

bool is_int(const LiteralValue& v) noexcept { return v.tag == ir::answer_tag::kInt; }

// Ge, Gt, Le, Lt of an int bound: the int range, or a give-up when a
// strict bound has no neighbour in 64 bits.
Outcome<IntegerSet> int_bound_range(ConstraintKind kind, int64_t v) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  switch (kind) {
    case ConstraintKind::Ge: return integer_set_range(true, v, false, 0);
    case ConstraintKind::Gt:
      if (v == kMax) return kGaveUp;
      return integer_set_range(true, v + 1, false, 0);
    case ConstraintKind::Le: return integer_set_range(false, 0, true, v);
    case ConstraintKind::Lt:
      if (v == kMin) return kGaveUp;
      return integer_set_range(false, 0, true, v - 1);
    default: return kGaveUp;
  }
}

Outcome<Descriptor> numeric_bound(const Constraint& c, const Descriptor& acc, bool within_float, ir::Oracle& oracle) {
  if (within_float) {
    Outcome<FloatSet> floats = float_bound_domain(oracle, c);
    if (!floats) return kGaveUp;
    return float_bound_descriptor(acc, std::move(*floats));
  }
  const LiteralValue bound = oracle.constraint_value(c.word());
  if (!is_int(bound)) return kGaveUp;  // declined, a float bound on ints, a bool, ...
  Outcome<IntegerSet> range = int_bound_range(c.kind(), bound.int_value);
  if (!range) return kGaveUp;
  return integer_bound_descriptor(acc, *range);
}

// The multiples of an int divisor d, 0 < |d| <= kMaxModulus. A divisor of 0
// admits nothing (the remainder raises) but gives up rather than claim it.
Outcome<IntegerSet> multiples_of(int64_t d) {
  if (d == 0 || d < -static_cast<int64_t>(kMaxModulus) || d > static_cast<int64_t>(kMaxModulus)) return kGaveUp;
  return integer_set_multiple_of(d);
}

// An int divisor, or a float divisor that is a whole number where every
// int the accumulator holds is exactly a double: Python's int % float
// converts the int to a double first, so beyond 2**53 rounding decides
// (2**53 + 3 is a "multiple" of 3.0); there the lowering gives up.
Outcome<Descriptor> multiple_of(const Constraint& c, const Descriptor& acc, ir::Oracle& oracle) {
  const LiteralValue divisor = oracle.constraint_value(c.word());
  Outcome<IntegerSet> multiples;
  if (is_int(divisor)) {
    multiples = multiples_of(divisor.int_value);
  } else if (divisor.tag == ir::answer_tag::kFloat) {
    const double d = divisor.float_value;
    const bool whole = std::isfinite(d) && d == std::trunc(d) && std::fabs(d) <= static_cast<double>(kMaxModulus);
    if (!whole || !int_slot_within_exact_doubles(acc.slot(SlotKind::Int))) return kGaveUp;
    multiples = multiples_of(static_cast<int64_t>(d));
  }
  if (!multiples) return kGaveUp;
  return integer_bound_descriptor(acc, *multiples);
}

// Only str values can match a pattern (the walk fails every other value,
// bytes included), so the descriptor fills slot Str alone.
Outcome<Descriptor> pattern_constraint(const Constraint& c, const Descriptor& acc) {
  if (!descriptor_within_kinds(acc, {SlotKind::Str, SlotKind::Bytes})) return kGaveUp;
  Descriptor p;
  if (slot_emptiness(acc.slot(SlotKind::Str), code_of(SlotKind::Str)) != Emptiness::Empty) {
    Outcome<Descriptor> matched = pattern_descriptor(c.pattern_text());
    if (!matched) return kGaveUp;
    p = std::move(*matched);
  }
  if (descriptor_emptiness(p) == Emptiness::Empty) return kGaveUp;
  return p;
}

Outcome<Descriptor> constraint_descriptor(const Constraint& c, const Descriptor& acc, bool within_float,
                                          ir::Oracle& oracle) {
  switch (c.kind()) {
    case ConstraintKind::Ge:
    case ConstraintKind::Gt:
    case ConstraintKind::Le:
    case ConstraintKind::Lt: return numeric_bound(c, acc, within_float, oracle);
    case ConstraintKind::MinLen: return length_bound_descriptor(acc, c.word(), &min_length_text, &min_length_sequences);
    case ConstraintKind::MaxLen: return length_bound_descriptor(acc, c.word(), &max_length_text, &max_length_sequences);
    case ConstraintKind::MultipleOf: return multiple_of(c, acc, oracle);
    case ConstraintKind::Predicate: return kGaveUp;
    case ConstraintKind::Pattern: return pattern_constraint(c, acc);
  }
  return kGaveUp;
}

}  // namespace

bool descriptor_within_kinds(const Descriptor& d, std::initializer_list<SlotKind> kinds) {
  for (size_t i = 0; i < kSlotCount; ++i) {
    const uint8_t code = slot_code(i);
    const bool listed = std::any_of(kinds.begin(), kinds.end(), [&](SlotKind k) { return code_of(k) == code; });
    if (listed) continue;
    if (slot_emptiness(d.slots[i], code) != Emptiness::Empty) return false;
  }
  return true;
}

Outcome<Descriptor> float_bound_descriptor(const Descriptor& accumulator, FloatSet set) {
  if (!descriptor_within_kinds(accumulator, {SlotKind::Float})) return kGaveUp;
  Descriptor d;
  set_single_line(d, code_of(SlotKind::Float), std::move(set));
  return d;
}

Outcome<Descriptor> integer_bound_descriptor(const Descriptor& accumulator, const IntegerSet& set) {
  if (!descriptor_within_kinds(accumulator, {SlotKind::Int, SlotKind::Bool})) return kGaveUp;
  const uint8_t mask =
      static_cast<uint8_t>((integer_set_contains(set, 0) ? 1 : 0) | (integer_set_contains(set, 1) ? 2 : 0));
  Descriptor d;
  set_single_line(d, code_of(SlotKind::Int), set);
  set_single_line(d, code_of(SlotKind::Bool), BoolMaskDomain{mask});
  return d;
}

Outcome<Descriptor> length_bound_descriptor(const Descriptor& accumulator, uint64_t n, LengthBuilder text,
                                            LengthBuilder sequences) {
  if (!descriptor_within_kinds(accumulator, {SlotKind::Str, SlotKind::Bytes, SlotKind::List, SlotKind::Tuple})) {
    return kGaveUp;
  }
  struct Part {
    SlotKind kind;
    LengthBuilder build;
  };
  const Part parts[] = {
      {SlotKind::Str, text}, {SlotKind::Bytes, text}, {SlotKind::List, sequences}, {SlotKind::Tuple, sequences}};
  Descriptor r;
  for (const Part& part : parts) {
    const uint8_t code = code_of(part.kind);
    if (slot_emptiness(accumulator.slot(part.kind), code) == Emptiness::Empty) continue;
    Outcome<Descriptor> lengths = part.build(n, code);
    if (!lengths) return kGaveUp;
    Outcome<Descriptor> joined = combine_descriptors(r, *lengths, CombineMode::Join);
    if (!joined) return kGaveUp;
    r = std::move(*joined);
  }
  return r;
}

bool int_slot_within_exact_doubles(const KindSlot& slot) {
  if (slot.negated) return false;
  for (const Line& line : slot.lines) {
    const IntegerSet* set = std::get_if<IntegerSet>(&line.domain);
    if (set == nullptr) return false;
    const Int128 m = static_cast<Int128>(set->modulus);
    for (size_t r = 0; r < set->residues.size(); ++r) {
      for (const Interval& interval : set->residues[r].intervals) {
        if (!interval.low || !interval.high) return false;
        if (*interval.low < -kQuotientLimit || *interval.high > kQuotientLimit) return false;
        const Int128 lowest = m * *interval.low + static_cast<Int128>(r);
        const Int128 highest = m * *interval.high + static_cast<Int128>(r);
        if (lowest < -kExactDoubleLimit || highest > kExactDoubleLimit) return false;
      }
    }
  }
  return true;
}

Outcome<Descriptor> lower_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints,
                                     ir::Oracle& oracle, uint32_t& allowance, uint32_t depth) {
  Outcome<Descriptor> acc = lower_node(base, oracle, allowance, depth);
  if (!acc) return kGaveUp;
  for (const Constraint& c : constraints) {
    // Asked for every constraint, as the bounds need it: the emptiness tests
    // spend the same fuel whatever the constraint.
    const bool within_float = descriptor_within_kinds(*acc, {SlotKind::Float});
    Outcome<Descriptor> translated = constraint_descriptor(c, *acc, within_float, oracle);
    if (!translated) return kGaveUp;
    Outcome<Descriptor> met = combine_descriptors(*acc, *translated, CombineMode::Meet);
    if (!met) return kGaveUp;
    acc = std::move(met);
  }
  return acc;
}

}  // namespace tessolin::descr

// collection_domain_emptiness (collection_shape.hpp): the inhabitation
// rule of a shape list. Private: the test of one shape, and the search for
// witnesses of different scalar kinds.
// Tested by core/tests/descr_sequence.
#include <algorithm>
#include <array>
#include <bit>

#include "descr/collection_shape.hpp"
#include "descr/descriptor.hpp"
#include "descr/domain_combine.hpp"
#include "descr/emptiness.hpp"
#include "descr/exact_type_atom.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

namespace {

// Kind groups as masks over slot indices. Plain values of different groups
// never compare equal: None only equals None, str never equals bytes, and
// neither equals a number; within {bool, int, float} True == 1 == 1.0.
// Tuples, frozensets and instances compare structurally or by the user's
// __eq__ ((1,) == (True,)), so no other slot gives a witness.
constexpr uint16_t slot_bit(SlotKind kind) noexcept { return static_cast<uint16_t>(1u << slot_index(kind)); }
constexpr std::array<uint16_t, 4> kScalarGroups = {
    slot_bit(SlotKind::None), slot_bit(SlotKind::Str), slot_bit(SlotKind::Bytes),
    static_cast<uint16_t>(slot_bit(SlotKind::Bool) | slot_bit(SlotKind::Int) | slot_bit(SlotKind::Float))};
// Entries searched for witnesses: 2^n subsets per group.
constexpr size_t kMaxSearchedEntries = 4;
using EntrySets = std::array<bool, size_t{1} << kMaxSearchedEntries>;

// Whether one element of the bound lies outside every entry.
Emptiness one_element_escapes_all(const CollectionShape& shape) {
  OptionalDescriptor escapes = shape.bound;
  for (const OptionalDescriptor& y : shape.not_within) {
    if (!y) return Emptiness::Empty;
    Outcome<OptionalDescriptor> met = meet_labels(escapes, complement_shared(y));
    if (!met) return Emptiness::Undecided;
    escapes = std::move(*met);
  }
  return escapes ? descriptor_emptiness(*escapes) : Emptiness::Inhabited;
}

// Whether the Line is proved to hold a value of exactly its builtin kind: an
// inhabited domain and an unrestricted or exact-type clause. A value proved
// only through a class or attribute atom may be a subclass instance with its
// own __eq__, equal to a value of another group.
bool holds_plain_value(const Line& line) {
  if (domain_emptiness(line.domain) != Emptiness::Inhabited) return false;
  Outcome<ClauseList> positive;
  const ClauseList* clauses = &line.clauses;
  if (line.clauses_negated) {
    positive = materialize_clauses(line.clauses, line.clauses_negated);
    if (!positive) return false;
    clauses = &*positive;
  }
  return std::ranges::any_of(*clauses, holds_for_plain_values);
}

bool group_holds_plain_value(const Descriptor& d, uint16_t group) {
  for (size_t i = 0; i < kOtherSlot; ++i) {
    if (!(group & (1u << i))) continue;
    const KindSlot& slot = d.slots[i];
    Outcome<std::vector<Line>> positive;
    const std::vector<Line>* lines = &slot.lines;
    if (slot.negated) {
      positive = complement_lines(slot.lines, slot_code(i));
      if (!positive) continue;
      lines = &*positive;
    }
    if (std::ranges::any_of(*lines, holds_plain_value)) return true;
  }
  return false;
}

// The bound's slots of the group, every other slot empty (null bound: the
// group's kind tops).
SharedDescriptor bound_within_group(const OptionalDescriptor& bound, uint16_t group) {
  Descriptor d;
  for (size_t i = 0; i < kOtherSlot; ++i) {
    if (!(group & (1u << i))) continue;
    d.slots[i] = bound ? bound->slots[i] : KindSlot{{kind_top_line(slot_code(i))}, 0};
  }
  return make_shared_descriptor(std::move(d));
}

// escapes[T]: a plain value of the group in the bound lies outside every
// entry of the subset T (bit k: entry k). Built from T minus its lowest
// entry, so only subsets whose parts are proved are met. A give-up of a
// meet: nullopt.
Outcome<EntrySets> group_escapes(const CollectionShape& shape, const std::vector<SharedDescriptor>& outside,
                                 uint16_t group) {
  const size_t subsets = size_t{1} << outside.size();
  EntrySets escapes{};
  std::array<OptionalDescriptor, std::tuple_size_v<EntrySets>> within;
  within[0] = bound_within_group(shape.bound, group);
  escapes[0] = group_holds_plain_value(*within[0], group);
  for (size_t t = 1; t < subsets && escapes[0]; ++t) {
    const size_t rest = t & (t - 1);
    if (!escapes[rest]) continue;
    Outcome<OptionalDescriptor> met = meet_labels(within[rest], outside[std::countr_zero(t)]);
    if (!met) return kGaveUp;
    within[t] = std::move(*met);
    escapes[t] = within[t] && group_holds_plain_value(*within[t], group);
  }
  return escapes;
}

// Whether pairwise unequal elements, at most one from each scalar group,
// escape every entry between them: the entries are split among the groups
// and each group's witness escapes its part. Inhabited or Undecided.
Emptiness witnesses_of_distinct_groups(const CollectionShape& shape) {
  const size_t n = shape.not_within.size();
  if (n > kMaxSearchedEntries) return Emptiness::Undecided;
  std::vector<SharedDescriptor> outside;
  for (const OptionalDescriptor& y : shape.not_within) {
    if (!y) return Emptiness::Undecided;
    outside.push_back(complement_shared(y));
  }
  const size_t subsets = size_t{1} << n;
  EntrySets covered{};  // the entry subsets escaped by the groups tried so far
  covered[0] = true;
  for (uint16_t group : kScalarGroups) {
    Outcome<EntrySets> escapes = group_escapes(shape, outside, group);
    if (!escapes) return Emptiness::Undecided;
    EntrySets next = covered;
    for (size_t c = 0; c < subsets; ++c) {
      if (!covered[c]) continue;
      for (size_t t = 1; t < subsets; ++t) next[c | t] = next[c | t] || (*escapes)[t];
    }
    covered = next;
    if (covered[subsets - 1]) return Emptiness::Inhabited;
  }
  return Emptiness::Undecided;
}

Emptiness shape_emptiness(const CollectionShape& shape) {
  if (shape.not_within.empty()) return Emptiness::Inhabited;  // the empty set
  bool unsettled = false;
  for (const OptionalDescriptor& y : shape.not_within) {
    switch (included_in(y, shape.bound)) {
      case Inclusion::Included: return Emptiness::Empty;  // nothing in the bound escapes y
      case Inclusion::Unsettled: unsettled = true; break;
      case Inclusion::NotIncluded: break;
    }
  }
  if (shape.not_within.size() == 1) return unsettled ? Emptiness::Undecided : Emptiness::Inhabited;
  // Each entry can be escaped, but one set must hold all the witnesses at
  // once and equal elements merge ({True, 1} == {True}): one element
  // escaping every entry, or witnesses of kinds that never compare equal.
  if (one_element_escapes_all(shape) == Emptiness::Inhabited) return Emptiness::Inhabited;
  return witnesses_of_distinct_groups(shape);
}

}  // namespace

Emptiness collection_domain_emptiness(const CollectionDomain& d) {
  Outcome<std::vector<CollectionShape>> shapes = materialize_collection_negation(d);
  if (!shapes) return Emptiness::Undecided;
  return list_emptiness(*shapes, shape_emptiness);
}

}  // namespace tessolin::descr

// Cheap arguments about the kinds of values a node admits: kind masks, the
// single builtin kind of a node, and conservative disjointness.
//
// All answers claim nothing on doubt: an unknown mask, SlotKind::Unknown,
// "not excluded", "not proven disjoint". Recursion into members, inners and
// element schemas is depth-limited; past the limit the answer is the
// non-committal one.
#pragma once

#include <cstdint>
#include <optional>

#include "ir/definitions.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::ir {

// One bit per kind of value; kAllKinds is every value.
using KindMask = uint8_t;
namespace kind_bit {
inline constexpr KindMask kNone = 1;
inline constexpr KindMask kBool = 2;
inline constexpr KindMask kInt = 4;  // ints that are not bools
inline constexpr KindMask kFloat = 8;
inline constexpr KindMask kStr = 16;
inline constexpr KindMask kBytes = 32;
inline constexpr KindMask kOther = 64;  // every value of any other kind
}  // namespace kind_bit
inline constexpr KindMask kAllKinds = kind_bit::kNone | kind_bit::kBool | kind_bit::kInt | kind_bit::kFloat |
                                      kind_bit::kStr | kind_bit::kBytes | kind_bit::kOther;
// The values an Int node admits: ints and bools.
inline constexpr KindMask kIntNodeKinds = kind_bit::kBool | kind_bit::kInt;

struct KindMaskResult {
  bool unknown = true;  // when set, mask carries no meaning
  KindMask mask = 0;
  static KindMaskResult known(KindMask m) { return {false, m}; }
  static KindMaskResult none() { return {true, 0}; }
};

// Known (and exact) only for the whole-kind leaves and unions, intersections,
// complements and constraint-free refinements of them.
KindMaskResult kind_mask(const SchemaNode& node);

// The single builtin kind of the node's values (Int includes bools), asking
// the oracle for a Literal's constant; Unknown when there is none.
SlotKind node_slot_kind(const SchemaNode& node, Oracle& oracle);

// Whether the node's values are of a kind that the class's instances never
// have (class_kind_matches_strict answers No).
bool kind_excludes_class(const SchemaNode& node, uint64_t class_index, Oracle& oracle, DefinitionsView definitions);

class ListFacts;

// True only when proven that no value lies in both nodes. What `facts`
// learn of long member lists serves the rest of their question; the form
// without them learns afresh and spends no steps.
bool nodes_disjoint(const SchemaNode& a, const SchemaNode& b, ListFacts& facts);
bool nodes_disjoint(const SchemaNode& a, const SchemaNode& b, Oracle& oracle);

// Whether some two members are proved disjoint (nodes_disjoint of the
// earlier and the later): Yes or No as asking every pair would answer. A
// short list asks every pair, spending nothing. A long one asks only the
// pairs whose answer its grouping (ListFacts::grouping) leaves open, each
// for a step (ListFacts::spend); out of steps, Undecided.
OracleAnswer some_pair_disjoint(const NodeList& members, ListFacts& facts);

// The constants of a Literal, or of a Union whose members are all Literals
// (in member order, read in place).
std::optional<LiteralMembers> literal_members(const SchemaNode& node, ListFacts& facts);

// Whether the node, through its refinements, holds one element at least
// (a positive MinLen).
bool carries_positive_min_len(const SchemaNode& node) noexcept;

// The schema every element of every value satisfies: through refinements, a
// Collection's element or a prefix-less Sequence's tail; else null.
const SchemaNode* element_schema(const SchemaNode& node) noexcept;

}  // namespace tessolin::ir

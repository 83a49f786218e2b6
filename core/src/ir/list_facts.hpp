// Facts about the long member lists of Unions and Intersections, each learnt
// once per question. A decision asks about one list again and again (the
// union b while each member of a is decided against it); learning the fact
// by a scan on every ask would make the question quadratic in the members.
//
// Lists shorter than the long-list size (kLongList unless told otherwise)
// are scanned on every ask instead of kept. A kept entry holds its list, so
// the address it is found by cannot pass to another list while the entry
// lives. The facts that ask the oracle are its answers for one question: an
// instance serves one question, on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ir/node.hpp"
#include "ir/oracle.hpp"
#include "ir/value_kinds.hpp"

namespace tessolin::ir {

// How a member takes part in nodes_disjoint: what decides its answer against
// a node that is no Union.
enum class DisjointRole : uint8_t {
  Literal,   // its constant; kind is the constant's slot kind, maybe Unknown
  Kinded,    // no Literal, of a known slot kind: the kind decides, and against
             // the same kind its element schema
  Instance,  // its class against the other node's kind
  Inert,     // of no known kind, no Literal, Instance, Union or Nothing:
             // disjoint from Nothing only
  Open,      // a Union or Nothing: asked on its own
};

struct MemberRole {
  DisjointRole role = DisjointRole::Open;
  SlotKind kind = SlotKind::Unknown;  // node_slot_kind
};

class ListFacts {
 public:
  // Members from which a list is kept by default.
  static constexpr size_t kLongList = 16;
  // Members held by all entries together past which new lists are scanned
  // rather than kept, so that the many fresh lists a long question may
  // build are not all kept until it ends. Kept entries stay: their lists
  // and groups may be in use further up the stack.
  static constexpr size_t kHeldMembers = size_t{1} << 20;

  // `spend` grants the steps of the questions a long list leaves to be
  // asked one by one (see nodes_disjoint); without it every one is granted.
  // Lists from `long_list` members on are kept: with SIZE_MAX none is, and
  // every answer comes from the scans and member-by-member questions alone.
  explicit ListFacts(Oracle& oracle, std::function<bool()> spend = {}, size_t long_list = kLongList) noexcept
      : oracle_(oracle), spend_(std::move(spend)), long_list_(long_list) {}
  ListFacts(const ListFacts&) = delete;
  ListFacts& operator=(const ListFacts&) = delete;

  Oracle& oracle() const noexcept { return oracle_; }
  // One step for a question asked one by one; false once none is left.
  bool spend() const { return !spend_ || spend_(); }

  // The first run of Literal members, [begin, end) (empty when none), and
  // whether no Literal lies past it (so in canonical order).
  struct LiteralRun {
    size_t begin = 0;
    size_t end = 0;
    bool alone = true;
  };
  LiteralRun literal_run(const NodeList& list);

  // Whether the pool indices of the literal run rise strictly, so that a
  // binary search finds one.
  bool run_indices_rise(const NodeList& list);

  // The literal run of a long list cut into stretches, in order: each
  // longest stretch of Literals of a known slot kind, and each Literal of
  // none on its own (known false). Empty for a short list.
  struct Stretch {
    uint32_t begin = 0;
    uint32_t end = 0;
    bool known = false;
  };
  std::span<const Stretch> literal_stretches(const NodeList& list);

  // Whether some member is node_eq to `node`. A long list is searched in
  // canonical order (node_cmp, which is 0 exactly where node_eq holds): the
  // list itself when it is in that order, else its positions sorted once.
  bool contains(const NodeList& list, const SchemaNode& node);

  // The kind masks of the members whose mask is known (kind_mask), joined.
  KindMask known_kinds(const NodeList& list);

  // kind_mask(node), remembered for a Union or Intersection of a long list.
  KindMaskResult kind_mask(const SchemaNode& node);

  // Whether the node admits a value on sight, without oracle or budget (a
  // builtin kind, a container that may be empty, or a Union with such a
  // member), remembered for a Union of a long list. False claims nothing.
  bool inhabited_on_sight(const SchemaNode& node);

  // The join (make_union, without definitions) of the inner schemas of the
  // list's Complement members, when it has two or more; remembered for a
  // long list.
  std::optional<SchemaNode> complements_joined(const NodeList& list);

  // The members of a long list grouped by their part in nodes_disjoint:
  // one group per role and kind, the groups in that order, the positions
  // of a group's members in list order. Empty for a short list, whose
  // members are asked one by one.
  struct Group {
    MemberRole role;
    uint32_t begin = 0;  // into positions
    uint32_t end = 0;
  };
  struct Grouping {
    std::span<const Group> groups;
    std::span<const uint32_t> positions;
  };
  Grouping grouping(const NodeList& list);

  // Whether every Instance member of a long list answers No to
  // class_kind_matches for `kind` (true when there is none; false for a
  // kind past Dict).
  bool instances_exclude(const NodeList& list, SlotKind kind);

  // The element schemas of the members of a group of Kinded members of a
  // long list (element_schema), sorted and without repeats, when every
  // member has one; and whether every member carries a positive MinLen.
  struct Elements {
    NodeList schemas;  // null when some member has none
    bool all_hold_one = false;
  };
  Elements elements(const NodeList& list, const Group& group);

 private:
  struct Entry {
    NodeList list;  // held: its address is the key
    // Each fact empty until learnt.
    std::optional<LiteralRun> run;
    std::optional<bool> rise;
    std::optional<bool> in_order;
    std::optional<std::vector<Stretch>> stretches;
    std::vector<uint32_t> order;  // positions by node_cmp, when not in order
    std::optional<KindMask> kinds;
    std::optional<KindMaskResult> union_mask;
    std::optional<KindMaskResult> intersection_mask;
    std::optional<bool> on_sight;
    std::optional<std::optional<SchemaNode>> joined_complements;
    bool grouped = false;
    std::vector<Group> groups;
    std::vector<uint32_t> positions;
    uint16_t excluded_known = 0;  // bit k: bit k of instances_excluded is learnt
    uint16_t instances_excluded = 0;
    struct GroupElements {
      uint32_t group_begin = 0;  // the group's, as its key
      bool have = false;
      bool all_hold_one = true;
      NodeList schemas;
    };
    std::vector<GroupElements> elements;
  };

  // The entry of a long list, made on first use; null for a short one (or
  // past kHeldMembers).
  Entry* entry(const NodeList& list);
  void learn_grouping(Entry& e);
  bool on_sight_at(const SchemaNode& node, int depth);

  Oracle& oracle_;
  std::function<bool()> spend_;
  size_t long_list_;
  std::unordered_map<const void*, Entry> entries_;
  size_t held_ = 0;
};

}  // namespace tessolin::ir

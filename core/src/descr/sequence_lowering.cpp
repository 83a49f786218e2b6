// Lowering of Sequence and Collection nodes and the list and tuple length
// bounds (sequence_lowering.hpp). Tested by core/tests/descr_sequence.
#include "descr/sequence_lowering.hpp"

#include <cassert>

#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/lowering.hpp"

namespace tessolin::descr {

namespace {

constexpr uint8_t kListCode = static_cast<uint8_t>(SlotKind::List);
constexpr uint8_t kTupleCode = static_cast<uint8_t>(SlotKind::Tuple);
constexpr uint8_t kSetCode = static_cast<uint8_t>(SlotKind::Set);
constexpr uint8_t kFrozenSetCode = static_cast<uint8_t>(SlotKind::FrozenSet);

bool is_sequence_code(uint8_t code) { return code == kListCode || code == kTupleCode; }

// Lowered automata have at most one present label per position, so the
// disjointness half of the invariant holds trivially.
[[maybe_unused]] bool at_most_one_present_label(const SequenceAutomaton& a) {
  for (const std::vector<SequenceTransition>& list : a.positions) {
    size_t present = 0;
    for (const SequenceTransition& t : list) present += t.label ? 1 : 0;
    if (present > 1) return false;
  }
  return true;
}

// Whether the complement of `label` is proved empty; remembers the answer
// for the last label asked, which repeats along a length bound's prefix.
class CoversEverything {
 public:
  bool operator()(const SharedDescriptor& label) {
    if (label != last_) {
      last_ = label;
      answer_ = descriptor_emptiness(complement_descriptor(*label)) == Emptiness::Empty;
    }
    return answer_;
  }

 private:
  SharedDescriptor last_;
  bool answer_ = false;
};

std::vector<SequenceTransition> transitions_for(const SharedDescriptor& label, uint32_t next, uint32_t dead,
                                                CoversEverything& covers) {
  spend_fuel_if_any();
  if (covers(label)) return {SequenceTransition{nullptr, next}};
  return {SequenceTransition{label, next}, SequenceTransition{nullptr, dead}};
}

}  // namespace

std::vector<SequenceTransition> position_transitions(const SharedDescriptor& label, uint32_t next, uint32_t dead) {
  CoversEverything covers;
  return transitions_for(label, next, dead, covers);
}

Outcome<Descriptor> sequence_descriptor(const std::vector<SharedDescriptor>& prefix,
                                        const std::optional<SharedDescriptor>& tail, uint8_t code) {
  if (!is_sequence_code(code)) return kGaveUp;
  const auto n = static_cast<uint32_t>(prefix.size());
  const uint32_t dead = n + 1;
  CoversEverything covers;
  SequenceAutomaton a;
  a.positions.reserve(n + 2);
  for (uint32_t i = 0; i < n; ++i) a.positions.push_back(transitions_for(prefix[i], i + 1, dead, covers));
  if (tail)
    a.positions.push_back(transitions_for(*tail, n, dead, covers));
  else
    a.positions.push_back({SequenceTransition{nullptr, dead}});
  a.positions.push_back({SequenceTransition{nullptr, dead}});
  a.accepting.assign(n + 2, 0);
  a.accepting[n] = 1;
  assert(sequence_invariant_holds(a));
  a = normalize_sequence_automaton(std::move(a));
  assert(sequence_invariant_holds(a) && at_most_one_present_label(a));
  Descriptor d;
  set_single_line(d, code, std::move(a));
  return d;
}

Outcome<Descriptor> collection_descriptor(Descriptor element, uint8_t code) {
  if (code != kSetCode && code != kFrozenSetCode) return kGaveUp;
  CollectionDomain domain;
  domain.shapes.push_back(CollectionShape{make_shared_descriptor(std::move(element)), {}});
  Descriptor d;
  set_single_line(d, code, std::move(domain));
  return d;
}

Outcome<Descriptor> lower_sequence_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                        uint32_t depth) {
  assert(node.is(ir::NodeKind::Sequence) && depth > 0);
  std::vector<SharedDescriptor> prefix;
  prefix.reserve(node.prefix().size());
  for (const ir::SchemaNode& item : node.prefix()) {
    Outcome<Descriptor> lowered = lower_node(item, oracle, allowance, depth - 1);
    if (!lowered) return kGaveUp;
    prefix.push_back(make_shared_descriptor(std::move(*lowered)));
  }
  std::optional<SharedDescriptor> tail;
  if (node.tail()) {
    Outcome<Descriptor> lowered = lower_node(*node.tail(), oracle, allowance, depth - 1);
    if (!lowered) return kGaveUp;
    tail = make_shared_descriptor(std::move(*lowered));
  }
  const uint8_t code = node.sequence_kind() == ir::SequenceKind::Tuple ? kTupleCode : kListCode;
  return sequence_descriptor(prefix, tail, code);
}

Outcome<Descriptor> lower_collection_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                          uint32_t depth) {
  assert(node.is(ir::NodeKind::Collection) && depth > 0);
  Outcome<Descriptor> element = lower_node(*node.element(), oracle, allowance, depth - 1);
  if (!element) return kGaveUp;
  const uint8_t code = node.collection_kind() == ir::CollectionKind::FrozenSet ? kFrozenSetCode : kSetCode;
  return collection_descriptor(std::move(*element), code);
}

Outcome<Descriptor> min_length_sequences(uint64_t n, uint8_t code) {
  if (n > kMaxLengthBound || !is_sequence_code(code)) return kGaveUp;
  const SharedDescriptor anything = make_shared_descriptor(anything_descriptor());
  return sequence_descriptor(std::vector<SharedDescriptor>(n, anything), anything, code);
}

Outcome<Descriptor> max_length_sequences(uint64_t n, uint8_t code) {
  if (n == UINT64_MAX || !is_sequence_code(code)) return kGaveUp;
  Outcome<Descriptor> longer = min_length_sequences(n + 1, code);
  if (!longer) return kGaveUp;
  return combine_descriptors(kind_top_descriptor(code), complement_descriptor(*longer), CombineMode::Meet);
}

}  // namespace tessolin::descr

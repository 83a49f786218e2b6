// lower_node and its folds. Private: the Int descriptor and the fold
// driver. Tested by core/tests/descr_lowering.
#include "descr/lowering.hpp"

#include <utility>

#include "descr/class_lowering.hpp"
#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/literal_lowering.hpp"
#include "descr/record_lowering.hpp"
#include "descr/refinement_lowering.hpp"
#include "descr/sequence_lowering.hpp"

namespace tessolin::descr {

using ir::NodeKind;
using ir::SchemaNode;

namespace {

constexpr uint8_t code_of(SlotKind kind) noexcept { return static_cast<uint8_t>(kind); }

// Every int, and the bools with it: an Int node admits True and False.
Descriptor int_node_descriptor() {
  Descriptor d = kind_top_descriptor(code_of(SlotKind::Int));
  set_single_line(d, code_of(SlotKind::Bool), BoolMaskDomain{3});
  return d;
}

// Lowers each entry's node with `lower_entry`, combining into `acc`.
template <class List, class LowerEntry>
Outcome<Descriptor> fold(const List& list, Descriptor acc, CombineMode mode, LowerEntry&& lower_entry) {
  for (const auto& entry : list) {
    Outcome<Descriptor> lowered = lower_entry(entry);
    if (!lowered) return kGaveUp;
    Outcome<Descriptor> combined = combine_descriptors(acc, *lowered, mode);
    if (!combined) return kGaveUp;
    acc = std::move(*combined);
  }
  return acc;
}

Outcome<Descriptor> lower_complement(const SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance, uint32_t depth) {
  Outcome<Descriptor> inner = lower_node(*node.inner(), oracle, allowance, depth);
  if (!inner) return kGaveUp;
  return complement_descriptor(*inner);
}

}  // namespace

Outcome<Descriptor> lower_union_members(const ir::NodeList& members, Descriptor start, ir::Oracle& oracle,
                                        uint32_t& allowance, uint32_t depth) {
  return fold(members, std::move(start), CombineMode::Join,
              [&](const SchemaNode& m) { return lower_node(m, oracle, allowance, depth); });
}

Outcome<Descriptor> lower_intersection_members(const ir::NodeList& members, Descriptor start, ir::Oracle& oracle,
                                               uint32_t& allowance, uint32_t depth) {
  return fold(members, std::move(start), CombineMode::Meet,
              [&](const SchemaNode& m) { return lower_node(m, oracle, allowance, depth); });
}

Outcome<Descriptor> lower_object_attributes(const ir::FieldList& attributes, Descriptor start, ir::Oracle& oracle,
                                            uint32_t& allowance, uint32_t depth) {
  return fold(attributes, std::move(start), CombineMode::Meet, [&](const ir::RecordField& f) -> Outcome<Descriptor> {
    Outcome<Descriptor> value = lower_node(f.schema, oracle, allowance, depth);
    if (!value) return kGaveUp;
    return attribute_descriptor(f.name.view(), std::move(*value), !f.required);
  });
}

Outcome<Descriptor> lower_node(const SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance, uint32_t depth) {
  if (allowance == 0) return kGaveUp;
  --allowance;
  if (depth == 0) return kGaveUp;
  const uint32_t below = depth - 1;
  switch (node.kind()) {
    case NodeKind::Anything: return anything_descriptor();
    case NodeKind::Nothing: return empty_descriptor();
    case NodeKind::None: return kind_top_descriptor(code_of(SlotKind::None));
    case NodeKind::Bool: return kind_top_descriptor(code_of(SlotKind::Bool));
    case NodeKind::Int: return int_node_descriptor();
    case NodeKind::Float: return kind_top_descriptor(code_of(SlotKind::Float));
    case NodeKind::Str: return kind_top_descriptor(code_of(SlotKind::Str));
    case NodeKind::Bytes: return kind_top_descriptor(code_of(SlotKind::Bytes));
    case NodeKind::Literal: return lower_literal(oracle.literal_value(node.number()));
    case NodeKind::Sequence: return lower_sequence_node(node, oracle, allowance, depth);
    case NodeKind::Collection: return lower_collection_node(node, oracle, allowance, depth);
    case NodeKind::Record: return lower_record_node(node, oracle, allowance, below);
    case NodeKind::Union: return lower_union_members(node.members(), empty_descriptor(), oracle, allowance, below);
    case NodeKind::Intersection:
      return lower_intersection_members(node.members(), anything_descriptor(), oracle, allowance, below);
    case NodeKind::Complement: return lower_complement(node, oracle, allowance, below);
    case NodeKind::Instance: return class_instances_descriptor(oracle.class_answer(node.number()));
    case NodeKind::Object:
      return lower_object_attributes(node.attributes(), anything_descriptor(), oracle, allowance, below);
    case NodeKind::Refinement: return lower_refinement(*node.base(), node.constraints(), oracle, allowance, below);
    case NodeKind::Reference:
    case NodeKind::Placeholder: return kGaveUp;
  }
  return kGaveUp;
}

}  // namespace tessolin::descr

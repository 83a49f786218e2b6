#include "ir/node_walk.hpp"

#include "ir/error_codes.hpp"

#include <array>
#include <cstring>
#include <memory>

namespace tessolin::ir {

namespace {

namespace code = errors::code;
// By node kind, in NodeKind order; Refinement names no code of its own.
constexpr std::array<std::string_view, kNodeKindCount> kErrorCodes = {
    code::kAnything,        code::kNoMatch,
    code::kNoneType,        code::kBoolType,
    code::kIntType,         code::kFloatType,
    code::kStringType,      code::kBytesType,
    code::kLiteralError,    code::kListType,
    code::kSetType,         code::kDictType,
    code::kUnionError,      code::kIntersectionError,
    code::kUnexpectedMatch, code::kInstanceType,
    code::kObjectType,      "",
    code::kRecursion,       code::kUnresolvedRecursion};

constexpr std::array<std::string_view, kNodeKindCount> kDisplayNames = {
    "anything",   "nothing",  "None",   "bool", "int",   "float",          "str",
    "bytes",      "literal",  "list",   "set",  "dict",  "union",          "intersection",
    "complement", "instance", "object", "",     "value", "recursive value"};

// Follows a chain of refinements to the node whose kind names them.
const SchemaNode& named_kind_node(const SchemaNode& node) noexcept {
  const SchemaNode* n = &node;
  while (n->is(NodeKind::Refinement) && n->base()) n = n->base().get();
  return *n;
}

uint64_t own_weight(const SchemaNode& n) noexcept {
  return n.is(NodeKind::Refinement) ? 1 + n.constraints().size() : 1;
}

}  // namespace

std::string_view kind_tag_error_code(NodeKind kind) noexcept {
  return tag_of(kind) < kNodeKindCount ? kErrorCodes[tag_of(kind)] : std::string_view();
}

std::string_view kind_tag_display_name(NodeKind kind) noexcept {
  return tag_of(kind) < kNodeKindCount ? kDisplayNames[tag_of(kind)] : std::string_view();
}

std::string_view kind_error_code(const SchemaNode& node) noexcept {
  const SchemaNode& n = named_kind_node(node);
  if (n.is(NodeKind::Sequence) && n.flag() != 0) return "tuple_type";
  if (n.is(NodeKind::Collection) && n.flag() != 0) return "frozen_set_type";
  return kind_tag_error_code(n.kind());
}

std::string_view kind_display_name(const SchemaNode& node) noexcept {
  const SchemaNode& n = named_kind_node(node);
  if (n.is(NodeKind::Sequence) && n.flag() != 0) return "tuple";
  if (n.is(NodeKind::Collection) && n.flag() != 0) return "frozenset";
  return kind_tag_display_name(n.kind());
}

void push_children(const SchemaNode& node, std::vector<const SchemaNode*>& stack) {
  switch (node.kind()) {
    case NodeKind::Sequence:
      for (const SchemaNode& item : node.prefix()) stack.push_back(&item);
      if (node.tail()) stack.push_back(node.tail().get());
      break;
    case NodeKind::Collection:
    case NodeKind::Complement:
      if (node.inner()) stack.push_back(node.inner().get());
      break;
    case NodeKind::Refinement:
      if (node.base()) stack.push_back(node.base().get());
      break;
    case NodeKind::Record:
      for (const RecordField& f : node.fields()) stack.push_back(&f.schema);
      for (const CatchAll& c : node.clauses()) {
        stack.push_back(&c.key);
        stack.push_back(&c.value);
      }
      break;
    case NodeKind::Union:
    case NodeKind::Intersection:
      for (const SchemaNode& m : node.members()) stack.push_back(&m);
      break;
    case NodeKind::Object:
      for (const RecordField& f : node.attributes()) stack.push_back(&f.schema);
      break;
    default: break;
  }
}

uint64_t count_nodes(const SchemaNode& node, uint64_t limit) {
  uint64_t total = own_weight(node);
  if (total > limit) return total;
  std::vector<const SchemaNode*> stack;
  push_children(node, stack);
  while (!stack.empty()) {
    const SchemaNode* n = stack.back();
    stack.pop_back();
    total += own_weight(*n);
    // Stopping here keeps a shared graph of huge tree size cheap: past the
    // limit the caller refuses the schema whatever the exact count.
    if (total > limit) return total;
    push_children(*n, stack);
  }
  return total;
}

namespace {

// Open-addressing map from node address to measured depth. Sized to the
// nodes actually met, so a small tree costs a small table.
class DepthMemo {
 public:
  bool find(const void* key, uint64_t& depth) const noexcept {
    if (keys_.empty()) return false;
    size_t mask = keys_.size() - 1;
    for (size_t i = slot(key, mask);; i = (i + 1) & mask) {
      if (keys_[i] == key) {
        depth = values_[i];
        return true;
      }
      if (keys_[i] == nullptr) return false;
    }
  }
  void insert(const void* key, uint64_t depth) {
    if ((used_ + 1) * 2 > keys_.size()) grow();
    size_t mask = keys_.size() - 1;
    size_t i = slot(key, mask);
    while (keys_[i] != nullptr && keys_[i] != key) i = (i + 1) & mask;
    if (keys_[i] == nullptr) ++used_;
    keys_[i] = key;
    values_[i] = depth;
  }

 private:
  static size_t slot(const void* key, size_t mask) noexcept {
    uint64_t h = reinterpret_cast<uintptr_t>(key) * 0xf1357aea2e62a9c5ULL;
    return static_cast<size_t>(h >> 32) & mask;
  }
  void grow() {
    size_t n = keys_.empty() ? 64 : keys_.size() * 2;
    std::vector<const void*> old_keys(n, nullptr);
    std::vector<uint64_t> old_values(n, 0);
    old_keys.swap(keys_);
    old_values.swap(values_);
    used_ = 0;
    for (size_t i = 0; i < old_keys.size(); ++i)
      if (old_keys[i]) insert(old_keys[i], old_values[i]);
  }
  std::vector<const void*> keys_;
  std::vector<uint64_t> values_;
  size_t used_ = 0;
};

struct DepthFrame {
  const SchemaNode* node;
  size_t first_child;  // index into the child buffer
  size_t child_count;
  size_t next;       // next child to measure
  uint64_t deepest;  // deepest child so far
};

}  // namespace

uint64_t node_depth(const SchemaNode& node) {
  // Post-order over an explicit stack. Every node reached through a handle
  // lives inside a shared cell, so its address identifies it across all the
  // parents that share it; its depth is computed once.
  DepthMemo memo;
  std::vector<const SchemaNode*> children;
  std::vector<DepthFrame> frames;
  auto open = [&](const SchemaNode* n) {
    size_t first = children.size();
    push_children(*n, children);
    frames.push_back(DepthFrame{n, first, children.size() - first, 0, 0});
  };
  open(&node);
  uint64_t result = 1;
  while (!frames.empty()) {
    DepthFrame& f = frames.back();
    if (f.next < f.child_count) {
      const SchemaNode* c = children[f.first_child + f.next];
      uint64_t d;
      if (memo.find(c, d)) {
        if (d > f.deepest) f.deepest = d;
        ++f.next;
        continue;
      }
      open(c);  // invalidates f
      continue;
    }
    uint64_t depth = 1 + f.deepest;
    const SchemaNode* done = f.node;
    children.resize(f.first_child);
    frames.pop_back();
    if (frames.empty()) {
      result = depth;
      break;
    }
    memo.insert(done, depth);
    DepthFrame& parent = frames.back();
    if (depth > parent.deepest) parent.deepest = depth;
    ++parent.next;
  }
  return result;
}

}  // namespace tessolin::ir

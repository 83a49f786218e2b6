// SchemaNode: one immutable node of the schema IR, and the parts it is made of.
//
// A node is a small value: a kind tag, a flag byte and a payload of shared
// handles or numbers. Children are held through shared handles (NodeRef) to
// interned copies; lists (NodeList, FieldList, ClauseList, ConstraintList)
// are shared immutable arrays holding their elements by value. Copying a
// node takes a reference on each handle it holds. Nothing reachable from a
// node ever changes, so any thread may read it; interning is per thread.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

#include "ir/constraint.hpp"
#include "ir/name_text.hpp"
#include "ir/node_kind.hpp"
#include "ir/shared_array.hpp"
#include "ir/shared_counts.hpp"

namespace tessolin::ir {

class SchemaNode;
struct RecordField;
struct CatchAll;

using NodeList = SharedArray<SchemaNode>;
using FieldList = SharedArray<RecordField>;
using ClauseList = SharedArray<CatchAll>;
using ConstraintList = SharedArray<Constraint>;

namespace detail {
struct NodeCell;
}

// Strong shared handle to an immutable node (a child). May be null only where
// a payload field is optional (a Sequence without tail).
class NodeRef {
 public:
  NodeRef() noexcept = default;
  NodeRef(const NodeRef& o) noexcept;
  NodeRef(NodeRef&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
  NodeRef& operator=(const NodeRef& o) noexcept;
  NodeRef& operator=(NodeRef&& o) noexcept;
  ~NodeRef();

  // A fresh shared node that bypasses the intern cache. Callers normally use
  // intern_node instead.
  static NodeRef make_unshared(SchemaNode node);

  explicit operator bool() const noexcept { return cell_ != nullptr; }
  const SchemaNode& operator*() const noexcept;
  const SchemaNode* operator->() const noexcept { return get(); }
  const SchemaNode* get() const noexcept;

  // The address of the shared node: what interning hashes and compares.
  const void* identity() const noexcept { return cell_; }
  bool same_as(const NodeRef& o) const noexcept { return cell_ == o.cell_; }
  uint64_t use_count() const noexcept;

  static NodeRef adopt(detail::NodeCell* c) noexcept {
    NodeRef r;
    r.cell_ = c;
    return r;
  }
  detail::NodeCell* cell() const noexcept { return cell_; }

 private:
  detail::NodeCell* cell_ = nullptr;
};

// Weak handle to a shared node, as held by intern-cache slots.
class WeakNodeRef {
 public:
  WeakNodeRef() noexcept = default;
  explicit WeakNodeRef(const NodeRef& r) noexcept;
  WeakNodeRef(const WeakNodeRef&) = delete;
  WeakNodeRef& operator=(const WeakNodeRef&) = delete;
  WeakNodeRef(WeakNodeRef&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
  WeakNodeRef& operator=(WeakNodeRef&& o) noexcept;
  ~WeakNodeRef() { reset(); }
  void reset() noexcept;
  bool empty() const noexcept { return cell_ == nullptr; }
  // A strong handle when the node is still alive, else null.
  NodeRef lock() const noexcept;

 private:
  detail::NodeCell* cell_ = nullptr;
};

class SchemaNode {
 public:
  // Plain Anything (tag 0, flag 0).
  SchemaNode() noexcept : kind_(NodeKind::Anything), flag_(0), word_(0) {}
  SchemaNode(const SchemaNode& o) noexcept;
  SchemaNode(SchemaNode&& o) noexcept;
  SchemaNode& operator=(const SchemaNode& o) noexcept;
  SchemaNode& operator=(SchemaNode&& o) noexcept;
  ~SchemaNode() { destroy_payload(); }

  // ---- direct builders: no normalisation, no interning of the node itself.
  // The smart constructors (constructors.hpp) build lattice nodes in normal
  // form; these write a node exactly as given.
  static SchemaNode anything(uint8_t flag = 0) noexcept;  // kAnyFlag for typing.Any
  static SchemaNode nothing() noexcept;
  // None, Bool, Int, Float, Str, Bytes (any plain kind; Anything with flag 0).
  static SchemaNode plain(NodeKind kind) noexcept;
  static SchemaNode literal(uint64_t constant) noexcept;
  static SchemaNode instance(uint64_t class_index) noexcept;
  static SchemaNode reference(uint64_t definition) noexcept;
  static SchemaNode placeholder(uint64_t id) noexcept;
  // tail null: exactly the prefix items.
  static SchemaNode sequence(SequenceKind kind, NodeList prefix, NodeRef tail) noexcept;
  static SchemaNode collection(CollectionKind kind, NodeRef element) noexcept;
  static SchemaNode record(FieldList fields, ClauseList clauses) noexcept;
  static SchemaNode union_of(NodeList members) noexcept;
  static SchemaNode intersection_of(NodeList members) noexcept;
  static SchemaNode complement_of(NodeRef inner) noexcept;
  static SchemaNode object(FieldList attributes) noexcept;
  static SchemaNode refinement(NodeRef base, ConstraintList constraints) noexcept;

  // ---- reading
  NodeKind kind() const noexcept { return kind_; }
  uint8_t tag() const noexcept { return static_cast<uint8_t>(kind_); }
  // Meaningful for Anything (kAnyFlag), Sequence and Collection only.
  uint8_t flag() const noexcept { return flag_; }
  bool is(NodeKind k) const noexcept { return kind_ == k; }
  bool is_typing_any() const noexcept { return kind_ == NodeKind::Anything && flag_ == kAnyFlag; }
  SequenceKind sequence_kind() const noexcept { return static_cast<SequenceKind>(flag_); }
  CollectionKind collection_kind() const noexcept { return static_cast<CollectionKind>(flag_); }

  // Literal: constant; Instance: class; Reference: definition number;
  // Placeholder: id. Zero for other kinds.
  uint64_t number() const noexcept { return is_numbered_kind(kind_) ? word_ : 0; }

  // Sequence.
  const NodeList& prefix() const noexcept { return seq_.prefix; }
  const NodeRef& tail() const noexcept { return seq_.tail; }  // may be null
  // Collection: element; Complement: inner node.
  const NodeRef& element() const noexcept { return child_; }
  const NodeRef& inner() const noexcept { return child_; }
  // Record.
  const FieldList& fields() const noexcept { return rec_.fields; }
  const ClauseList& clauses() const noexcept { return rec_.clauses; }
  // Union, Intersection.
  const NodeList& members() const noexcept { return list_; }
  // Object.
  const FieldList& attributes() const noexcept { return attrs_; }
  // Refinement.
  const NodeRef& base() const noexcept { return ref_.base; }
  const ConstraintList& constraints() const noexcept { return ref_.constraints; }

 private:
  struct SequencePayload {
    NodeList prefix;
    NodeRef tail;
  };
  struct RecordPayload {
    FieldList fields;
    ClauseList clauses;
  };
  struct RefinementPayload {
    NodeRef base;
    ConstraintList constraints;
  };

  explicit SchemaNode(NodeKind k, uint8_t flag, uint64_t word) noexcept : kind_(k), flag_(flag), word_(word) {}
  void destroy_payload() noexcept;
  void copy_payload_from(const SchemaNode& o) noexcept;
  void move_payload_from(SchemaNode&& o) noexcept;

  NodeKind kind_;
  uint8_t flag_;
  union {
    uint64_t word_;          // plain and numbered kinds
    NodeRef child_;          // Collection, Complement
    SequencePayload seq_;    // Sequence
    RecordPayload rec_;      // Record
    NodeList list_;          // Union, Intersection
    FieldList attrs_;        // Object
    RefinementPayload ref_;  // Refinement
  };
};

// One declared field of a Record, or attribute of an Object.
struct RecordField {
  SchemaNode schema;
  Text name;
  bool required = true;
};

// A record's clause for undeclared keys.
struct CatchAll {
  SchemaNode key;
  SchemaNode value;
};

namespace detail {
struct NodeCell {
  CellHeader header;
  SchemaNode node;
};
void release_node_cell(NodeCell* c) noexcept;
void release_node_cell_weak(NodeCell* c) noexcept;
}  // namespace detail

// ---- inline handle operations

inline NodeRef::NodeRef(const NodeRef& o) noexcept : cell_(o.cell_) {
  if (cell_) detail::retain_strong(&cell_->header);
}
inline NodeRef& NodeRef::operator=(const NodeRef& o) noexcept {
  if (this != &o) {
    NodeRef tmp(o);
    std::swap(cell_, tmp.cell_);
  }
  return *this;
}
inline NodeRef& NodeRef::operator=(NodeRef&& o) noexcept {
  if (this != &o) {
    NodeRef tmp(std::move(o));
    std::swap(cell_, tmp.cell_);
  }
  return *this;
}
inline NodeRef::~NodeRef() { detail::release_node_cell(cell_); }
inline const SchemaNode& NodeRef::operator*() const noexcept { return cell_->node; }
inline const SchemaNode* NodeRef::get() const noexcept { return cell_ ? &cell_->node : nullptr; }
inline uint64_t NodeRef::use_count() const noexcept {
  return cell_ ? cell_->header.strong.load(std::memory_order_relaxed) : 0;
}

}  // namespace tessolin::ir

#include "ir/node.hpp"

#include <new>

namespace tessolin::ir {

namespace detail {

void release_node_cell(NodeCell* c) noexcept {
  if (c && release_strong(&c->header)) {
    // Contents go now; the storage stays while intern slots hold weak refs.
    c->node.~SchemaNode();
    ::new (static_cast<void*>(&c->node)) SchemaNode();
    if (release_weak(&c->header)) delete c;
  }
}

void release_node_cell_weak(NodeCell* c) noexcept {
  if (c && release_weak(&c->header)) delete c;
}

}  // namespace detail

NodeRef NodeRef::make_unshared(SchemaNode node) {
  auto* c = new detail::NodeCell{};
  c->node = std::move(node);
  return adopt(c);
}

WeakNodeRef::WeakNodeRef(const NodeRef& r) noexcept : cell_(r.cell()) {
  if (cell_) detail::retain_weak(&cell_->header);
}

WeakNodeRef& WeakNodeRef::operator=(WeakNodeRef&& o) noexcept {
  if (this != &o) {
    reset();
    cell_ = std::exchange(o.cell_, nullptr);
  }
  return *this;
}

void WeakNodeRef::reset() noexcept { detail::release_node_cell_weak(std::exchange(cell_, nullptr)); }

NodeRef WeakNodeRef::lock() const noexcept {
  if (cell_ && detail::try_upgrade(&cell_->header)) return NodeRef::adopt(cell_);
  return {};
}

// ---- SchemaNode special members: the payload is a union chosen by kind.

void SchemaNode::destroy_payload() noexcept {
  switch (kind_) {
    case NodeKind::Sequence: seq_.~SequencePayload(); break;
    case NodeKind::Collection:
    case NodeKind::Complement: child_.~NodeRef(); break;
    case NodeKind::Record: rec_.~RecordPayload(); break;
    case NodeKind::Union:
    case NodeKind::Intersection: list_.~NodeList(); break;
    case NodeKind::Object: attrs_.~FieldList(); break;
    case NodeKind::Refinement: ref_.~RefinementPayload(); break;
    default: break;
  }
}

void SchemaNode::copy_payload_from(const SchemaNode& o) noexcept {
  kind_ = o.kind_;
  flag_ = o.flag_;
  switch (kind_) {
    case NodeKind::Sequence: ::new (&seq_) SequencePayload(o.seq_); break;
    case NodeKind::Collection:
    case NodeKind::Complement: ::new (&child_) NodeRef(o.child_); break;
    case NodeKind::Record: ::new (&rec_) RecordPayload(o.rec_); break;
    case NodeKind::Union:
    case NodeKind::Intersection: ::new (&list_) NodeList(o.list_); break;
    case NodeKind::Object: ::new (&attrs_) FieldList(o.attrs_); break;
    case NodeKind::Refinement: ::new (&ref_) RefinementPayload(o.ref_); break;
    default: word_ = o.word_; break;
  }
}

void SchemaNode::move_payload_from(SchemaNode&& o) noexcept {
  kind_ = o.kind_;
  flag_ = o.flag_;
  switch (kind_) {
    case NodeKind::Sequence: ::new (&seq_) SequencePayload(std::move(o.seq_)); break;
    case NodeKind::Collection:
    case NodeKind::Complement: ::new (&child_) NodeRef(std::move(o.child_)); break;
    case NodeKind::Record: ::new (&rec_) RecordPayload(std::move(o.rec_)); break;
    case NodeKind::Union:
    case NodeKind::Intersection: ::new (&list_) NodeList(std::move(o.list_)); break;
    case NodeKind::Object: ::new (&attrs_) FieldList(std::move(o.attrs_)); break;
    case NodeKind::Refinement: ::new (&ref_) RefinementPayload(std::move(o.ref_)); break;
    default: word_ = o.word_; return;
  }
  // A moved-from node holding empty handles would break readers; make it
  // plain Nothing instead.
  o.destroy_payload();
  o.kind_ = NodeKind::Nothing;
  o.flag_ = 0;
  o.word_ = 0;
}

SchemaNode::SchemaNode(const SchemaNode& o) noexcept { copy_payload_from(o); }
SchemaNode::SchemaNode(SchemaNode&& o) noexcept { move_payload_from(std::move(o)); }

SchemaNode& SchemaNode::operator=(const SchemaNode& o) noexcept {
  if (this != &o) {
    SchemaNode tmp(o);  // o may live inside what we release
    destroy_payload();
    move_payload_from(std::move(tmp));
  }
  return *this;
}

SchemaNode& SchemaNode::operator=(SchemaNode&& o) noexcept {
  if (this != &o) {
    SchemaNode tmp(std::move(o));
    destroy_payload();
    move_payload_from(std::move(tmp));
  }
  return *this;
}

SchemaNode SchemaNode::anything(uint8_t flag) noexcept { return SchemaNode(NodeKind::Anything, flag, 0); }
SchemaNode SchemaNode::nothing() noexcept { return SchemaNode(NodeKind::Nothing, 0, 0); }
SchemaNode SchemaNode::plain(NodeKind kind) noexcept {
  if (!is_plain_kind(kind)) kind = NodeKind::Nothing;
  return SchemaNode(kind, 0, 0);
}
SchemaNode SchemaNode::literal(uint64_t c) noexcept { return SchemaNode(NodeKind::Literal, 0, c); }
SchemaNode SchemaNode::instance(uint64_t c) noexcept { return SchemaNode(NodeKind::Instance, 0, c); }
SchemaNode SchemaNode::reference(uint64_t d) noexcept { return SchemaNode(NodeKind::Reference, 0, d); }
SchemaNode SchemaNode::placeholder(uint64_t id) noexcept { return SchemaNode(NodeKind::Placeholder, 0, id); }

SchemaNode SchemaNode::sequence(SequenceKind kind, NodeList prefix, NodeRef tail) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Sequence;
  n.flag_ = static_cast<uint8_t>(kind);
  ::new (&n.seq_) SequencePayload{std::move(prefix), std::move(tail)};
  return n;
}

SchemaNode SchemaNode::collection(CollectionKind kind, NodeRef element) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Collection;
  n.flag_ = static_cast<uint8_t>(kind);
  ::new (&n.child_) NodeRef(std::move(element));
  return n;
}

SchemaNode SchemaNode::record(FieldList fields, ClauseList clauses) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Record;
  ::new (&n.rec_) RecordPayload{std::move(fields), std::move(clauses)};
  return n;
}

SchemaNode SchemaNode::union_of(NodeList members) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Union;
  ::new (&n.list_) NodeList(std::move(members));
  return n;
}

SchemaNode SchemaNode::intersection_of(NodeList members) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Intersection;
  ::new (&n.list_) NodeList(std::move(members));
  return n;
}

SchemaNode SchemaNode::complement_of(NodeRef inner) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Complement;
  ::new (&n.child_) NodeRef(std::move(inner));
  return n;
}

SchemaNode SchemaNode::object(FieldList attributes) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Object;
  ::new (&n.attrs_) FieldList(std::move(attributes));
  return n;
}

SchemaNode SchemaNode::refinement(NodeRef base, ConstraintList constraints) noexcept {
  SchemaNode n(NodeKind::Nothing, 0, 0);
  n.kind_ = NodeKind::Refinement;
  ::new (&n.ref_) RefinementPayload{std::move(base), std::move(constraints)};
  return n;
}

}  // namespace tessolin::ir

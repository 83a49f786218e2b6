#include "ir/intern.hpp"

#include "ir/node_order.hpp"
#include "ir/thread_state.hpp"

namespace tessolin::ir {

using detail::BusyFlag;
using detail::IrThreadState;
using detail::ListCache;
using detail::ListSlot;

namespace {

uint64_t word_of(const void* p) noexcept { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }

template <class T>
std::array<ListSlot<T>, kInternSlots>& slots_of(ListCache<T>& c) {
  if (!c.slots) c.slots = std::make_unique<std::array<ListSlot<T>, kInternSlots>>();
  return *c.slots;
}

bool field_shallow_eq(const RecordField& a, const RecordField& b) noexcept {
  return a.required == b.required && a.name == b.name && node_shallow_eq(a.schema, b.schema);
}

bool clause_shallow_eq(const CatchAll& a, const CatchAll& b) noexcept {
  return node_shallow_eq(a.key, b.key) && node_shallow_eq(a.value, b.value);
}

void hash_element(const SchemaNode& n, FxHasher& h) noexcept { node_shallow_hash(n, h); }
void hash_element(const CatchAll& c, FxHasher& h) noexcept {
  node_shallow_hash(c.key, h);
  node_shallow_hash(c.value, h);
}
void hash_element(const RecordField& f, FxHasher& h) noexcept {
  h.add(name_text_hash(f.name.view()));
  h.add(f.required ? 1 : 0);
  node_shallow_hash(f.schema, h);
}

bool element_eq(const SchemaNode& a, const SchemaNode& b) noexcept { return node_shallow_eq(a, b); }
bool element_eq(const CatchAll& a, const CatchAll& b) noexcept { return clause_shallow_eq(a, b); }
bool element_eq(const RecordField& a, const RecordField& b) noexcept { return field_shallow_eq(a, b); }

// Count, then at most the first four elements.
template <class T>
uint64_t list_hash(std::span<const T> items) noexcept {
  FxHasher h;
  h.add(items.size());
  size_t n = items.size() < 4 ? items.size() : 4;
  for (size_t i = 0; i < n; ++i) hash_element(items[i], h);
  return h.finish();
}

// Looks the list up; on a hit answers it. On a miss calls make() for a new
// shared array and stores its weak reference in the slot.
template <class T, class Make>
SharedArray<T> intern_list(ListCache<T>& cache, std::span<const T> items, Make make) {
  uint64_t slot = intern_slot(list_hash(items));
  auto& slots = slots_of(cache);
  SharedArray<T> result;
  {
    BusyFlag busy(cache.busy);
    ListSlot<T>& s = slots[slot];
    if (s.count == items.size()) {
      if (SharedArray<T> hit = s.list.lock()) {
        bool same = hit.size() == items.size();
        for (size_t i = 0; same && i < items.size(); ++i) same = element_eq(hit[i], items[i]);
        if (same) return hit;
      }
    }
    result = make();
    s.list = WeakArray<T>(result);
    s.count = result.size();
  }
  return result;
}

}  // namespace

void node_shallow_hash(const SchemaNode& n, FxHasher& h) noexcept {
  h.add(n.tag());
  switch (n.kind()) {
    case NodeKind::Anything: h.add(n.flag()); break;
    case NodeKind::Literal:
    case NodeKind::Instance:
    case NodeKind::Reference:
    case NodeKind::Placeholder: h.add(n.number()); break;
    case NodeKind::Sequence:
      h.add(n.flag());
      h.add(word_of(n.prefix().identity()));
      h.add(word_of(n.tail().identity()));
      break;
    case NodeKind::Collection:
      h.add(n.flag());
      h.add(word_of(n.element().identity()));
      break;
    case NodeKind::Record:
      h.add(word_of(n.fields().identity()));
      h.add(word_of(n.clauses().identity()));
      break;
    case NodeKind::Union:
    case NodeKind::Intersection: h.add(word_of(n.members().identity())); break;
    case NodeKind::Object: h.add(word_of(n.attributes().identity())); break;
    case NodeKind::Complement: h.add(word_of(n.inner().identity())); break;
    case NodeKind::Refinement:
      h.add(word_of(n.base().identity()));
      h.add(word_of(n.constraints().identity()));
      break;
    default: break;
  }
}

bool node_shallow_eq(const SchemaNode& a, const SchemaNode& b) noexcept {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case NodeKind::Anything: return a.flag() == b.flag();
    case NodeKind::Literal:
    case NodeKind::Instance:
    case NodeKind::Reference:
    case NodeKind::Placeholder: return a.number() == b.number();
    case NodeKind::Sequence:
      return a.flag() == b.flag() && a.prefix().same_as(b.prefix()) && a.tail().same_as(b.tail());
    case NodeKind::Collection: return a.flag() == b.flag() && a.element().same_as(b.element());
    case NodeKind::Record: return a.fields().same_as(b.fields()) && a.clauses().same_as(b.clauses());
    case NodeKind::Union:
    case NodeKind::Intersection: return a.members().same_as(b.members());
    case NodeKind::Object: return a.attributes().same_as(b.attributes());
    case NodeKind::Complement: return a.inner().same_as(b.inner());
    case NodeKind::Refinement: return a.base().same_as(b.base()) && a.constraints().same_as(b.constraints());
    default: return true;
  }
}

NodeRef intern_node(SchemaNode node) {
  FxHasher h;
  node_shallow_hash(node, h);
  uint64_t slot = intern_slot(h.finish());
  IrThreadState& st = detail::ir_thread_state();
  if (!st.nodes.slots) st.nodes.slots = std::make_unique<std::array<WeakNodeRef, kInternSlots>>();
  NodeRef result;
  {
    BusyFlag busy(st.nodes.busy);
    WeakNodeRef& w = (*st.nodes.slots)[slot];
    NodeRef hit = w.lock();
    if (hit && node_shallow_eq(*hit, node)) return hit;  // `node` dropped by the caller's frame
    result = NodeRef::make_unshared(std::move(node));
    w = WeakNodeRef(result);
  }
  return result;
}

NodeList intern_node_list(std::span<const SchemaNode> items) {
  if (items.empty()) return empty_node_list();
  IrThreadState& st = detail::ir_thread_state();
  return intern_list<SchemaNode>(st.node_lists, items, [&] { return NodeList::copy_of(items); });
}

ClauseList intern_catch_all_list(std::vector<CatchAll>& clauses) {
  if (clauses.empty()) return empty_catch_all_list();
  if (clauses.size() == 1 && clauses[0].key.is(NodeKind::Anything) && clauses[0].value.is(NodeKind::Anything))
    return top_catch_all_list();
  IrThreadState& st = detail::ir_thread_state();
  return intern_list<CatchAll>(st.clause_lists, std::span<const CatchAll>(clauses),
                               [&] { return ClauseList::from_vector(std::move(clauses)); });
}

FieldList intern_field_list(std::vector<RecordField>& fields) {
  if (fields.empty()) return empty_field_list();
  IrThreadState& st = detail::ir_thread_state();
  return intern_list<RecordField>(st.field_lists, std::span<const RecordField>(fields),
                                  [&] { return FieldList::from_vector(std::move(fields)); });
}

// ---- shared constants: built once under the language's thread-safe static
// initialisation, held by a leaked handle so they are never freed.

NodeList empty_node_list() {
  static const NodeList* list = new NodeList(NodeList::from_vector({}));
  return *list;
}

FieldList empty_field_list() {
  static const FieldList* list = new FieldList(FieldList::from_vector({}));
  return *list;
}

ClauseList empty_catch_all_list() {
  static const ClauseList* list = new ClauseList(ClauseList::from_vector({}));
  return *list;
}

ClauseList top_catch_all_list() {
  static const ClauseList* list = [] {
    std::vector<CatchAll> one;
    one.push_back(CatchAll{SchemaNode::anything(), SchemaNode::anything()});
    return new ClauseList(ClauseList::from_vector(std::move(one)));
  }();
  return *list;
}

const SchemaNode& static_anything() noexcept {
  static const SchemaNode node = SchemaNode::anything();
  return node;
}

}  // namespace tessolin::ir

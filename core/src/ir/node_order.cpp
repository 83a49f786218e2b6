#include "ir/node_order.hpp"

#include <algorithm>
#include <cstring>

#include "ir/small_stack.hpp"

namespace tessolin::ir {

namespace {

using Ord = std::strong_ordering;

template <class T>
Ord three_way(const T& a, const T& b) noexcept {
  return a < b ? Ord::less : (b < a ? Ord::greater : Ord::equal);
}

// Pending comparisons, popped in canonical order: everything popped before an
// item compared equal, so the first unequal item decides.
struct CmpItem {
  enum Tag : uint8_t { Node, Field, Clause, Fixed } tag = Node;
  int8_t fixed = 0;  // Fixed: -1, 0, 1
  const void* a = nullptr;
  const void* b = nullptr;
};

int8_t to_int(Ord o) noexcept { return o < 0 ? -1 : (o > 0 ? 1 : 0); }
Ord from_int(int8_t v) noexcept { return v < 0 ? Ord::less : (v > 0 ? Ord::greater : Ord::equal); }

using CmpStack = detail::SmallStack<CmpItem, 32>;

// Pushes the list rule for two element runs: elements pairwise, then the
// shorter first. Nothing when both are the same storage.
template <class T>
void push_list(CmpStack& st, CmpItem::Tag tag, std::span<const T> a, std::span<const T> b) {
  if (a.data() == b.data() && a.size() == b.size()) return;
  size_t n = std::min(a.size(), b.size());
  st.push(CmpItem{CmpItem::Fixed, to_int(three_way(a.size(), b.size())), nullptr, nullptr});
  for (size_t i = n; i > 0; --i) st.push(CmpItem{tag, 0, &a[i - 1], &b[i - 1]});
}

void push_node(CmpStack& st, const SchemaNode* a, const SchemaNode* b) {
  if (a != b) st.push(CmpItem{CmpItem::Node, 0, a, b});
}

Ord constraint_list_cmp(std::span<const Constraint> a, std::span<const Constraint> b) noexcept {
  if (a.data() == b.data() && a.size() == b.size()) return Ord::equal;
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    Ord o = constraint_cmp(a[i], b[i]);
    if (o != 0) return o;
  }
  return three_way(a.size(), b.size());
}

// Compares the parts of two nodes of one kind that come before their
// children, and pushes the children in order. Answers a decided ordering or
// equal (meaning: go on).
Ord expand_node(CmpStack& st, const SchemaNode& a, const SchemaNode& b) {
  if (a.kind() != b.kind()) return three_way(a.tag(), b.tag());
  switch (a.kind()) {
    case NodeKind::Literal:
    case NodeKind::Instance:
    case NodeKind::Reference:
    case NodeKind::Placeholder: return three_way(a.number(), b.number());
    case NodeKind::Sequence: {
      if (a.flag() != b.flag()) return three_way(a.flag(), b.flag());
      // Pushed in reverse: tails last.
      const NodeRef& ta = a.tail();
      const NodeRef& tb = b.tail();
      if (ta && tb) {
        push_node(st, ta.get(), tb.get());
      } else if (ta || tb) {
        st.push(CmpItem{CmpItem::Fixed, static_cast<int8_t>(ta ? 1 : -1), nullptr, nullptr});
      }
      push_list<SchemaNode>(st, CmpItem::Node, a.prefix().span(), b.prefix().span());
      return Ord::equal;
    }
    case NodeKind::Collection:
      if (a.flag() != b.flag()) return three_way(a.flag(), b.flag());
      push_node(st, a.element().get(), b.element().get());
      return Ord::equal;
    case NodeKind::Complement: push_node(st, a.inner().get(), b.inner().get()); return Ord::equal;
    case NodeKind::Record:
      push_list<CatchAll>(st, CmpItem::Clause, a.clauses().span(), b.clauses().span());
      push_list<RecordField>(st, CmpItem::Field, a.fields().span(), b.fields().span());
      return Ord::equal;
    case NodeKind::Union:
    case NodeKind::Intersection:
      push_list<SchemaNode>(st, CmpItem::Node, a.members().span(), b.members().span());
      return Ord::equal;
    case NodeKind::Object:
      push_list<RecordField>(st, CmpItem::Field, a.attributes().span(), b.attributes().span());
      return Ord::equal;
    case NodeKind::Refinement: {
      Ord c = constraint_list_cmp(a.constraints().span(), b.constraints().span());
      if (c != 0) st.push(CmpItem{CmpItem::Fixed, to_int(c), nullptr, nullptr});
      push_node(st, a.base().get(), b.base().get());
      return Ord::equal;
    }
    default: return Ord::equal;  // plain kinds; Anything's flag is ignored
  }
}

}  // namespace

Ord name_cmp(std::string_view a, std::string_view b) noexcept {
  size_t n = std::min(a.size(), b.size());
  if (n > 0) {
    int c = std::memcmp(a.data(), b.data(), n);
    if (c != 0) return c < 0 ? Ord::less : Ord::greater;
  }
  return three_way(a.size(), b.size());
}

Ord node_cmp(const SchemaNode& a, const SchemaNode& b) {
  if (&a == &b) return Ord::equal;
  CmpStack st;
  Ord first = expand_node(st, a, b);
  if (first != 0) return first;
  while (!st.empty()) {
    CmpItem it = st.pop();
    switch (it.tag) {
      case CmpItem::Fixed:
        if (it.fixed != 0) return from_int(it.fixed);
        break;
      case CmpItem::Node: {
        Ord o = expand_node(st, *static_cast<const SchemaNode*>(it.a), *static_cast<const SchemaNode*>(it.b));
        if (o != 0) return o;
        break;
      }
      case CmpItem::Field: {
        const auto& fa = *static_cast<const RecordField*>(it.a);
        const auto& fb = *static_cast<const RecordField*>(it.b);
        Ord o = name_cmp(fa.name.view(), fb.name.view());
        if (o != 0) return o;
        if (fa.required != fb.required)
          st.push(CmpItem{CmpItem::Fixed, static_cast<int8_t>(fa.required ? 1 : -1), nullptr, nullptr});
        push_node(st, &fa.schema, &fb.schema);
        break;
      }
      case CmpItem::Clause: {
        const auto& ca = *static_cast<const CatchAll*>(it.a);
        const auto& cb = *static_cast<const CatchAll*>(it.b);
        push_node(st, &ca.value, &cb.value);
        push_node(st, &ca.key, &cb.key);
        break;
      }
    }
  }
  return Ord::equal;
}

Ord field_cmp(const RecordField& a, const RecordField& b) {
  Ord o = name_cmp(a.name.view(), b.name.view());
  if (o != 0) return o;
  o = node_cmp(a.schema, b.schema);
  if (o != 0) return o;
  return three_way(a.required, b.required);
}

Ord clause_cmp(const CatchAll& a, const CatchAll& b) {
  Ord o = node_cmp(a.key, b.key);
  if (o != 0) return o;
  return node_cmp(a.value, b.value);
}

bool clause_eq(const CatchAll& a, const CatchAll& b) { return node_eq(a.key, b.key) && node_eq(a.value, b.value); }

Ord constraint_cmp(const Constraint& a, const Constraint& b) noexcept {
  if (a.rank() != b.rank()) return three_way(a.rank(), b.rank());
  if (a.kind() == ConstraintKind::Pattern) return name_cmp(a.pattern_text(), b.pattern_text());
  return three_way(a.word(), b.word());
}

bool constraint_eq(const Constraint& a, const Constraint& b) noexcept {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == ConstraintKind::Pattern) return a.pattern_text() == b.pattern_text();
  return a.word() == b.word();
}

namespace {

struct EqItem {
  enum Tag : uint8_t { Node, Field, Clause } tag = Node;
  const void* a = nullptr;
  const void* b = nullptr;
};
using EqStack = detail::SmallStack<EqItem, 32>;

// Equality may look at the parts in any order: any difference decides.
template <class T>
bool push_eq_list(EqStack& st, EqItem::Tag tag, std::span<const T> a, std::span<const T> b) {
  if (a.size() != b.size()) return false;
  if (a.data() == b.data()) return true;
  for (size_t i = 0; i < a.size(); ++i) st.push(EqItem{tag, &a[i], &b[i]});
  return true;
}

void push_eq_child(EqStack& st, const NodeRef& a, const NodeRef& b) {
  if (!a.same_as(b)) st.push(EqItem{EqItem::Node, a.get(), b.get()});
}

bool expand_eq(EqStack& st, const SchemaNode& a, const SchemaNode& b) {
  if (&a == &b) return true;
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case NodeKind::Literal:
    case NodeKind::Instance:
    case NodeKind::Reference:
    case NodeKind::Placeholder: return a.number() == b.number();
    case NodeKind::Sequence: {
      if (a.flag() != b.flag()) return false;
      if (static_cast<bool>(a.tail()) != static_cast<bool>(b.tail())) return false;
      if (!push_eq_list<SchemaNode>(st, EqItem::Node, a.prefix().span(), b.prefix().span())) return false;
      if (a.tail()) push_eq_child(st, a.tail(), b.tail());
      return true;
    }
    case NodeKind::Collection:
      if (a.flag() != b.flag()) return false;
      push_eq_child(st, a.element(), b.element());
      return true;
    case NodeKind::Complement: push_eq_child(st, a.inner(), b.inner()); return true;
    case NodeKind::Record:
      return push_eq_list<RecordField>(st, EqItem::Field, a.fields().span(), b.fields().span()) &&
             push_eq_list<CatchAll>(st, EqItem::Clause, a.clauses().span(), b.clauses().span());
    case NodeKind::Union:
    case NodeKind::Intersection:
      return push_eq_list<SchemaNode>(st, EqItem::Node, a.members().span(), b.members().span());
    case NodeKind::Object:
      return push_eq_list<RecordField>(st, EqItem::Field, a.attributes().span(), b.attributes().span());
    case NodeKind::Refinement: {
      auto ca = a.constraints().span();
      auto cb = b.constraints().span();
      if (ca.size() != cb.size()) return false;
      if (ca.data() != cb.data())
        for (size_t i = 0; i < ca.size(); ++i)
          if (!constraint_eq(ca[i], cb[i])) return false;
      push_eq_child(st, a.base(), b.base());
      return true;
    }
    default: return true;
  }
}

}  // namespace

bool node_eq(const SchemaNode& a, const SchemaNode& b) {
  EqStack st;
  if (!expand_eq(st, a, b)) return false;
  while (!st.empty()) {
    EqItem it = st.pop();
    switch (it.tag) {
      case EqItem::Node:
        if (!expand_eq(st, *static_cast<const SchemaNode*>(it.a), *static_cast<const SchemaNode*>(it.b))) return false;
        break;
      case EqItem::Field: {
        const auto& fa = *static_cast<const RecordField*>(it.a);
        const auto& fb = *static_cast<const RecordField*>(it.b);
        if (fa.required != fb.required || !(fa.name == fb.name)) return false;
        if (&fa.schema != &fb.schema) st.push(EqItem{EqItem::Node, &fa.schema, &fb.schema});
        break;
      }
      case EqItem::Clause: {
        const auto& ca = *static_cast<const CatchAll*>(it.a);
        const auto& cb = *static_cast<const CatchAll*>(it.b);
        st.push(EqItem{EqItem::Node, &ca.key, &cb.key});
        st.push(EqItem{EqItem::Node, &ca.value, &cb.value});
        break;
      }
    }
  }
  return true;
}

// ---- sorts

namespace {

constexpr size_t kInsertionSortMax = 20;

// Stable: each element moves back past every strictly greater one.
template <class T, class Less>
void canonical_sort(T* first, size_t n, Less less) {
  if (n < 2) return;
  if (n <= kInsertionSortMax) {
    for (size_t i = 1; i < n; ++i) {
      size_t j = i;
      if (!less(first[j], first[j - 1])) continue;
      T tmp = std::move(first[i]);
      while (j > 0 && less(tmp, first[j - 1])) {
        first[j] = std::move(first[j - 1]);
        --j;
      }
      first[j] = std::move(tmp);
    }
    return;
  }
  std::stable_sort(first, first + n, less);
}

template <class T, class Eq>
void dedupe_sorted(std::vector<T>& v, Eq eq) {
  if (v.size() < 2) return;
  size_t kept = 1;
  for (size_t i = 1; i < v.size(); ++i) {
    if (eq(v[kept - 1], v[i])) continue;
    if (kept != i) v[kept] = std::move(v[i]);
    ++kept;
  }
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(kept), v.end());
}

}  // namespace

void sort_nodes(std::vector<SchemaNode>& nodes) {
  canonical_sort(nodes.data(), nodes.size(),
                 [](const SchemaNode& a, const SchemaNode& b) { return node_cmp(a, b) < 0; });
}

void dedupe_sorted_nodes(std::vector<SchemaNode>& nodes) {
  dedupe_sorted(nodes, [](const SchemaNode& a, const SchemaNode& b) { return node_eq(a, b); });
}

void sort_and_dedupe_members(std::vector<SchemaNode>& nodes) {
  sort_nodes(nodes);
  dedupe_sorted_nodes(nodes);
}

void sort_clauses(std::vector<CatchAll>& clauses) {
  canonical_sort(clauses.data(), clauses.size(),
                 [](const CatchAll& a, const CatchAll& b) { return clause_cmp(a, b) < 0; });
}

void dedupe_sorted_clauses(std::vector<CatchAll>& clauses) {
  dedupe_sorted(clauses, [](const CatchAll& a, const CatchAll& b) { return clause_eq(a, b); });
}

void sort_constraints(std::vector<Constraint>& constraints) {
  canonical_sort(constraints.data(), constraints.size(),
                 [](const Constraint& a, const Constraint& b) { return constraint_cmp(a, b) < 0; });
}

void dedupe_sorted_constraints(std::vector<Constraint>& constraints) {
  dedupe_sorted(constraints, [](const Constraint& a, const Constraint& b) { return constraint_eq(a, b); });
}

void sort_fields_by_name(std::span<RecordField> fields) {
  canonical_sort(fields.data(), fields.size(),
                 [](const RecordField& a, const RecordField& b) { return name_cmp(a.name.view(), b.name.view()) < 0; });
}

}  // namespace tessolin::ir

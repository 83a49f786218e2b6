// Equality and hashing of validators over their canonical form: pooled
// constants compare by value (each read from its own pool), and unordered
// parts (members, clauses, constraints) match regardless of order.
#include <algorithm>
#include <span>
#include <utility>
#include <vector>

#include "binding/error.hpp"
#include "check/first_fatal.hpp"
#include "ir/node_order.hpp"
#include "validator/siphash13.hpp"
#include "validator/validator_data.hpp"
#include "validator/validator_slots.hpp"

namespace tessolin::py {

namespace {

using ir::NodeKind;
using ir::SchemaNode;
using Pool = std::span<const PyRef>;

PyObject* pooled(Pool pool, uint64_t i) noexcept { return i < pool.size() ? pool[i].get() : nullptr; }

// Ordinary exceptions raised by the constants' own __eq__ count as unequal;
// a fatal one is kept in `fatal` and, from then on, no __eq__ is called.
bool constants_equal(PyObject* x, PyObject* y, check::FirstFatal& fatal) noexcept {
  if (x == nullptr || y == nullptr) return false;
  if (x == y) return true;
  if (Py_TYPE(x) != Py_TYPE(y) || fatal.met()) return false;
  PyObject* r = PyObject_RichCompare(x, y, Py_EQ);
  if (r == nullptr) {
    fatal.absorb_pending();
    return false;
  }
  int truth = PyObject_IsTrue(r);
  Py_DECREF(r);
  if (truth < 0) {
    fatal.absorb_pending();
    return false;
  }
  return truth == 1;
}

class SchemaHash {
 public:
  SchemaHash(Pool pool, check::FirstFatal& fatal) : pool_(pool), fatal_(fatal) {}

  void node(const SchemaNode& n, SipHasher13& h) {
    h.write_word(n.tag());
    switch (n.kind()) {
      case NodeKind::Literal:
      case NodeKind::Instance: constant(n.number(), h); return;
      case NodeKind::Sequence:
        h.write_word(n.flag());
        h.write_word(n.prefix().size());
        for (const SchemaNode& item : n.prefix()) node(item, h);
        h.write_byte(n.tail() ? 1 : 0);
        if (n.tail()) node(*n.tail(), h);
        return;
      case NodeKind::Collection:
        h.write_word(n.flag());
        node(*n.element(), h);
        return;
      case NodeKind::Complement: node(*n.inner(), h); return;
      case NodeKind::Record: {
        fields(n.fields(), h);
        h.write_word(n.clauses().size());
        uint64_t sum = 0;
        for (const ir::CatchAll& c : n.clauses()) sum += of(c);
        h.write_word(sum);
        return;
      }
      case NodeKind::Union:
      case NodeKind::Intersection: {
        h.write_word(n.members().size());
        uint64_t sum = 0;
        for (const SchemaNode& m : n.members()) sum += of(m);
        h.write_word(sum);
        return;
      }
      case NodeKind::Object: fields(n.attributes(), h); return;
      case NodeKind::Refinement: {
        node(*n.base(), h);
        h.write_word(n.constraints().size());
        uint64_t sum = 0;
        for (const ir::Constraint& c : n.constraints()) sum += of(c);
        h.write_word(sum);
        return;
      }
      case NodeKind::Reference: h.write_word(n.number()); return;
      default: return;  // the leaves and Placeholder: the tag alone
    }
  }

  // The hashes of the unordered parts, which their containers sum: equal
  // parts hash alike.
  uint64_t of(const SchemaNode& member) {
    SipHasher13 own;
    node(member, own);
    return own.finish();
  }
  uint64_t of(const ir::CatchAll& clause) {
    SipHasher13 own;
    node(clause.key, own);
    node(clause.value, own);
    return own.finish();
  }
  uint64_t of(const ir::Constraint& c) {
    SipHasher13 own;
    own.write_word(c.rank());
    if (c.holds_pool_index()) {
      constant(c.word(), own);
    } else if (c.kind() == ir::ConstraintKind::Pattern) {
      own.write_bytes(c.pattern_text());
      own.write_byte(0xFF);
    } else {
      own.write_word(c.word());
    }
    return own.finish();
  }

 private:
  void fields(const ir::FieldList& list, SipHasher13& h) {
    h.write_word(list.size());
    for (const ir::RecordField& f : list) {
      h.write_bytes(f.name.view());
      h.write_byte(0xFF);
      h.write_byte(f.required ? 1 : 0);
      node(f.schema, h);
    }
  }

  // The object's hash, then its type's; a raising hash writes nothing. An
  // ordinary exception is dropped; a fatal one is kept in `fatal_` and, from
  // then on, no __hash__ is called.
  void constant(uint64_t i, SipHasher13& h) {
    PyObject* obj = pooled(pool_, i);
    if (obj == nullptr || fatal_.met()) return;
    Py_hash_t value = PyObject_Hash(obj);
    if (value == -1 && PyErr_Occurred()) {
      fatal_.absorb_pending();
      return;
    }
    h.write_word(static_cast<uint64_t>(value));
    Py_hash_t type_hash = PyObject_Hash(reinterpret_cast<PyObject*>(Py_TYPE(obj)));
    if (type_hash == -1 && PyErr_Occurred()) {
      fatal_.absorb_pending();
      return;
    }
    h.write_word(static_cast<uint64_t>(type_hash));
  }

  Pool pool_;
  check::FirstFatal& fatal_;
};

class SchemaEquality {
 public:
  SchemaEquality(Pool pa, Pool pb, check::FirstFatal& fatal)
      : pa_(pa), pb_(pb), fatal_(fatal), hash_a_(pa, fatal), hash_b_(pb, fatal) {}

  bool equal(const SchemaNode& a, const SchemaNode& b) {
    if (a.kind() != b.kind() || fatal_.met()) return false;
    switch (a.kind()) {
      case NodeKind::Literal:
      case NodeKind::Instance: return constants_equal(pooled(pa_, a.number()), pooled(pb_, b.number()), fatal_);
      case NodeKind::Sequence: {
        if (a.flag() != b.flag() || a.prefix().size() != b.prefix().size()) return false;
        for (size_t i = 0; i < a.prefix().size(); ++i) {
          if (!equal(a.prefix()[i], b.prefix()[i])) return false;
        }
        if (!a.tail() || !b.tail()) return !a.tail() && !b.tail();
        return equal(*a.tail(), *b.tail());
      }
      case NodeKind::Collection: return a.flag() == b.flag() && equal(*a.element(), *b.element());
      case NodeKind::Complement: return equal(*a.inner(), *b.inner());
      case NodeKind::Record:
        return fields_equal(a.fields(), b.fields()) &&
               matched(a.clauses(), b.clauses(), [this](const ir::CatchAll& x, const ir::CatchAll& y) {
                 return equal(x.key, y.key) && equal(x.value, y.value);
               });
      case NodeKind::Union:
      case NodeKind::Intersection:
        return matched(a.members(), b.members(),
                       [this](const SchemaNode& x, const SchemaNode& y) { return equal(x, y); });
      case NodeKind::Object: return fields_equal(a.attributes(), b.attributes());
      case NodeKind::Refinement:
        return equal(*a.base(), *b.base()) &&
               matched(a.constraints(), b.constraints(),
                       [this](const ir::Constraint& x, const ir::Constraint& y) { return constraint_equal(x, y); });
      default: return ir::node_eq(a, b);
    }
  }

 private:
  bool fields_equal(const ir::FieldList& a, const ir::FieldList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].name.view() != b[i].name.view() || a[i].required != b[i].required) return false;
      if (!equal(a[i].schema, b[i].schema)) return false;
    }
    return true;
  }

  bool constraint_equal(const ir::Constraint& x, const ir::Constraint& y) {
    if (x.kind() != y.kind()) return false;
    if (x.holds_pool_index()) return constants_equal(pooled(pa_, x.word()), pooled(pb_, y.word()), fatal_);
    return ir::constraint_eq(x, y);
  }

  // Every item of a matched to a distinct equal item of b: first the one at
  // the same place (two builds of one schema keep one order), then, for the
  // items left, the first untaken equal one among those of its hash. Equal
  // items hash alike, so this finds a matching wherever a scan of every
  // pair would, in time near linear in the items.
  template <class List, class Eq>
  bool matched(const List& a, const List& b, Eq eq) {
    if (a.size() != b.size()) return false;
    std::vector<bool> taken(b.size(), false);
    std::vector<size_t> left;
    for (size_t i = 0; i < a.size(); ++i) {
      if (eq(a[i], b[i])) {
        taken[i] = true;
      } else {
        left.push_back(i);
      }
      if (fatal_.met()) return false;
    }
    if (left.empty()) return true;
    std::vector<std::pair<uint64_t, size_t>> by_hash;  // b's untaken items
    by_hash.reserve(left.size());
    for (size_t j = 0; j < b.size(); ++j)
      if (!taken[j]) by_hash.emplace_back(hash_b_.of(b[j]), j);
    std::sort(by_hash.begin(), by_hash.end());
    for (size_t i : left) {
      const uint64_t h = hash_a_.of(a[i]);
      if (fatal_.met()) return false;
      auto it = std::lower_bound(by_hash.begin(), by_hash.end(), std::make_pair(h, size_t{0}));
      bool found = false;
      for (; it != by_hash.end() && it->first == h && !found; ++it) {
        if (taken[it->second] || !eq(a[i], b[it->second])) continue;
        taken[it->second] = true;
        found = true;
      }
      if (!found) return false;
    }
    return true;
  }

  Pool pa_;
  Pool pb_;
  check::FirstFatal& fatal_;
  SchemaHash hash_a_;
  SchemaHash hash_b_;
};

// A fatal exception from a constant's __eq__ ends the comparison (false) and
// is kept in `fatal`.
bool validators_equal(const ValidatorData& a, const ValidatorData& b, check::FirstFatal& fatal) {
  if (a.definitions.size() != b.definitions.size()) return false;
  SchemaEquality eq(a.pool_objects, b.pool_objects, fatal);
  if (!eq.equal(a.root, b.root)) return false;
  for (size_t i = 0; i < a.definitions.size(); ++i) {
    if (!eq.equal(a.definitions[i], b.definitions[i])) return false;
  }
  return true;
}


}  // namespace

// Not cached: a fatal exception leaves nothing behind, and the next call
// hashes again.
Py_hash_t validator_hash(PyObject* self) {
  const ValidatorData& data = *validator_data(self);
  check::FirstFatal fatal;
  SchemaHash hash(data.pool_objects, fatal);
  SipHasher13 h;
  hash.node(data.root, h);
  h.write_word(data.definitions.size());
  for (const SchemaNode& d : data.definitions) hash.node(d, h);
  fatal.raise_if_met();
  auto value = static_cast<Py_hash_t>(h.finish());
  return value == -1 ? -2 : value;
}

PyRef validator_richcompare(PyObject* self, PyObject* other, int op) {
  if (op == Py_NE) {
    PyRef eq = PyRef::check(PyObject_RichCompare(self, other, Py_EQ));
    int truth = check(PyObject_IsTrue(eq.get()));
    return PyRef::borrow(truth ? Py_False : Py_True);
  }
  if (op != Py_EQ || !is_validator(other)) return PyRef::borrow(Py_NotImplemented);
  check::FirstFatal fatal;
  const bool equal = validators_equal(*validator_data(self), *validator_data(other), fatal);
  fatal.raise_if_met();
  return PyRef::borrow(equal ? Py_True : Py_False);
}

}  // namespace tessolin::py

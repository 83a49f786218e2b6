#include "oracle/pool_oracle.hpp"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "check/run_walk.hpp"
#include "handles/typing_handles.hpp"
#include "ir/list_facts.hpp"
#include "oracle/class_facts.hpp"
#include "oracle/enum_closure.hpp"
#include "oracle/equal_values.hpp"
#include "limits/limits.hpp"

namespace tessolin::oracle {

using ir::ClassAnswer;
using ir::ConstantOrder;
using ir::LiteralValue;
using ir::NodeKind;
using ir::OracleAnswer;
using ir::SchemaNode;
using ir::SlotKind;
using py::PyRef;

namespace {

// More members than this and an enum class is not enumerated.
constexpr size_t kMaxEnumMembers = limits::kMaxEnumMembers;

constinit py::InternedName kAdd{"__add__"};
constinit py::InternedName kSub{"__sub__"};
constinit py::InternedName kMod{"__mod__"};
constinit py::InternedName kEqMethod{"__eq__"};

// Runs `body`; a Python failure is absorbed into `fatal` and `fallback` is
// the answer, so that no operation raises or leaves an error pending. After
// a fatal exception `body` is not run: no more user code. Broken invariants
// (InternalError) still travel up.
template <class R, class Body>
R answer_or(check::FirstFatal& fatal, R fallback, Body&& body) {
  if (fatal.met()) return fallback;
  try {
    R answer = body();
    if (PyErr_Occurred() == nullptr) return answer;
  } catch (const py::PythonError&) {
  }
  fatal.absorb_pending();
  return fallback;
}

bool truth(PyObject* value) { return py::check(PyObject_IsTrue(value)) == 1; }

// `x op y` by rich comparison and the truth of its result; no identity
// shortcut, so a NaN is unequal to itself.
bool compares(PyObject* x, PyObject* y, int op) {
  PyRef result = PyRef::check(PyObject_RichCompare(x, y, op));
  return truth(result.get());
}

// Equal, then Less, then Greater, each asked in turn; none: Unordered.
// Throws PythonError when a comparison raises.
ConstantOrder order_of(PyObject* x, PyObject* y) {
  if (compares(x, y, Py_EQ)) return ConstantOrder::Equal;
  if (compares(x, y, Py_LT)) return ConstantOrder::Less;
  if (compares(x, y, Py_GT)) return ConstantOrder::Greater;
  return ConstantOrder::Unordered;
}

PyRef call_method(PyObject* obj, py::InternedName& name, PyObject* arg) {
  return PyRef::check(PyObject_CallMethodOneArg(obj, name.get(), arg));
}

PyRef call_one(PyObject* fn, PyObject* arg) { return PyRef::check(PyObject_CallOneArg(fn, arg)); }

PyRef small_int(long value) { return PyRef::check(PyLong_FromLong(value)); }

bool is_class(PyObject* obj) noexcept { return PyType_Check(obj); }

PyObject* type_of(PyObject* obj) noexcept { return reinterpret_cast<PyObject*>(Py_TYPE(obj)); }

OracleAnswer yes_no(bool b) noexcept { return b ? OracleAnswer::Yes : OracleAnswer::No; }

// The set key standing for x's equality among keyable values: (type, x) for
// a builtin scalar, whose hash is the interpreter's; the address for a value
// compared by identity, so that no hash of the user's (which may change
// between calls, or be its metaclass's) decides whether two are one. An int
// key never equals a tuple key.
PyRef typed_key(PyObject* x) {
  if (scalar_kind_of(x) == SlotKind::Unknown) return PyRef::check(PyLong_FromVoidPtr(x));
  return PyRef::check(PyTuple_Pack(2, type_of(x), x));
}

}  // namespace

// Whether the set (type(x), x) keys can stand for x's equality: a builtin
// scalar, or a value whose class compares by identity.
bool PoolOracle::keyable(PyObject* x) noexcept {
  return scalar_kind_of(x) != SlotKind::Unknown || has_identity_eq(type_of(x), fatal_);
}

// ---- values and classes

uint32_t PoolOracle::class_id_of(PyObject* cls) {
  const uint32_t id = build::class_id(class_ids_, cls);
  // Ids are handed out densely: a new id is the next one. The class is held
  // until the query ends, so that its address, by which the table knows it,
  // cannot pass to another class meanwhile.
  if (id == id_holders_.size()) id_holders_.push_back(PyRef::borrow(cls));
  return id;
}

ClassAnswer PoolOracle::class_answer_of(PyObject* cls) {
  if (has_standard_class_hooks(type_of(cls), fatal_) != OracleAnswer::Yes) return {};
  return answer_or(fatal_, ClassAnswer{}, [&]() -> ClassAnswer {
    // The tuple is held while the ids are handed out.
    PyRef mro = own_mro(cls);
    if (!mro) return {};
    BuiltinBase base = builtin_base_kind(cls);
    // int and bool have bools among their instances, which the answer's
    // kind (int) would leave out.
    if (base.kind == SlotKind::Int && PyType_IsSubtype(&PyBool_Type, reinterpret_cast<PyTypeObject*>(cls))) {
      return {};
    }
    ClassAnswer answer;
    answer.class_id = class_id_of(cls);
    answer.ids.push_back(answer.class_id);
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(mro.get()); ++k) {
      PyObject* item = PyTuple_GET_ITEM(mro.get(), k);
      if (!is_class(item)) return {};
      answer.ids.push_back(class_id_of(item));
    }
    std::sort(answer.ids.begin(), answer.ids.end());
    answer.ids.erase(std::unique(answer.ids.begin(), answer.ids.end()), answer.ids.end());
    answer.base_position = base.position;
    answer.tag = static_cast<uint8_t>(base.kind);
    return answer;
  });
}

LiteralValue PoolOracle::literal_value_of(uint64_t i) {
  PyObject* x = constant(i);
  if (x == nullptr) return LiteralValue::declined();
  if (x == Py_None) return LiteralValue::none();
  if (is_class(x)) {
    LiteralValue value;
    value.klass = class_answer_of(x);
    value.tag = value.klass.tag;
    return value;
  }
  return answer_or(fatal_, LiteralValue::declined(), [&]() -> LiteralValue {
    switch (scalar_kind_of(x)) {
      case SlotKind::Bool: return LiteralValue::of_bool(x == Py_True);
      case SlotKind::Int: {
        int overflow = 0;
        long long v = PyLong_AsLongLongAndOverflow(x, &overflow);
        if (v == -1 && PyErr_Occurred()) throw py::PythonError{};
        if (overflow != 0) return LiteralValue::declined();
        return LiteralValue::of_int(static_cast<int64_t>(v));
      }
      case SlotKind::Float: return LiteralValue::of_float(PyFloat_AS_DOUBLE(x));
      case SlotKind::Str: {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(x, &size);  // a lone surrogate raises
        if (utf8 == nullptr) throw py::PythonError{};
        return LiteralValue::of_text(SlotKind::Str, std::string(utf8, static_cast<size_t>(size)));
      }
      case SlotKind::Bytes:
        return LiteralValue::of_text(SlotKind::Bytes,
                                     std::string(PyBytes_AS_STRING(x), static_cast<size_t>(PyBytes_GET_SIZE(x))));
      default: return LiteralValue::declined();
    }
  });
}

LiteralValue PoolOracle::constraint_value(uint64_t i) { return literal_value_of(i); }

LiteralValue PoolOracle::literal_value(uint64_t i) { return literal_value_of(i); }

ClassAnswer PoolOracle::class_answer(uint64_t i) {
  PyObject* x = constant(i);
  if (x == nullptr || !is_class(x)) return {};
  return class_answer_of(x);
}

// ---- inclusion of a literal or a class in a schema

const std::vector<PyRef>* PoolOracle::closed_enum(PyObject* cls) {
  auto found = closed_enums_.find(cls);
  if (found == closed_enums_.end()) {
    ClosedEnum entry{PyRef::borrow(cls), closed_enum_members(cls, kMaxEnumMembers)};
    found = closed_enums_.emplace(cls, std::move(entry)).first;
  }
  return found->second.members ? &*found->second.members : nullptr;
}

OracleAnswer PoolOracle::enum_members_within(PyObject* cls, const SchemaNode& b) {
  return answer_or(fatal_, OracleAnswer::Undecided, [&]() -> OracleAnswer {
    const std::vector<PyRef>* members = closed_enum(cls);
    if (members == nullptr) return OracleAnswer::Undecided;
    // Members equal to other values (an int-valued enum's) are not settled
    // by testing the members alone.
    if (!has_identity_eq(cls, fatal_)) return OracleAnswer::Undecided;
    for (const PyRef& member : *members) {
      OracleAnswer answer = membership(b, member.get());
      if (answer != OracleAnswer::Yes) return answer;
    }
    return OracleAnswer::Yes;
  });
}

// Whether x is a member of b by the walk; Undecided when a fatal exception
// stopped the walk (or one was met before: no more user code).
OracleAnswer PoolOracle::membership(const SchemaNode& b, PyObject* x) {
  if (fatal_.met()) return OracleAnswer::Undecided;
  PyRef held = PyRef::borrow(x);
  const bool member = check::is_member(constants_, definitions_, b, held.get(), fatal_);
  fatal_.absorb_pending();
  return fatal_.met() ? OracleAnswer::Undecided : yes_no(member);
}

// Whether b admits or refuses every value of exactly x's type alike: a kind
// that tests the type alone, or a class with the standard instance checks
// that x's type derives from (isinstance then answers before it could read
// a value's own __class__).
bool PoolOracle::type_settles(const SchemaNode& b, PyObject* x) {
  if (ir::is_plain_kind(b.kind())) return true;
  if (!b.is(NodeKind::Instance)) return false;
  PyObject* cls = constant(b.number());
  if (cls == nullptr || !is_class(cls)) return false;
  if (has_standard_class_hooks(type_of(cls), fatal_) != OracleAnswer::Yes) return false;
  return PyType_IsSubtype(Py_TYPE(x), reinterpret_cast<PyTypeObject*>(cls)) != 0;
}

// Values that together stand for every value Literal[x] admits, x first:
// its representatives, or for a member of a closed enum the members equal to
// it (the enum's only instances); nullopt when none are known.
std::optional<std::vector<PyRef>> PoolOracle::equal_values(PyObject* x) {
  return answer_or(fatal_, std::optional<std::vector<PyRef>>{}, [&]() -> std::optional<std::vector<PyRef>> {
    if (std::optional<std::vector<PyRef>> values = literal_representatives(x, fatal_)) return values;
    const std::vector<PyRef>* members = closed_enum(type_of(x));
    if (members == nullptr) return std::nullopt;
    std::vector<PyRef> equal;
    equal.push_back(PyRef::borrow(x));
    for (const PyRef& member : *members)
      if (member.get() != x && py::check(PyObject_RichCompareBool(member.get(), x, Py_EQ)) == 1)
        equal.push_back(member.dup());
    return equal;
  });
}

// Whether every value Literal[x] admits is in b. x not in b is a witness;
// x in b proves the rest only where b looks at the type alone, or through
// the values standing for x's equal values.
OracleAnswer PoolOracle::literal_within(const SchemaNode& b, PyObject* x) {
  const OracleAnswer itself = membership(b, x);
  if (itself != OracleAnswer::Yes || type_settles(b, x)) return itself;
  std::optional<std::vector<PyRef>> values = equal_values(x);
  if (!values) return OracleAnswer::Undecided;
  bool undecided = false;
  for (size_t k = 1; k < values->size(); ++k) {  // values[0] is x, in b
    const OracleAnswer answer = membership(b, (*values)[k].get());
    if (answer == OracleAnswer::No) return OracleAnswer::No;
    if (answer == OracleAnswer::Undecided) undecided = true;
  }
  return undecided ? OracleAnswer::Undecided : OracleAnswer::Yes;
}

OracleAnswer PoolOracle::decide_subset(const SchemaNode& a, const SchemaNode& b) {
  if (a.is(NodeKind::Literal)) {
    PyObject* x = constant(a.number());
    return x == nullptr ? OracleAnswer::Undecided : literal_within(b, x);
  }
  if (!a.is(NodeKind::Instance)) return OracleAnswer::Undecided;
  PyObject* cls = constant(a.number());
  if (cls == nullptr) return OracleAnswer::Undecided;
  if (b.is(NodeKind::Instance)) {
    PyObject* other = constant(b.number());
    if (other == nullptr || !is_class(cls)) return OracleAnswer::Undecided;
    if (has_standard_class_hooks(type_of(cls), fatal_) != OracleAnswer::Yes) return OracleAnswer::Undecided;
    if (has_standard_class_hooks(type_of(other), fatal_) != OracleAnswer::Yes) return OracleAnswer::Undecided;
    return answer_or(fatal_, OracleAnswer::Undecided,
                     [&] { return yes_no(py::check(PyObject_IsSubclass(cls, other)) == 1); });
  }
  if (!is_class(cls)) return OracleAnswer::Undecided;
  return enum_members_within(cls, b);
}

// ---- constants against constants

ConstantOrder PoolOracle::compare_constants(uint64_t i, uint64_t j) {
  PyObject* x = constant(i);
  PyObject* y = constant(j);
  if (x == nullptr || y == nullptr) return ConstantOrder::Unordered;
  return answer_or(fatal_, ConstantOrder::Unordered, [&] { return order_of(x, y); });
}

OracleAnswer PoolOracle::constants_disjoint(const ir::LiteralMembers& a, const ir::LiteralMembers& b) {
  const bool a_shorter = a.size() <= b.size();
  const ir::LiteralMembers& shorter = a_shorter ? a : b;
  const ir::LiteralMembers& longer = a_shorter ? b : a;
  return answer_or(fatal_, OracleAnswer::Undecided, [&]() -> OracleAnswer {
    std::vector<PyRef> keys;
    keys.reserve(shorter.size());
    PyRef seen = PyRef::check(PySet_New(nullptr));
    for (uint64_t index : shorter) {
      PyObject* x = constant(index);
      if (x == nullptr || !keyable(x)) return OracleAnswer::Undecided;
      keys.push_back(typed_key(x));
      py::check(PySet_Add(seen.get(), keys.back().get()));
    }
    if (longer.size() >= ir::ListFacts::kLongList) return against_kept_run(keys, seen.get(), longer);
    for (uint64_t index : longer) {
      PyObject* x = constant(index);
      if (x == nullptr || !keyable(x)) return OracleAnswer::Undecided;
      PyRef key = typed_key(x);
      if (py::check(PySet_Contains(seen.get(), key.get())) == 1) return OracleAnswer::No;
    }
    return OracleAnswer::Yes;
  });
}

// The answer the scan of `run` in order would give: No at a key in `seen`,
// Undecided at a constant that is no key first. The run's keys are learnt
// once for the query, only as far as some question needed them.
OracleAnswer PoolOracle::against_kept_run(const std::vector<PyRef>& keys, PyObject* seen,
                                          const ir::LiteralMembers& run) {
  KeptRun& kept = kept_run(run);
  for (const PyRef& key : keys)
    if (py::check(PySet_Contains(kept.keys.get(), key.get())) == 1) return OracleAnswer::No;
  while (!kept.stopped && kept.scanned < run.size()) {
    PyObject* x = constant(run[kept.scanned]);
    // Stopped until its key is in: a constant that is no key, or whose key
    // raises, ends the scan at it for every question.
    kept.stopped = true;
    if (x == nullptr || !keyable(x)) break;
    PyRef key = typed_key(x);
    py::check(PySet_Add(kept.keys.get(), key.get()));
    kept.stopped = false;
    ++kept.scanned;
    ++kept_keys_;
    if (py::check(PySet_Contains(seen, key.get())) == 1) return OracleAnswer::No;
  }
  return kept.stopped ? OracleAnswer::Undecided : OracleAnswer::Yes;
}

PoolOracle::KeptRun& PoolOracle::kept_run(const ir::LiteralMembers& run) {
  const RunId id{run.list()->identity(), run.list_begin(), run.size()};
  auto found = kept_runs_.find(id);
  if (found != kept_runs_.end()) return found->second;
  if (kept_keys_ > kMaxKeptKeys) {
    kept_runs_.clear();
    kept_keys_ = 0;
  }
  KeptRun& kept = kept_runs_[id];
  kept.list = *run.list();
  kept.keys = PyRef::check(PySet_New(nullptr));
  return kept;
}

OracleAnswer PoolOracle::integer_range_empty(uint64_t i, bool low_exclusive, uint64_t j, bool high_exclusive) {
  return answer_or(fatal_, OracleAnswer::Undecided, [&]() -> OracleAnswer {
    const py::RoundingHandles& rounding = py::rounding_handles();
    PyObject* x = constant(i);
    PyObject* y = constant(j);
    if (x == nullptr || y == nullptr) return OracleAnswer::Undecided;
    PyRef one = small_int(1);
    PyRef low = low_exclusive ? call_method(call_one(rounding.floor.get(), x).get(), kAdd, one.get())
                              : call_one(rounding.ceil.get(), x);
    PyRef high = high_exclusive ? call_method(call_one(rounding.ceil.get(), y).get(), kSub, one.get())
                                : call_one(rounding.floor.get(), y);
    switch (order_of(low.get(), high.get())) {
      case ConstantOrder::Greater: return OracleAnswer::Yes;
      case ConstantOrder::Equal:
      case ConstantOrder::Less: return OracleAnswer::No;
      default: return OracleAnswer::Undecided;
    }
  });
}

OracleAnswer PoolOracle::is_multiple(uint64_t i, uint64_t j) {
  PyObject* x = constant(i);
  PyObject* y = constant(j);
  if (x == nullptr || y == nullptr) return OracleAnswer::Undecided;
  return answer_or(fatal_, OracleAnswer::Undecided, [&]() -> OracleAnswer {
    PyRef remainder = call_method(x, kMod, y);
    if (remainder.get() == Py_NotImplemented) return OracleAnswer::Undecided;
    PyRef zero = small_int(0);
    PyRef equal = call_method(remainder.get(), kEqMethod, zero.get());
    // NotImplemented proves nothing (its truth is no answer to the question).
    if (equal.get() == Py_NotImplemented) return OracleAnswer::Undecided;
    return yes_no(truth(equal.get()));
  });
}

OracleAnswer PoolOracle::constants_distinct(uint64_t i, uint64_t j) {
  PyObject* x = constant(i);
  PyObject* y = constant(j);
  if (x == nullptr || y == nullptr) return OracleAnswer::Undecided;
  if (Py_TYPE(x) != Py_TYPE(y)) return OracleAnswer::Yes;
  if (!keyable(x)) return OracleAnswer::Undecided;
  return answer_or(fatal_, OracleAnswer::Undecided, [&] { return yes_no(!compares(x, y, Py_EQ)); });
}

// ---- classes against kinds

OracleAnswer PoolOracle::class_hooks_standard(const SchemaNode& node) {
  if (!node.is(NodeKind::Instance)) return OracleAnswer::Undecided;
  PyObject* cls = constant(node.number());
  if (cls == nullptr) return OracleAnswer::Undecided;
  return has_standard_class_hooks(type_of(cls), fatal_);
}

SlotKind PoolOracle::scalar_kind(uint64_t i) {
  PyObject* x = constant(i);
  return x == nullptr ? SlotKind::Unknown : scalar_kind_of(x);
}

OracleAnswer PoolOracle::class_kind_answer(uint64_t i, SlotKind kind, bool strict) {
  PyObject* cls = constant(i);
  if (cls == nullptr || !is_class(cls)) return OracleAnswer::Undecided;
  if (has_standard_class_hooks(type_of(cls), fatal_) != OracleAnswer::Yes) return OracleAnswer::Undecided;
  SlotKind base = builtin_base_kind(cls).kind;
  if (base == SlotKind::Unknown) return strict ? OracleAnswer::No : OracleAnswer::Undecided;
  return yes_no(base == kind || (kind == SlotKind::Bool && base == SlotKind::Int));
}

OracleAnswer PoolOracle::class_kind_matches(uint64_t i, SlotKind kind) { return class_kind_answer(i, kind, false); }

OracleAnswer PoolOracle::class_kind_matches_strict(uint64_t i, SlotKind kind) {
  return class_kind_answer(i, kind, true);
}

OracleAnswer PoolOracle::builtin_within_class(SlotKind kind, uint64_t i) {
  PyObject* cls = constant(i);
  if (cls == nullptr || !is_class(cls)) return OracleAnswer::Undecided;
  if (has_standard_class_hooks(type_of(cls), fatal_) != OracleAnswer::Yes) return OracleAnswer::Undecided;
  PyObject* builtin = builtin_class_of(kind);
  if (builtin == nullptr) return OracleAnswer::Undecided;
  return answer_or(fatal_, OracleAnswer::Undecided,
                   [&] { return yes_no(py::check(PyObject_IsSubclass(builtin, cls)) == 1); });
}

}  // namespace tessolin::oracle

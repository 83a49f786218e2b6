// Helpers for the tests of the descriptor operations: fabricated class
// answers, small line and clause builders, and a reference membership model
// of abstract Python values written independently of the algebra.
//
// A value is a payload of one kind (None, a bool, an int, a float, a text,
// an empty container or an object of another kind) and a configuration: the
// class set of its class and its attributes, each holding a value of the
// attribute pool. Exact builtins carry no attributes. A Line holds a value
// when its domain holds the payload and its clause part holds the
// configuration, so the value space of one kind is the product payloads x
// configurations; it is searched by distinct membership signatures (of
// payloads, of attribute values, of configurations) instead of one value at
// a time.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "descr/atom_clause.hpp"
#include "descr/byte_automaton.hpp"
#include "descr/descriptor.hpp"
#include "descr/exact_type_atom.hpp"
#include "descr/float_set.hpp"
#include "descr/integer_set.hpp"

namespace tessolin::descr::testing {

// ---- fabricated classes: ids of a pretend oracle

namespace class_id {
inline constexpr uint32_t kObject = 1;
inline constexpr uint32_t kInt = 2;
inline constexpr uint32_t kStr = 3;
inline constexpr uint32_t kFloat = 4;
inline constexpr uint32_t kBytes = 5;
inline constexpr uint32_t kList = 6;
inline constexpr uint32_t kTuple = 7;
inline constexpr uint32_t kSet = 8;
inline constexpr uint32_t kFrozenSet = 9;
inline constexpr uint32_t kDict = 20;
// Classes that clauses name.
inline constexpr uint32_t kA = 10;  // plain
inline constexpr uint32_t kB = 11;  // derives from A
inline constexpr uint32_t kI = 12;  // derives from int
inline constexpr uint32_t kJ = 13;  // derives from I and A
inline constexpr uint32_t kS = 14;  // derives from str
inline constexpr uint32_t kF = 15;  // derives from float
inline constexpr uint32_t kC = 16;  // plain, unrelated to A
// Classes that only values have: plain, and one anonymous subclass per
// builtin kind (to carry attributes on a value of that kind).
inline constexpr uint32_t kZ = 30;
inline constexpr uint32_t kAnonBase = 40;  // + SlotKind code
}  // namespace class_id

// base_position in the probe order int, str, bytes, float, tuple,
// frozenset, list, set, dict; tag the SlotKind code of that base.
inline ClassAnswer make_class(uint32_t id, std::vector<uint32_t> ids, uint32_t base_position, uint8_t tag) {
  ClassAnswer answer;
  answer.class_id = id;
  ids.push_back(id);
  ids.push_back(class_id::kObject);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  answer.ids = std::move(ids);
  answer.base_position = base_position;
  answer.tag = tag;
  return answer;
}

inline ClassAnswer class_A() { return make_class(class_id::kA, {}, 0, ir::answer_tag::kNoBuiltinBase); }
inline ClassAnswer class_B() { return make_class(class_id::kB, {class_id::kA}, 0, ir::answer_tag::kNoBuiltinBase); }
inline ClassAnswer class_I() { return make_class(class_id::kI, {class_id::kInt}, 1, 2); }
inline ClassAnswer class_J() { return make_class(class_id::kJ, {class_id::kI, class_id::kInt, class_id::kA}, 1, 2); }
inline ClassAnswer class_S() { return make_class(class_id::kS, {class_id::kStr}, 2, 4); }
inline ClassAnswer class_F() { return make_class(class_id::kF, {class_id::kFloat}, 4, 3); }
inline ClassAnswer class_C() { return make_class(class_id::kC, {}, 0, ir::answer_tag::kNoBuiltinBase); }
inline std::vector<ClassAnswer> clause_classes() {
  return {class_A(), class_B(), class_C(), class_I(), class_J(), class_S(), class_F(), exact_type_atom()};
}

// ---- builders

inline constexpr uint8_t code_of(SlotKind kind) { return static_cast<uint8_t>(kind); }

inline AtomClause classes_clause(std::vector<ClassAnswer> required, std::vector<ClassAnswer> excluded = {}) {
  auto by_id = [](const ClassAnswer& a, const ClassAnswer& b) { return a.class_id < b.class_id; };
  std::sort(required.begin(), required.end(), by_id);
  std::sort(excluded.begin(), excluded.end(), by_id);
  AtomClause clause;
  clause.classes = std::move(required);
  clause.excluded_classes = std::move(excluded);
  return clause;
}

inline AtomClause attribute_clause(const std::string& name, OptionalDescriptor value, uint8_t absent_allowed) {
  AtomClause clause;
  clause.attributes.emplace(name, AttributeAtom{std::move(value), absent_allowed});
  return clause;
}

inline Line restricted(Domain domain, ClauseList clauses, uint8_t negated = 0) {
  return Line{std::move(domain), std::move(clauses), negated};
}

inline Line int_range_line(int64_t low, int64_t high) {
  return line_from_domain(integer_set_range(true, low, true, high));
}
inline Line bool_line(uint8_t mask) { return line_from_domain(BoolMaskDomain{mask}); }

// A Descriptor whose only non-empty slot `code` holds exactly `lines`, as
// given (not normalised).
inline Descriptor slot_descriptor(uint8_t code, std::vector<Line> lines, uint8_t negated = 0) {
  Descriptor d;
  d.slots[slot_index(code)] = KindSlot{std::move(lines), negated};
  return d;
}

inline SharedDescriptor shared(Descriptor d) { return make_shared_descriptor(std::move(d)); }
inline SharedDescriptor int_values() { return shared(kind_top_descriptor(code_of(SlotKind::Int))); }
inline SharedDescriptor str_values() { return shared(kind_top_descriptor(code_of(SlotKind::Str))); }

// ---- abstract values

struct Value {
  uint8_t code = 0;  // SlotKind code, 255 for Other
  bool flag = false;
  Int128 integer = 0;
  double real = 0.0;
  std::string text;                                              // Str (UTF-8) or Bytes
  std::vector<uint32_t> class_ids;                               // sorted; empty for an exact builtin
  std::vector<std::pair<std::string, const Value*>> attributes;  // sorted by name
};

std::string describe(const Value& v);

inline Value payload(SlotKind kind) {
  Value v;
  v.code = code_of(kind);
  return v;
}
inline Value none_value() { return payload(SlotKind::None); }
inline Value bool_value(bool b) {
  Value v = payload(SlotKind::Bool);
  v.flag = b;
  return v;
}
inline Value int_value(Int128 i) {
  Value v = payload(SlotKind::Int);
  v.integer = i;
  return v;
}
inline Value float_value(double x) {
  Value v = payload(SlotKind::Float);
  v.real = x;
  return v;
}
inline Value text_value(SlotKind kind, std::string s) {
  Value v = payload(kind);
  v.text = std::move(s);
  return v;
}
inline Value other_value() {
  Value v;
  v.code = 255;
  return v;
}

// ---- reference membership

inline bool interval_holds(const Interval& iv, Int128 q) {
  return (!iv.low || *iv.low <= q) && (!iv.high || q <= *iv.high);
}

inline bool integer_set_holds(const IntegerSet& s, Int128 x) {
  const auto m = static_cast<Int128>(s.modulus);
  Int128 r = x % m;
  if (r < 0) r += m;
  const Int128 q = (x - r) / m;
  for (const Interval& iv : s.residues[static_cast<size_t>(r)].intervals) {
    if (interval_holds(iv, q)) return true;
  }
  return false;
}

// Numeric comparison: -0.0 and 0.0 are one value.
inline bool float_set_holds(const FloatSet& s, double x) {
  if (std::isnan(x)) return s.nan != 0;
  for (const FloatInterval& iv : s.intervals) {
    bool above = iv.low < x || (iv.low_closed && iv.low == x);
    bool below = x < iv.high || (iv.high_closed && iv.high == x);
    if (above && below) return true;
  }
  return false;
}

// Containers of the value space are empty: [], (), set(), frozenset(), {}.
inline bool empty_record_holds(const RecordShape& shape) {
  if (!shape.selectors.empty()) return false;
  for (const auto& [key, entry] : shape.keys) {
    if (!entry.absent_allowed) return false;
  }
  return true;
}

inline bool domain_holds(const Domain& domain, const Value& v) {
  switch (domain.index()) {
    case domain_index::kFlag: return std::get<FlagDomain>(domain).present != 0;
    case domain_index::kBoolMask: return (std::get<BoolMaskDomain>(domain).mask >> (v.flag ? 1 : 0)) & 1;
    case domain_index::kIntegers: return integer_set_holds(std::get<IntegerSet>(domain), v.integer);
    case domain_index::kFloats: return float_set_holds(std::get<FloatSet>(domain), v.real);
    case domain_index::kAutomaton: return automaton_accepts(*std::get<AutomatonDomain>(domain).automaton, v.text);
    case domain_index::kSequence: {
      const auto& a = std::get<SequenceAutomaton>(domain);
      return !a.accepting.empty() && a.accepting[0] != 0;
    }
    case domain_index::kCollection: {
      const auto& c = std::get<CollectionDomain>(domain);
      bool in =
          std::any_of(c.shapes.begin(), c.shapes.end(), [](const CollectionShape& s) { return s.not_within.empty(); });
      return c.negated ? !in : in;
    }
    default: {
      const auto& r = std::get<RecordDomain>(domain);
      bool in = std::any_of(r.shapes.begin(), r.shapes.end(), empty_record_holds);
      return r.negated ? !in : in;
    }
  }
}

inline bool member(const Descriptor& d, const Value& v);

// The exact-type atom holds the instances of proper subclasses of the
// slot's builtin: every class choice but the exact builtin's.
inline bool has_class(const Value& v, uint32_t id) {
  if (id == ir::kExactTypeClassId) return exact_type_atom_inhabits(v.code) && v.class_ids.size() > 2;
  return std::binary_search(v.class_ids.begin(), v.class_ids.end(), id);
}

inline bool clause_holds(const AtomClause& clause, const Value& v) {
  for (const auto& [name, atom] : clause.attributes) {
    auto it = std::find_if(v.attributes.begin(), v.attributes.end(), [&](const auto& a) { return a.first == name; });
    if (it == v.attributes.end()) {
      if (!atom.absent_allowed) return false;
    } else if (atom.value && !member(*atom.value, *it->second)) {
      return false;
    }
  }
  for (const ClassAnswer& c : clause.classes) {
    if (!has_class(v, c.class_id)) return false;
  }
  for (const ClassAnswer& c : clause.excluded_classes) {
    if (has_class(v, c.class_id)) return false;
  }
  return true;
}

inline bool clause_part_holds(const Line& line, const Value& v) {
  bool any =
      std::any_of(line.clauses.begin(), line.clauses.end(), [&](const AtomClause& c) { return clause_holds(c, v); });
  return line.clauses_negated ? !any : any;
}

inline bool line_holds(const Line& line, const Value& v) {
  return domain_holds(line.domain, v) && clause_part_holds(line, v);
}

inline bool member(const Descriptor& d, const Value& v) {
  const KindSlot& slot = d.slots[slot_index(v.code)];
  bool any = std::any_of(slot.lines.begin(), slot.lines.end(), [&](const Line& l) { return line_holds(l, v); });
  return slot.negated ? !any : any;
}

// ---- the value space

// Values that attributes hold: one of each kind, two ints and two strs, so
// that every boolean combination of kind tops, {1} and {"a"} that holds a
// value holds one of these.
const std::vector<Value>& attribute_pool();

// Payloads of kind `code` (plain, no class, no attribute).
const std::vector<Value>& payloads(uint8_t code);

// The classes a value of kind `code` may have: the exact builtin (no
// attributes of its own to set), and classes whose instances take any
// attribute. None and the bools have only the first.
struct ClassChoice {
  std::vector<uint32_t> class_ids;
  bool attributes_settable = false;
};
const std::vector<ClassChoice>& class_choices(uint8_t code);

// Calls `visit(memberships, sample)` once per class of values of kind
// `code` that the descriptors cannot tell apart: memberships[j] says whether
// the values of that class lie in descriptors[j], `sample` is one of them.
void for_each_value_class(const std::vector<const Descriptor*>& descriptors, uint8_t code,
                          const std::function<void(const std::vector<bool>&, const Value&)>& visit);

// Whether some value of the value space lies in `d`; the witness if so.
bool exists_in_product(const Descriptor& d, Value* witness = nullptr);

}  // namespace tessolin::descr::testing

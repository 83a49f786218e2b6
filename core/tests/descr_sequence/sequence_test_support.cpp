#include "sequence_test_support.hpp"

#include <algorithm>

#include "../descr_lowering/value_probe.hpp"
#include "descr/class_lowering.hpp"

namespace tessolin::descr::testing {

namespace {

using Kind = Value::Kind;

uint8_t slot_code_of(const Value& v) {
  switch (v.kind) {
    case Kind::None: return static_cast<uint8_t>(SlotKind::None);
    case Kind::Bool: return static_cast<uint8_t>(SlotKind::Bool);
    case Kind::Int: return static_cast<uint8_t>(SlotKind::Int);
    case Kind::Str: return static_cast<uint8_t>(SlotKind::Str);
    case Kind::List: return kList;
    case Kind::Tuple: return kTuple;
    case Kind::Set: return kSet;
    case Kind::FrozenSet: return kFrozenSet;
  }
  return kOtherCode;
}

std::optional<bool> domain_member(const Domain& d, const Value& v) {
  switch (d.index()) {
    case domain_index::kFlag: return std::get<FlagDomain>(d).present != 0;
    case domain_index::kBoolMask: return ((std::get<BoolMaskDomain>(d).mask >> v.number) & 1) != 0;
    case domain_index::kIntegers: return integer_set_holds(std::get<IntegerSet>(d), v.number);
    case domain_index::kAutomaton: return automaton_accepts(*std::get<AutomatonDomain>(d).automaton, v.text);
    case domain_index::kSequence: return sequence_member(std::get<SequenceAutomaton>(d), v.items);
    case domain_index::kCollection: return collection_member(std::get<CollectionDomain>(d), v.items);
    default: return std::nullopt;
  }
}

// Whether a value of exactly its builtin type, as the model's values are,
// meets the clause: the unrestricted and the exact-type clause hold, the
// clause requiring only the exact-type atom fails; nothing for the rest.
std::optional<bool> plain_value_meets(const AtomClause& c) {
  if (holds_for_plain_values(c)) return true;
  if (c.attributes.empty() && c.excluded_classes.empty() && c.classes.size() == 1 && is_exact_type_atom(c.classes[0]))
    return false;
  return std::nullopt;
}

std::optional<bool> line_member(const Line& line, const Value& v) {
  bool any = false;
  for (const AtomClause& c : line.clauses) {
    std::optional<bool> meets = plain_value_meets(c);
    if (!meets) return std::nullopt;
    any = any || *meets;
  }
  if (any == (line.clauses_negated != 0)) return false;
  return domain_member(line.domain, v);
}

}  // namespace

SharedDescriptor undecided_label() {
  AtomClause clause;
  for (uint32_t id : {901u, 902u}) {
    ir::ClassAnswer answer;
    answer.class_id = id;
    answer.ids = {id};
    answer.tag = ir::answer_tag::kNoBuiltinBase;
    clause.classes.push_back(answer);
  }
  return shared(descriptor_from_clauses({clause}, 0));
}

SharedDescriptor every_value() {
  Descriptor d;
  for (KindSlot& s : d.slots) s.negated = 1;
  return shared(std::move(d));
}

std::string describe(const Value& v) {
  auto items = [&](const char* open, const char* close) {
    std::string s = open;
    for (size_t i = 0; i < v.items.size(); ++i) s += (i ? ", " : "") + describe(v.items[i]);
    return s + close;
  };
  switch (v.kind) {
    case Kind::None: return "None";
    case Kind::Bool: return v.number ? "True" : "False";
    case Kind::Int: return std::to_string(v.number);
    case Kind::Str: return "'" + v.text + "'";
    case Kind::List: return items("[", "]");
    case Kind::Tuple: return items("(", v.items.size() == 1 ? ",)" : ")");
    case Kind::Set: return v.items.empty() ? "set()" : items("{", "}");
    case Kind::FrozenSet: return items("frozenset({", "})");
  }
  return "?";
}

std::optional<bool> member(const Descriptor& d, const Value& v) {
  const KindSlot& slot = d.slots[slot_index(slot_code_of(v))];
  bool in_lines = false;
  for (const Line& line : slot.lines) {
    std::optional<bool> m = line_member(line, v);
    if (!m) return std::nullopt;
    in_lines = in_lines || *m;
  }
  return slot.negated ? !in_lines : in_lines;
}

std::optional<bool> member(const OptionalDescriptor& d, const Value& v) {
  if (!d) return true;
  return member(*d, v);
}

std::optional<bool> sequence_member(const SequenceAutomaton& a, const std::vector<Value>& items) {
  // Followed as a nondeterministic automaton, so a broken invariant shows.
  std::vector<uint32_t> current{0};
  for (const Value& x : items) {
    std::vector<uint32_t> next;
    for (uint32_t p : current) {
      if (p >= a.positions.size()) continue;
      bool in_some_label = false;
      for (const SequenceTransition& t : a.positions[p]) {
        if (!t.label) continue;
        std::optional<bool> m = member(*t.label, x);
        if (!m) return std::nullopt;
        if (*m) {
          in_some_label = true;
          next.push_back(t.target);
        }
      }
      if (!in_some_label)
        for (const SequenceTransition& t : a.positions[p])
          if (!t.label) next.push_back(t.target);
    }
    std::sort(next.begin(), next.end());
    next.erase(std::unique(next.begin(), next.end()), next.end());
    current = std::move(next);
  }
  return std::any_of(current.begin(), current.end(),
                     [&](uint32_t p) { return p < a.accepting.size() && a.accepting[p] != 0; });
}

std::optional<bool> collection_member(const CollectionDomain& d, const std::vector<Value>& items) {
  bool in_shapes = false;
  for (const CollectionShape& s : d.shapes) {
    bool in_shape = true;
    for (const Value& x : items) {
      std::optional<bool> m = member(s.bound, x);
      if (!m) return std::nullopt;
      in_shape = in_shape && *m;
    }
    for (const OptionalDescriptor& y : s.not_within) {
      bool escapes = false;
      for (const Value& x : items) {
        std::optional<bool> m = member(y, x);
        if (!m) return std::nullopt;
        escapes = escapes || !*m;
      }
      in_shape = in_shape && escapes;
    }
    in_shapes = in_shapes || in_shape;
  }
  return d.negated ? !in_shapes : in_shapes;
}

std::vector<Value> small_scalars() {
  return {Value::none(),     Value::boolean(false), Value::boolean(true), Value::integer(0),
          Value::integer(1), Value::integer(2),     Value::str("a"),      Value::str("b")};
}

std::vector<Value> small_sequences(Value::Kind kind, const std::vector<Value>& elements, size_t max_length) {
  std::vector<Value> out{Value::of(kind, {})};
  size_t level_begin = 0;
  for (size_t len = 1; len <= max_length; ++len) {
    const size_t level_end = out.size();
    for (size_t i = level_begin; i < level_end; ++i)
      for (const Value& e : elements) {
        Value longer = out[i];
        longer.items.push_back(e);
        out.push_back(std::move(longer));
      }
    level_begin = level_end;
  }
  return out;
}

std::vector<Value> small_sets(Value::Kind kind, const std::vector<Value>& elements) {
  // Python equality across bool and int: False == 0, True == 1.
  auto python_equal = [](const Value& x, const Value& y) {
    const bool xn = x.kind == Kind::Bool || x.kind == Kind::Int;
    const bool yn = y.kind == Kind::Bool || y.kind == Kind::Int;
    if (xn && yn) return x.number == y.number;
    return x.kind == y.kind && x.text == y.text && x.number == y.number && x.items.empty() && y.items.empty();
  };
  std::vector<Value> out;
  const size_t n = elements.size();
  for (uint64_t mask = 0; mask < (uint64_t{1} << n); ++mask) {
    Value s = Value::of(kind, {});
    bool ok = true;
    for (size_t i = 0; i < n && ok; ++i) {
      if (!((mask >> i) & 1)) continue;
      for (const Value& e : s.items) ok = ok && !python_equal(e, elements[i]);
      s.items.push_back(elements[i]);
    }
    if (ok) out.push_back(std::move(s));
  }
  return out;
}

}  // namespace tessolin::descr::testing

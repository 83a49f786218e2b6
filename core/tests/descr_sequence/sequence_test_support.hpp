// Helpers for the sequence and collection tests: small element descriptors,
// automata written by hand, a value model with brute-force membership, and
// the small values the exhaustive tests enumerate.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "descr/byte_automaton.hpp"
#include "descr/collection_shape.hpp"
#include "descr/descriptor.hpp"
#include "descr/descriptor_combine.hpp"
#include "descr/literal_lowering.hpp"
#include "descr/sequence_automaton.hpp"

namespace tessolin::descr::testing {

inline constexpr uint8_t kList = static_cast<uint8_t>(SlotKind::List);
inline constexpr uint8_t kTuple = static_cast<uint8_t>(SlotKind::Tuple);
inline constexpr uint8_t kSet = static_cast<uint8_t>(SlotKind::Set);
inline constexpr uint8_t kFrozenSet = static_cast<uint8_t>(SlotKind::FrozenSet);

inline SharedDescriptor shared(Descriptor d) { return make_shared_descriptor(std::move(d)); }
inline Descriptor join(const Descriptor& a, const Descriptor& b) {
  return *combine_descriptors(a, b, CombineMode::Join);
}
inline Descriptor meet(const Descriptor& a, const Descriptor& b) {
  return *combine_descriptors(a, b, CombineMode::Meet);
}

// Element descriptors. Ints here exclude bools, as the Int slot does.
inline Descriptor ints() { return kind_top_descriptor(static_cast<uint8_t>(SlotKind::Int)); }
inline Descriptor strs() { return kind_top_descriptor(static_cast<uint8_t>(SlotKind::Str)); }
inline Descriptor bools() { return kind_top_descriptor(static_cast<uint8_t>(SlotKind::Bool)); }
inline Descriptor nones() { return kind_top_descriptor(static_cast<uint8_t>(SlotKind::None)); }
inline Descriptor int_value(int64_t v) { return int_literal_descriptor(v); }
inline Descriptor bool_value(bool v) { return bool_literal_descriptor(v); }
inline Descriptor str_value(std::string_view s) { return *text_literal_descriptor(s, SlotKind::Str); }

// Two required classes without a builtin base: neither emptiness nor
// inhabitation is provable.
SharedDescriptor undecided_label();
// Every value: each slot negated with no Line. Its complement is proved
// empty without any domain operation.
SharedDescriptor every_value();

// An automaton written as (accepting, [(label or null, target)]) per position.
struct PositionSpec {
  bool accepting;
  std::vector<SequenceTransition> transitions;
};
inline SequenceAutomaton automaton(const std::vector<PositionSpec>& spec) {
  SequenceAutomaton a;
  for (const PositionSpec& p : spec) {
    a.positions.push_back(p.transitions);
    a.accepting.push_back(p.accepting ? 1 : 0);
  }
  return a;
}
// The List top: one accepting position keeping every element.
inline SequenceAutomaton sequence_top() { return automaton({{true, {{nullptr, 0}}}}); }

// A small Python value. Sets hold no two equal elements (False == 0,
// True == 1), as Python's do.
struct Value {
  enum class Kind { None, Bool, Int, Str, List, Tuple, Set, FrozenSet } kind = Kind::None;
  int64_t number = 0;  // Bool (0/1) and Int
  std::string text;    // Str
  std::vector<Value> items;

  static Value none() { return {}; }
  static Value boolean(bool b) { return {Kind::Bool, b ? 1 : 0, {}, {}}; }
  static Value integer(int64_t v) { return {Kind::Int, v, {}, {}}; }
  static Value str(std::string s) { return {Kind::Str, 0, std::move(s), {}}; }
  static Value of(Kind k, std::vector<Value> items) { return {k, 0, {}, std::move(items)}; }
};

std::string describe(const Value& v);

// Membership by the definitions of the domains, or nothing when a line
// carries clauses this model does not evaluate (class or attribute atoms).
std::optional<bool> member(const Descriptor& d, const Value& v);
std::optional<bool> member(const OptionalDescriptor& d, const Value& v);  // null: every value
std::optional<bool> sequence_member(const SequenceAutomaton& a, const std::vector<Value>& items);
std::optional<bool> collection_member(const CollectionDomain& d, const std::vector<Value>& items);

// Scalars: None, False, True, 0, 1, 2, "a", "b".
std::vector<Value> small_scalars();
// Every list or tuple of `kind` over `elements` with at most `max_length`
// items, and every set or frozenset (Python-equal elements never together).
std::vector<Value> small_sequences(Value::Kind kind, const std::vector<Value>& elements, size_t max_length);
std::vector<Value> small_sets(Value::Kind kind, const std::vector<Value>& elements);

}  // namespace tessolin::descr::testing

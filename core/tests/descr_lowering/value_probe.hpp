// A naive membership test for lowering tests: whether one sample value lies
// in a Descriptor, read straight off the slot of its kind. Samples are of
// exactly their builtin types, so a literal's exact-type clause holds for
// them; lines restricted by other clauses are not judged (nullopt).
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "descr/byte_automaton.hpp"
#include "descr/descriptor.hpp"
#include "descr/exact_type_atom.hpp"

namespace tessolin::descr::testing {

struct Sample {
  SlotKind kind = SlotKind::None;
  bool boolean = false;
  int64_t integer = 0;
  double real = 0.0;
  std::string text;  // str as UTF-8 (surrogates in their three-byte form), or bytes
};

inline Sample NoneV() { return {}; }
inline Sample BoolV(bool b) { return {SlotKind::Bool, b, 0, 0.0, {}}; }
inline Sample IntV(int64_t i) { return {SlotKind::Int, false, i, 0.0, {}}; }
inline Sample FloatV(double f) { return {SlotKind::Float, false, 0, f, {}}; }
inline Sample StrV(std::string s) { return {SlotKind::Str, false, 0, 0.0, std::move(s)}; }
inline Sample BytesV(std::string s) { return {SlotKind::Bytes, false, 0, 0.0, std::move(s)}; }

inline bool integer_set_holds(const IntegerSet& s, int64_t x) {
  const Int128 m = static_cast<Int128>(s.modulus);
  const Int128 r = ((static_cast<Int128>(x) % m) + m) % m;
  const Int128 q = (static_cast<Int128>(x) - r) / m;
  for (const Interval& iv : s.residues[static_cast<size_t>(r)].intervals) {
    if ((!iv.low || *iv.low <= q) && (!iv.high || q <= *iv.high)) return true;
  }
  return false;
}

inline bool float_set_holds(const FloatSet& s, double x) {
  if (std::isnan(x)) return s.nan != 0;
  for (const FloatInterval& iv : s.intervals) {
    const bool above = iv.low < x || (iv.low_closed && iv.low == x);
    const bool below = x < iv.high || (iv.high_closed && iv.high == x);
    if (above && below) return true;
  }
  return false;
}

inline std::optional<bool> domain_holds(const Domain& d, const Sample& v) {
  switch (v.kind) {
    case SlotKind::None: return std::get<FlagDomain>(d).present != 0;
    case SlotKind::Bool: return (std::get<BoolMaskDomain>(d).mask & (v.boolean ? 2 : 1)) != 0;
    case SlotKind::Int: return integer_set_holds(std::get<IntegerSet>(d), v.integer);
    case SlotKind::Float: return float_set_holds(std::get<FloatSet>(d), v.real);
    case SlotKind::Str:
    case SlotKind::Bytes: return automaton_accepts(*std::get<AutomatonDomain>(d).automaton, v.text);
    default: return std::nullopt;
  }
}

// Whether v is in d; nullopt when a line of its slot carries restrictions.
inline std::optional<bool> holds(const Descriptor& d, const Sample& v) {
  const KindSlot& slot = d.slot(v.kind);
  bool in_lines = false;
  for (const Line& line : slot.lines) {
    const bool plain =
        line.clauses_negated == 0 && line.clauses.size() == 1 && holds_for_plain_values(line.clauses[0]);
    if (!plain) return std::nullopt;
    std::optional<bool> in = domain_holds(line.domain, v);
    if (!in) return std::nullopt;
    in_lines = in_lines || *in;
  }
  return slot.negated ? !in_lines : in_lines;
}

// The slot indices that hold at least one line or are negated.
inline std::vector<size_t> filled_slots(const Descriptor& d) {
  std::vector<size_t> out;
  for (size_t i = 0; i < kSlotCount; ++i) {
    if (!d.slots[i].lines.empty() || d.slots[i].negated) out.push_back(i);
  }
  return out;
}

}  // namespace tessolin::descr::testing

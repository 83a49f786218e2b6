// Record shapes over a five-value universe: values are sets of the atoms
// None, False, True, an object of no builtin kind, and "the rest" (every
// value of the kinds int to dict together), a family closed under meet,
// join and complement, so every value question is exact and dicts can be
// enumerated. Holds the builders, a reference membership test on concrete
// dicts, a brute-force emptiness over every dict that could matter and a
// random shape source. The lowering tests script the oracle's literals with
// the TableOracle of the lowering tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "../descr_lowering/table_oracle.hpp"
#include "../ir/ir_test_support.hpp"
#include "descr/descriptor.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/record_lowering.hpp"
#include "descr/record_shape.hpp"
#include "descr/shared_descriptor.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr::testing {

// ---- values

inline constexpr unsigned kNoneAtom = 1;
inline constexpr unsigned kFalseAtom = 2;
inline constexpr unsigned kTrueAtom = 4;
inline constexpr unsigned kObjectAtom = 8;
inline constexpr unsigned kRestAtom = 16;
inline constexpr unsigned kEveryAtom = 31;
inline constexpr unsigned kAtoms[] = {kNoneAtom, kFalseAtom, kTrueAtom, kObjectAtom, kRestAtom};

inline Descriptor atoms_descriptor(unsigned atoms) {
  Descriptor d = empty_descriptor();
  if (atoms & kNoneAtom) set_single_line(d, static_cast<uint8_t>(SlotKind::None), FlagDomain{1});
  unsigned bools = (atoms >> 1) & 3u;
  if (bools) set_single_line(d, static_cast<uint8_t>(SlotKind::Bool), BoolMaskDomain{static_cast<uint8_t>(bools)});
  if (atoms & kObjectAtom) d.slots[kOtherSlot].lines.push_back(line_from_domain(FlagDomain{1}));
  if (atoms & kRestAtom) {
    for (SlotKind kind : {SlotKind::Int, SlotKind::Float, SlotKind::Str, SlotKind::Bytes, SlotKind::List,
                          SlotKind::Tuple, SlotKind::Set, SlotKind::FrozenSet, SlotKind::Dict}) {
      uint8_t code = static_cast<uint8_t>(kind);
      set_single_line(d, code, top_domain(code));
    }
  }
  return d;
}

// A shared value holding exactly these atoms (0: no value).
inline SharedDescriptor V(unsigned atoms) {
  if (atoms == 0) return shared_nothing();
  return make_shared_descriptor(atoms_descriptor(atoms));
}

// The atoms an optional value admits (null: every one). Answers are kept
// by address (with a handle, so an address is never reused) and by form:
// the few sets of this universe recur under many addresses.
inline unsigned atoms_of(const OptionalDescriptor& value) {
  if (!value) return kEveryAtom;
  static std::map<const Descriptor*, std::pair<SharedDescriptor, unsigned>> by_address;
  static std::vector<std::pair<SharedDescriptor, unsigned>> by_form;
  if (auto it = by_address.find(value.get()); it != by_address.end()) return it->second.second;
  for (const auto& [known, atoms] : by_form) {
    if (descriptor_eq(*known, *value)) {
      by_address.emplace(value.get(), std::make_pair(value, atoms));
      return atoms;
    }
  }
  unsigned out = 0;
  for (unsigned atom : kAtoms) {
    Outcome<OptionalDescriptor> met = meet_labels(value, V(atom));
    EXPECT_TRUE(met.has_value());
    if (!met) continue;
    Emptiness e = *met ? descriptor_emptiness(**met) : Emptiness::Inhabited;
    EXPECT_NE(e, Emptiness::Undecided);
    if (e == Emptiness::Inhabited) out |= atom;
  }
  by_address.emplace(value.get(), std::make_pair(value, out));
  by_form.emplace_back(value, out);
  return out;
}

// ---- keys and shapes

inline LiteralKey NoneK() { return NoneKey{}; }
inline LiteralKey BoolK(bool b) { return BoolKey{static_cast<uint8_t>(b)}; }
inline LiteralKey IntK(int64_t v) { return IntKey{v}; }
inline LiteralKey StrK(std::string s) { return TextKey{std::move(s), static_cast<uint8_t>(SlotKind::Str)}; }
inline LiteralKey BytesK(std::string s) { return TextKey{std::move(s), static_cast<uint8_t>(SlotKind::Bytes)}; }

inline KeyEntry Opt(OptionalDescriptor v) { return KeyEntry{std::move(v), 1}; }
inline KeyEntry Req(OptionalDescriptor v) { return KeyEntry{std::move(v), 0}; }

inline KeySelector Sel(uint64_t kind, OptionalDescriptor d, std::set<LiteralKey> excluded = {}) {
  return KeySelector{kind, std::move(d), std::move(excluded)};
}

// No undeclared key of any kind.
inline RecordShape Closed(std::map<LiteralKey, KeyEntry> keys = {}, std::vector<KeySelector> selectors = {}) {
  RecordShape s;
  for (KeyEntry& e : s.kind_entries) e = KeyEntry{shared_nothing(), 1};
  s.keys = std::move(keys);
  s.selectors = std::move(selectors);
  return s;
}

// Undeclared keys of kind `kind` with a value in `value`, of no other kind.
inline RecordShape KindDict(uint64_t kind, OptionalDescriptor value) {
  RecordShape s = Closed();
  s.kind_entries[kind] = KeyEntry{std::move(value), 1};
  return s;
}

// A text key holding both values apart: `exact` for the key of exactly its
// type, `subclass` for a subclass instance equal to it.
inline KeyEntry Forms(OptionalDescriptor exact, OptionalDescriptor subclass, bool required = false) {
  return KeyEntry{std::move(exact), std::move(subclass), static_cast<uint8_t>(required ? 0 : 1)};
}

// ---- concrete dicts

// A key of an infinite kind no shape lists (float, tuple, frozenset, other
// keys have no LiteralKey).
struct FreshKey {
  uint64_t kind = key_kind::kOther;
  int id = 0;
  auto operator<=>(const FreshKey&) const = default;
};
// A key of a str (bytes) subclass equal to the text key `equal_to`.
struct SubclassKey {
  LiteralKey equal_to;
  auto operator<=>(const SubclassKey&) const = default;
};
using TestKey = std::variant<LiteralKey, FreshKey, SubclassKey>;

// The listed key a test key is equal to, if it is one.
inline const LiteralKey* equal_literal(const TestKey& k) {
  if (const auto* literal = std::get_if<LiteralKey>(&k)) return literal;
  if (const auto* sub = std::get_if<SubclassKey>(&k)) return &sub->equal_to;
  return nullptr;
}

inline uint64_t test_key_kind(const TestKey& k) {
  if (const auto* f = std::get_if<FreshKey>(&k)) return f->kind;
  return key_kind_of(*equal_literal(k));
}

// Keys with their value atom; at most one of each aliased pair.
using TestDict = std::map<TestKey, unsigned>;

// A shape with its values read as atom sets, for fast membership.
struct AtomShape {
  struct Listed {
    unsigned exact = 0;     // atoms of the key of exactly its type
    unsigned subclass = 0;  // atoms of a subclass instance equal to it
    bool absent = true;     // absent allowed
  };
  std::map<LiteralKey, Listed> keys;
  std::array<unsigned, key_kind::kCount> kinds{};
  struct Selector {
    uint64_t kind;
    unsigned atoms;
    std::set<LiteralKey> excluded;
  };
  std::vector<Selector> selectors;
};

inline AtomShape atom_shape(const RecordShape& s) {
  AtomShape out;
  for (const auto& [k, e] : s.keys) out.keys[k] = {atoms_of(e.value), atoms_of(e.subclass_value), e.absent_allowed == 1};
  for (uint64_t i = 0; i < key_kind::kCount; ++i) out.kinds[i] = atoms_of(s.kind_entries[i].value);
  for (const KeySelector& sel : s.selectors)
    out.selectors.push_back({sel.kind_index, atoms_of(sel.descriptor), sel.excluded});
  return out;
}

// The membership rule, read off a concrete dict: a listed text key is met
// by the key itself or by a subclass instance equal to it, each with its
// own value; excluded and listed keys are matched by equality.
inline bool member(const AtomShape& s, const TestDict& dict) {
  for (const auto& [key, listed] : s.keys) {
    auto exact = dict.find(TestKey{key});
    auto subclass = dict.find(TestKey{SubclassKey{key}});
    if (exact != dict.end()) {
      if (!(listed.exact & exact->second)) return false;
    } else if (subclass != dict.end()) {
      if (!(listed.subclass & subclass->second)) return false;
    } else if (!listed.absent) {
      return false;
    }
  }
  for (const auto& [key, atom] : dict) {
    const LiteralKey* literal = equal_literal(key);
    if (literal && s.keys.contains(*literal)) continue;
    if (!(s.kinds[test_key_kind(key)] & atom)) return false;
  }
  for (const AtomShape::Selector& sel : s.selectors) {
    bool met = false;
    for (const auto& [key, atom] : dict) {
      const LiteralKey* literal = equal_literal(key);
      if (test_key_kind(key) != sel.kind || (literal && sel.excluded.contains(*literal))) continue;
      if (sel.atoms & atom) met = true;
    }
    if (!met) return false;
  }
  return true;
}

// Two keys a dict cannot hold together: True/1, False/0, and a text key
// beside a subclass instance equal to it.
inline bool aliased_pair_in(const TestDict& dict) {
  for (int64_t b : {0, 1}) {
    if (dict.contains(TestKey{BoolK(b == 1)}) && dict.contains(TestKey{IntK(b)})) return true;
  }
  for (const auto& [key, atom] : dict) {
    const auto* sub = std::get_if<SubclassKey>(&key);
    if (sub && dict.contains(TestKey{sub->equal_to})) return true;
  }
  return false;
}

// Every key a witness dict of `s` could need: its listed keys and the
// subclass instances equal to its text keys, None, False, True, 0 and 1,
// and per kind one fresh key for each selector of the kind.
inline std::vector<TestKey> witness_universe(const RecordShape& s) {
  std::set<TestKey> keys;
  for (const auto& item : s.keys) {
    keys.insert(TestKey{item.first});
    if (std::holds_alternative<TextKey>(item.first)) keys.insert(TestKey{SubclassKey{item.first}});
  }
  for (const LiteralKey& k : {NoneK(), BoolK(false), BoolK(true), IntK(0), IntK(1)}) keys.insert(TestKey{k});
  int fresh = 0;
  for (const KeySelector& sel : s.selectors) {
    ++fresh;
    switch (sel.kind_index) {
      case key_kind::kInt: keys.insert(TestKey{IntK(1000 + fresh)}); break;
      case key_kind::kStr: keys.insert(TestKey{StrK("fresh" + std::to_string(fresh))}); break;
      case key_kind::kBytes: keys.insert(TestKey{BytesK("fresh" + std::to_string(fresh))}); break;
      case key_kind::kNone:
      case key_kind::kBool: break;  // no key of these kinds beyond None, False and True
      default:
        if (sel.kind_index < key_kind::kCount) keys.insert(TestKey{FreshKey{sel.kind_index, fresh}});
    }
  }
  return {keys.begin(), keys.end()};
}

// Whether some dict is a member: exact, by enumeration over the witness
// universe. Keys are numbered; a key holds no atom (absent) or one its own
// entry admits, and the aliased pairs are never both present. A listed
// text key is required in one of its two forms, checked at the leaf.
inline bool brute_inhabited(const RecordShape& s) {
  AtomShape atoms = atom_shape(s);
  std::vector<TestKey> keys = witness_universe(s);
  const size_t n = keys.size();
  std::vector<unsigned> allowed(n);
  std::vector<bool> may_be_absent(n, true);
  // witness[j][k]: the atoms with which key k meets selector j.
  std::vector<std::vector<unsigned>> witness(atoms.selectors.size(), std::vector<unsigned>(n, 0));
  std::vector<size_t> alias(n, n);
  for (size_t k = 0; k < n; ++k) {
    const LiteralKey* literal = equal_literal(keys[k]);
    const bool subclass_form = std::holds_alternative<SubclassKey>(keys[k]);
    auto listed = literal ? atoms.keys.find(*literal) : atoms.keys.end();
    if (listed != atoms.keys.end()) {
      allowed[k] = subclass_form ? listed->second.subclass : listed->second.exact;
      // Either form may meet a required text key.
      may_be_absent[k] = listed->second.absent || std::holds_alternative<TextKey>(*literal);
    } else {
      allowed[k] = atoms.kinds[test_key_kind(keys[k])];
    }
    for (size_t j = 0; j < atoms.selectors.size(); ++j) {
      const AtomShape::Selector& sel = atoms.selectors[j];
      if (test_key_kind(keys[k]) == sel.kind && !(literal && sel.excluded.contains(*literal)))
        witness[j][k] = sel.atoms;
    }
    std::optional<TestKey> other;
    if (subclass_form) {
      other = TestKey{*literal};
    } else if (std::optional<LiteralKey> numeric = literal ? aliased_key(*literal) : std::nullopt) {
      other = TestKey{*numeric};
    }
    for (size_t m = 0; other && m < n; ++m) {
      if (keys[m] == *other) alias[k] = m;
    }
  }

  std::vector<unsigned> dict(n, 0);  // 0: absent
  auto required_met = [&] {
    for (const auto& [key, listed] : atoms.keys) {
      if (listed.absent) continue;
      bool present = false;
      for (size_t k = 0; k < n && !present; ++k) {
        const LiteralKey* literal = equal_literal(keys[k]);
        present = dict[k] != 0 && literal && *literal == key;
      }
      if (!present) return false;
    }
    return true;
  };
  auto selectors_met = [&] {
    for (const std::vector<unsigned>& w : witness) {
      bool met = false;
      for (size_t k = 0; k < n && !met; ++k) met = (w[k] & dict[k]) != 0;
      if (!met) return false;
    }
    return true;
  };
  std::function<bool(size_t)> walk = [&](size_t k) -> bool {
    if (k == n) return required_met() && selectors_met();
    if (may_be_absent[k] && walk(k + 1)) return true;
    if (alias[k] < k && dict[alias[k]] != 0) return false;
    for (unsigned atom : kAtoms) {
      if (!(allowed[k] & atom)) continue;
      dict[k] = atom;
      bool found = walk(k + 1);
      dict[k] = 0;
      if (found) return true;
    }
    return false;
  };
  return walk(0);
}

// ---- random shapes over a small key pool

class ShapeSource {
 public:
  explicit ShapeSource(uint32_t seed) : rng_(seed) {}

  RecordShape shape() {
    RecordShape s;
    const LiteralKey pool[] = {NoneK(), BoolK(false), BoolK(true), IntK(0), IntK(1), IntK(7), StrK("a"), StrK("b")};
    for (const LiteralKey& k : pool) {
      if (!chance(4)) continue;
      const auto absent = static_cast<uint8_t>(chance(3) ? 0 : 1);
      OptionalDescriptor exact = value();
      // Text keys sometimes hold their subclass form apart.
      if (std::holds_alternative<TextKey>(k) && chance(2)) {
        s.keys[k] = KeyEntry{std::move(exact), value(), absent};
      } else {
        s.keys[k] = KeyEntry{std::move(exact), absent};
      }
    }
    for (KeyEntry& e : s.kind_entries) e = KeyEntry{chance(3) ? shared_nothing() : value(), 1};
    const uint64_t kinds[] = {key_kind::kNone, key_kind::kBool, key_kind::kInt, key_kind::kStr, key_kind::kOther};
    int selectors = static_cast<int>(rng_() % 3);
    for (int i = 0; i < selectors; ++i) {
      KeySelector sel{kinds[rng_() % 5], value(), {}};
      for (const LiteralKey& k : pool) {
        if (chance(4)) sel.excluded.insert(k);
      }
      s.selectors.push_back(std::move(sel));
    }
    return s;
  }

  OptionalDescriptor value() {
    if (chance(5)) return nullptr;
    return V(static_cast<unsigned>(rng_() % (kEveryAtom + 1)));
  }

  // A random dict over the union of the shapes' witness keys.
  TestDict dict(const std::vector<TestKey>& universe) {
    TestDict d;
    for (const TestKey& k : universe) {
      if (chance(2)) continue;
      d[k] = kAtoms[rng_() % std::size(kAtoms)];
      if (aliased_pair_in(d)) d.erase(k);
    }
    return d;
  }

  bool chance(unsigned one_in) { return rng_() % one_in == 0; }

 private:
  std::mt19937 rng_;
};

inline std::vector<TestKey> joint_universe(const std::vector<const RecordShape*>& shapes) {
  std::set<TestKey> keys;
  for (const RecordShape* s : shapes) {
    for (const TestKey& k : witness_universe(*s)) keys.insert(k);
  }
  return {keys.begin(), keys.end()};
}

inline bool member_of_any(const std::vector<AtomShape>& shapes, const TestDict& d) {
  for (const AtomShape& s : shapes) {
    if (member(s, d)) return true;
  }
  return false;
}

inline std::vector<AtomShape> atom_shapes(const std::vector<RecordShape>& shapes) {
  std::vector<AtomShape> out;
  for (const RecordShape& s : shapes) out.push_back(atom_shape(s));
  return out;
}

// The record domain a lowered descriptor holds in slot Dict (none: empty).
inline RecordDomain dict_domain(const Descriptor& d) {
  const KindSlot& slot = d.slots[static_cast<size_t>(SlotKind::Dict)];
  EXPECT_EQ(slot.negated, 0);
  if (slot.lines.empty()) return {};
  EXPECT_EQ(slot.lines.size(), 1u);
  return std::get<RecordDomain>(slot.lines[0].domain);
}

}  // namespace tessolin::descr::testing

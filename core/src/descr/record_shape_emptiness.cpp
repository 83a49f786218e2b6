// Emptiness of one record shape and of a record domain.
//
// A shape is inhabited when one dict holds every required key and, for each
// selector, a witness key of the selector's kind outside its excluded set.
// Keys are of three sorts:
//   - listed keys, and the unlisted keys of the two finite kinds (None;
//     False and True), which exist once each: "concrete" keys. A concrete
//     key that witnesses several selectors needs one value in its own value
//     and in all their descriptors; True/1 and False/0 cannot both be keys.
//     A listed text key whose two forms (exact, subclass) differ is two
//     concrete keys that cannot both be keys either; a required one is
//     decided as two shapes, one per form, each needing that form.
//   - fresh keys of the infinite kinds (int, float, str, bytes, tuple,
//     frozenset, other): a new one per selector, never 0 or 1, never
//     listed, so they meet nothing else.
// A selector with a fresh witness proved inhabited is settled alone. The
// others are assigned witnesses by a bounded depth-first search over
// concrete keys (fewest candidates first): a complete assignment proved
// inhabited in every part answers Inhabited; when every assignment breaks
// (an empty meet, or both keys of an aliased pair), Empty; anything not
// settled, Undecided.
// Tested by core/tests/descr_record.
#include <algorithm>
#include <cassert>
#include <map>
#include <utility>

#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/record_shape.hpp"
#include "descr/shared_descriptor.hpp"
#include "limits/limits.hpp"

namespace tessolin::descr {

namespace {

// Selectors decided together at most (one bit each in a witness mask).
constexpr size_t kMaxSearchedSelectors = limits::kMaxSearchedSelectors;
// Witness choices tried by one search before it settles for Undecided.
constexpr uint64_t kMaxWitnessSteps = limits::kMaxWitnessSteps;
// A candidate that is a fresh key, not one of the concrete keys.
constexpr size_t kFreshKey = SIZE_MAX;
// A concrete key that aliases no other.
constexpr size_t kNoAlias = SIZE_MAX;
constexpr int kMaxRequiredFormSplits = limits::kMaxRequiredFormSplits;

Emptiness value_emptiness(const OptionalDescriptor& value) {
  return value ? descriptor_emptiness(*value) : Emptiness::Inhabited;
}

// A value met with selector descriptors; a meet that gave up leaves it
// unknown (and Undecided from then on).
struct MetValue {
  Outcome<OptionalDescriptor> value;
  Emptiness emptiness = Emptiness::Undecided;
};

MetValue meet_value(const Outcome<OptionalDescriptor>& value, const OptionalDescriptor& descriptor) {
  if (!value) return {};
  Outcome<OptionalDescriptor> met = meet_labels(*value, descriptor);
  if (!met) return {};
  Emptiness e = value_emptiness(*met);
  return {std::move(met), e};
}

bool is_finite_kind(uint64_t kind) { return kind == key_kind::kNone || kind == key_kind::kBool; }

struct ConcreteKey {
  LiteralKey key;
  uint64_t kind = 0;
  OptionalDescriptor value;
  bool required = false;
  size_t alias = kNoAlias;                     // index of the concrete key it aliases
  Emptiness emptiness = Emptiness::Inhabited;  // of `value`, for required keys
};

// Whether a form admits no value by its form alone (the empty descriptor).
bool is_nothing(const OptionalDescriptor& value) {
  return value && (value == shared_nothing() || descriptor_eq(*value, *shared_nothing()));
}

// Whether the key's two forms take the same values, so it acts as one key.
bool forms_same(const KeyEntry& entry) {
  return entry.forms_alike() || optional_descriptor_eq(entry.value, entry.subclass_value);
}

// Listed keys, then the unlisted None, False and True keys. A required
// key's forms are the same or one of them is nothing (see required_form_split).
std::vector<ConcreteKey> concrete_keys(const RecordShape& shape) {
  std::vector<ConcreteKey> keys;
  for (const auto& [key, entry] : shape.keys) {
    const bool required = entry.absent_allowed == 0;
    if (forms_same(entry) || is_nothing(entry.subclass_value)) {
      keys.push_back(ConcreteKey{key, key_kind_of(key), entry.value, required});
    } else if (is_nothing(entry.value)) {
      keys.push_back(ConcreteKey{key, key_kind_of(key), entry.subclass_value, required});
    } else {
      assert(!required);
      const size_t exact = keys.size();
      keys.push_back(ConcreteKey{key, key_kind_of(key), entry.value, false, exact + 1});
      keys.push_back(ConcreteKey{key, key_kind_of(key), entry.subclass_value, false, exact});
    }
  }
  for (LiteralKey key : {LiteralKey{NoneKey{}}, LiteralKey{BoolKey{0}}, LiteralKey{BoolKey{1}}}) {
    if (shape.keys.contains(key)) continue;
    uint64_t kind = key_kind_of(key);
    keys.push_back(ConcreteKey{key, kind, shape.kind_entries[kind].value, false});
  }
  for (ConcreteKey& k : keys) {
    if (k.alias != kNoAlias) continue;  // one form of a text key
    std::optional<LiteralKey> other = aliased_key(k.key);
    if (!other) continue;
    for (size_t j = 0; j < keys.size(); ++j) {
      if (keys[j].key == *other) k.alias = j;
    }
  }
  return keys;
}

struct Candidate {
  size_t key = kFreshKey;  // or the index of a concrete key
  MetValue met;            // its value met with the selector's descriptor
};

struct PendingSelector {
  const KeySelector* selector = nullptr;
  std::vector<Candidate> candidates;  // none proved empty; proved inhabited first
};

// The witness search state: per concrete key, which selectors it serves
// and its value met with their descriptors.
class WitnessSearch {
 public:
  WitnessSearch(std::vector<ConcreteKey> keys, std::vector<PendingSelector> pending)
      : keys_(std::move(keys)), pending_(std::move(pending)), state_(keys_.size()) {
    for (size_t k = 0; k < keys_.size(); ++k) {
      state_[k].value = keys_[k].value;
      state_[k].emptiness = keys_[k].emptiness;
    }
  }

  Emptiness run() {
    assert(pending_.size() <= kMaxSearchedSelectors);
    search(0);
    if (found_ == Emptiness::Inhabited) return found_;
    return (found_ == Emptiness::Undecided || out_of_steps_) ? Emptiness::Undecided : Emptiness::Empty;
  }

 private:
  struct KeyState {
    uint64_t mask = 0;
    Outcome<OptionalDescriptor> value;
    Emptiness emptiness = Emptiness::Inhabited;
  };

  bool used(size_t k) const { return keys_[k].required || state_[k].mask != 0; }

  // True once the answer is settled (Inhabited found or steps spent). One
  // level per pending selector: at most kMaxSearchedSelectors deep.
  bool search(size_t depth) {
    if (depth == pending_.size()) {
      settle_leaf();
      return found_ == Emptiness::Inhabited;
    }
    // Unused keys first: they need no further meet.
    for (bool want_used : {false, true}) {
      for (const Candidate& c : pending_[depth].candidates) {
        if (c.key != kFreshKey && used(c.key) != want_used) continue;
        if (c.key == kFreshKey && want_used) continue;
        if (++steps_ > kMaxWitnessSteps) {
          out_of_steps_ = true;
          return true;
        }
        if (try_candidate(depth, c)) return true;
      }
    }
    return false;
  }

  bool try_candidate(size_t depth, const Candidate& c) {
    if (c.key == kFreshKey) {
      ++fresh_undecided_;
      bool done = search(depth + 1);
      --fresh_undecided_;
      return done;
    }
    const ConcreteKey& key = keys_[c.key];
    if (key.alias != kNoAlias && used(key.alias)) return false;
    KeyState saved = state_[c.key];
    KeyState next;
    next.mask = saved.mask | (uint64_t{1} << depth);
    if (saved.mask == 0) {
      // The key's own value met with this descriptor alone: known already.
      next.value = c.met.value;
      next.emptiness = c.met.emptiness;
    } else {
      const MetValue& met = memo(c.key, next.mask, saved.value, depth);
      next.value = met.value;
      next.emptiness = met.emptiness;
    }
    if (next.emptiness == Emptiness::Empty) return false;
    state_[c.key] = std::move(next);
    bool done = search(depth + 1);
    state_[c.key] = std::move(saved);
    return done;
  }

  const MetValue& memo(size_t key, uint64_t mask, const Outcome<OptionalDescriptor>& value, size_t depth) {
    auto [it, fresh] = memo_.try_emplace({key, mask});
    if (fresh) it->second = meet_value(value, pending_[depth].selector->descriptor);
    return it->second;
  }

  void settle_leaf() {
    Emptiness leaf = fresh_undecided_ ? Emptiness::Undecided : Emptiness::Inhabited;
    for (size_t k = 0; k < keys_.size(); ++k) {
      if (used(k) && state_[k].emptiness != Emptiness::Inhabited) leaf = Emptiness::Undecided;
    }
    found_ = fold_emptiness(found_, leaf);
  }

  std::vector<ConcreteKey> keys_;
  std::vector<PendingSelector> pending_;
  std::vector<KeyState> state_;
  std::map<std::pair<size_t, uint64_t>, MetValue> memo_;
  Emptiness found_ = Emptiness::Empty;
  uint64_t steps_ = 0;
  uint64_t fresh_undecided_ = 0;
  bool out_of_steps_ = false;
};

// The candidates of one selector that are not proved empty; `settled` when
// a fresh key is proved to serve it alone.
PendingSelector selector_candidates(const RecordShape& shape, const std::vector<ConcreteKey>& keys,
                                    const KeySelector& selector, bool& settled) {
  PendingSelector pending{&selector, {}};
  settled = false;
  if (!is_finite_kind(selector.kind_index)) {
    MetValue fresh = meet_value(shape.kind_entries[selector.kind_index].value, selector.descriptor);
    if (fresh.emptiness == Emptiness::Inhabited) {
      settled = true;
      return pending;
    }
    if (fresh.emptiness == Emptiness::Undecided) pending.candidates.push_back(Candidate{kFreshKey, std::move(fresh)});
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    if (keys[k].kind != selector.kind_index || selector.excluded.contains(keys[k].key)) continue;
    MetValue met = meet_value(keys[k].value, selector.descriptor);
    if (met.emptiness != Emptiness::Empty) pending.candidates.push_back(Candidate{k, std::move(met)});
  }
  // Proved candidates first; the fresh one, which settles nothing, last.
  std::stable_sort(pending.candidates.begin(), pending.candidates.end(), [](const Candidate& a, const Candidate& b) {
    auto rank = [](const Candidate& c) {
      if (c.key == kFreshKey) return 2;
      return c.met.emptiness == Emptiness::Inhabited ? 0 : 1;
    };
    return rank(a) < rank(b);
  });
  return pending;
}

// Whether a required key holds two forms, neither of them nothing: such a
// key is present in one form or the other, never both.
bool needs_form_split(const KeyEntry& entry) {
  return entry.absent_allowed == 0 && !forms_same(entry) && !is_nothing(entry.value) &&
         !is_nothing(entry.subclass_value);
}

Emptiness shape_emptiness_with_single_forms(const RecordShape& shape);

// A required key with two live forms: the shape is the union of the shape
// holding the exact form and the shape holding the subclass form. Each
// split settles one key, so the depth is at most the number of such keys,
// which is bounded here.
Emptiness required_form_split(const RecordShape& shape, int splits_left) {
  auto it = std::find_if(shape.keys.begin(), shape.keys.end(),
                         [](const auto& item) { return needs_form_split(item.second); });
  if (it == shape.keys.end()) return shape_emptiness_with_single_forms(shape);
  if (splits_left == 0) return Emptiness::Undecided;
  const KeyEntry entry = it->second;
  Emptiness answer = Emptiness::Empty;
  for (bool exact : {true, false}) {
    RecordShape one = shape;
    one.keys[it->first] = exact ? KeyEntry{entry.value, shared_nothing(), 0} : KeyEntry{shared_nothing(), entry.subclass_value, 0};
    answer = fold_emptiness(answer, required_form_split(one, splits_left - 1));
    if (answer == Emptiness::Inhabited) break;
  }
  return answer;
}

Emptiness shape_emptiness_with_single_forms(const RecordShape& shape) {
  std::vector<ConcreteKey> keys = concrete_keys(shape);
  Emptiness required = Emptiness::Inhabited;
  for (ConcreteKey& k : keys) {
    if (!k.required) continue;
    if (k.alias != kNoAlias && keys[k.alias].required) return Emptiness::Empty;
    k.emptiness = value_emptiness(k.value);
    if (k.emptiness == Emptiness::Empty) return Emptiness::Empty;
    if (k.emptiness == Emptiness::Undecided) required = Emptiness::Undecided;
  }
  std::vector<PendingSelector> pending;
  for (const KeySelector& selector : shape.selectors) {
    // No key is of a kind past the nine.
    if (selector.kind_index >= key_kind::kCount) return Emptiness::Empty;
    bool settled = false;
    PendingSelector p = selector_candidates(shape, keys, selector, settled);
    if (settled) continue;
    if (p.candidates.empty()) return Emptiness::Empty;
    pending.push_back(std::move(p));
  }
  if (pending.empty()) return required;
  if (pending.size() > kMaxSearchedSelectors) return Emptiness::Undecided;
  std::stable_sort(pending.begin(), pending.end(), [](const PendingSelector& a, const PendingSelector& b) {
    return a.candidates.size() < b.candidates.size();
  });
  return WitnessSearch(std::move(keys), std::move(pending)).run();
}

}  // namespace

Emptiness record_shape_emptiness(const RecordShape& shape) {
  return required_form_split(shape, kMaxRequiredFormSplits);
}

Emptiness record_domain_emptiness(const RecordDomain& d) {
  Outcome<std::vector<RecordShape>> shapes = materialize_record_negation(d);
  if (!shapes) return Emptiness::Undecided;
  return list_emptiness(*shapes, record_shape_emptiness);
}

}  // namespace tessolin::descr

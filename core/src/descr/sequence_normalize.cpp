// normalize_sequence_automaton (sequence_automaton.hpp): merge, prune and
// order the transitions, merge equivalent positions by partition
// refinement, then renumber the reachable positions breadth-first.
// Private: the refinement and its signatures. Tested by
// core/tests/descr_sequence.
#include <algorithm>
#include <cassert>

#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/sequence_automaton.hpp"
#include "descr/shared_descriptor.hpp"
#include "ir/fx_hash.hpp"

namespace tessolin::descr {

namespace {

constexpr uint32_t kNoClass = UINT32_MAX;

// Every list of one length, every `accepting` byte 0 or 1, every target a
// position: targets beyond the lists go to one added position that takes
// nothing and does not accept.
void make_positions_explicit(SequenceAutomaton& a) {
  const size_t n = std::max(a.positions.size(), a.accepting.size());
  a.positions.resize(n);
  a.accepting.resize(n, 0);
  for (uint8_t& byte : a.accepting) byte = byte != 0;
  bool needs_sink = false;
  for (std::vector<SequenceTransition>& list : a.positions)
    for (SequenceTransition& t : list)
      if (t.target >= n) {
        t.target = static_cast<uint32_t>(n);
        needs_sink = true;
      }
  if (needs_sink) {
    a.positions.emplace_back();
    a.accepting.push_back(0);
  }
}

void prune_and_order(SequenceAutomaton& a) {
  for (std::vector<SequenceTransition>& list : a.positions) {
    std::erase_if(list, [](const SequenceTransition& t) {
      return t.label && descriptor_emptiness(*t.label) == Emptiness::Empty;
    });
    sort_transitions(list);
  }
}

struct SignatureEntry {
  uint32_t target_class = 0;
  OptionalDescriptor label;
};

// What a position does in terms of the current classes: its `accepting`
// byte and, per class of targets, the join of the labels leading there
// (null when one of them is null; a join that gives up keeps two entries).
// Under the automaton invariant two positions with equal signatures take
// every element to the same class.
struct Signature {
  uint8_t accepting = 0;
  std::vector<SignatureEntry> entries;
};

bool signatures_equal(const Signature& x, const Signature& y) {
  if (x.accepting != y.accepting || x.entries.size() != y.entries.size()) return false;
  for (size_t i = 0; i < x.entries.size(); ++i) {
    if (x.entries[i].target_class != y.entries[i].target_class) return false;
    if (!optional_descriptor_eq(x.entries[i].label, y.entries[i].label)) return false;
  }
  return true;
}

// Only what signatures_equal compares exactly (labels by presence).
uint64_t signature_hash(const Signature& s) {
  ir::FxHasher h;
  h.add(s.accepting);
  for (const SignatureEntry& e : s.entries) h.add((static_cast<uint64_t>(e.target_class) << 1) | (e.label ? 1 : 0));
  return h.finish();
}

// Partition refinement: all positions start in one class; a class splits
// when its members' signatures differ, and then only the predecessors of
// the positions that moved need new signatures. Classes only ever split,
// so the result is stable (members of a class have equal signatures) even
// where a join gave up in one round and not in another; it is the coarsest
// such partition. A chain of n positions takes O(n) rounds of O(1) work
// here, where recomputing every signature each round would take O(n^2).
class Refinement {
 public:
  explicit Refinement(const SequenceAutomaton& a)
      : a_(a),
        classes_(a.positions.size(), 0),
        signatures_(a.positions.size()),
        predecessors_(a.positions.size()),
        dirty_flag_(a.positions.size(), 0),
        slot_in_class_(a.positions.size()) {
    const size_t n = a.positions.size();
    members_.emplace_back();
    for (uint32_t p = 0; p < n; ++p) {
      members_[0].push_back(p);
      slot_in_class_[p] = p;
      for (const SequenceTransition& t : a.positions[p]) predecessors_[t.target].push_back(p);
    }
    for (uint32_t p = 0; p < n; ++p) mark_dirty(p);
  }

  // The class of every position, numbered by first position (position 0
  // in class 0).
  std::vector<uint32_t> run() {
    std::vector<uint32_t> round;
    std::vector<uint32_t> moved;
    while (!dirty_.empty()) {
      round.swap(dirty_);
      dirty_.clear();
      std::sort(round.begin(), round.end());
      for (uint32_t p : round) build_signature(p);  // all against the classes the round began with
      moved.clear();
      split_classes(round, moved);
      for (uint32_t p : round) dirty_flag_[p] = 0;
      for (uint32_t p : moved)
        for (uint32_t q : predecessors_[p]) mark_dirty(q);
    }
    return numbered_by_first_position();
  }

 private:
  void mark_dirty(uint32_t p) {
    if (dirty_flag_[p]) return;
    dirty_flag_[p] = 1;
    dirty_.push_back(p);
  }

  void build_signature(uint32_t p) {
    Signature& s = signatures_[p];
    s.accepting = a_.accepting[p];
    s.entries.clear();
    first_entry_.resize(members_.size(), kNoClass);
    for (const SequenceTransition& t : a_.positions[p]) {
      const uint32_t c = classes_[t.target];
      if (first_entry_[c] == kNoClass) {
        first_entry_[c] = static_cast<uint32_t>(s.entries.size());
        s.entries.push_back({c, t.label});
        continue;
      }
      SignatureEntry& first = s.entries[first_entry_[c]];
      if (!first.label || !t.label) {
        first.label = nullptr;
      } else if (Outcome<SharedDescriptor> joined = join_shared(first.label, t.label)) {
        first.label = std::move(*joined);
      } else {
        s.entries.push_back({c, t.label});  // the join gave up: kept apart
      }
    }
    for (const SignatureEntry& e : s.entries) first_entry_[e.target_class] = kNoClass;
    std::stable_sort(s.entries.begin(), s.entries.end(), [](const SignatureEntry& x, const SignatureEntry& y) {
      if (x.target_class != y.target_class) return x.target_class < y.target_class;
      return optional_descriptor_order(x.label, y.label) < 0;
    });
  }

  // Within each class holding positions of `round`, the members whose
  // signature differs from an unchanged member's (or, when all changed,
  // from the first one's) move to new classes, one per signature.
  void split_classes(const std::vector<uint32_t>& round, std::vector<uint32_t>& moved) {
    struct Group {
      uint32_t representative;
      uint64_t hash;
      uint32_t target_class;
    };
    std::vector<uint32_t> touched;
    for (uint32_t p : round) {
      const uint32_t c = classes_[p];
      if (round_members_.size() <= c) round_members_.resize(c + 1);
      if (round_members_[c].empty()) touched.push_back(c);
      round_members_[c].push_back(p);
    }
    std::vector<Group> groups;
    for (uint32_t c : touched) {
      std::vector<uint32_t> changed;
      changed.swap(round_members_[c]);
      groups.clear();
      // Signatures not recomputed this round are all equal (the class was
      // stable) and still valid (none of their targets moved).
      const std::vector<uint32_t>& members = members_[c];
      auto unchanged = std::find_if(members.begin(), members.end(), [&](uint32_t m) { return !dirty_flag_[m]; });
      const uint32_t keeper = unchanged != members.end() ? *unchanged : changed.front();
      groups.push_back({keeper, signature_hash(signatures_[keeper]), c});
      for (uint32_t p : changed) {
        const uint64_t h = signature_hash(signatures_[p]);
        auto g = std::find_if(groups.begin(), groups.end(), [&](const Group& x) {
          return x.hash == h && signatures_equal(signatures_[x.representative], signatures_[p]);
        });
        if (g == groups.end()) {
          groups.push_back({p, h, static_cast<uint32_t>(members_.size())});
          members_.emplace_back();
          g = groups.end() - 1;
        }
        if (g->target_class != c) {
          move_to(p, g->target_class);
          moved.push_back(p);
        }
      }
    }
  }

  void move_to(uint32_t p, uint32_t to) {
    std::vector<uint32_t>& from = members_[classes_[p]];
    const uint32_t slot = slot_in_class_[p];
    from[slot] = from.back();
    slot_in_class_[from[slot]] = slot;
    from.pop_back();
    classes_[p] = to;
    slot_in_class_[p] = static_cast<uint32_t>(members_[to].size());
    members_[to].push_back(p);
  }

  std::vector<uint32_t> numbered_by_first_position() const {
    std::vector<uint32_t> number(members_.size(), kNoClass);
    std::vector<uint32_t> out(classes_.size());
    uint32_t next = 0;
    for (size_t p = 0; p < classes_.size(); ++p) {
      uint32_t& n = number[classes_[p]];
      if (n == kNoClass) n = next++;
      out[p] = n;
    }
    return out;
  }

  const SequenceAutomaton& a_;
  std::vector<uint32_t> classes_;
  std::vector<Signature> signatures_;
  std::vector<std::vector<uint32_t>> predecessors_;
  std::vector<uint8_t> dirty_flag_;
  std::vector<uint32_t> dirty_;
  std::vector<std::vector<uint32_t>> members_;        // per class, in no order
  std::vector<uint32_t> slot_in_class_;               // per position: its index in members_
  std::vector<std::vector<uint32_t>> round_members_;  // per class: its positions in this round
  std::vector<uint32_t> first_entry_;                 // per class: its entry in the signature being built
};

// One position per class, with the transitions of its last member.
SequenceAutomaton quotient(SequenceAutomaton& a, const std::vector<uint32_t>& classes) {
  const size_t n = a.positions.size();
  uint32_t class_count = 0;
  for (uint32_t c : classes) class_count = std::max(class_count, c + 1);
  std::vector<uint32_t> last_member(class_count, 0);
  for (size_t p = 0; p < n; ++p) last_member[classes[p]] = static_cast<uint32_t>(p);
  SequenceAutomaton q;
  q.positions.resize(class_count);
  q.accepting.resize(class_count);
  for (uint32_t c = 0; c < class_count; ++c) {
    const uint32_t member = last_member[c];
    q.accepting[c] = a.accepting[member];
    q.positions[c] = std::move(a.positions[member]);
    for (SequenceTransition& t : q.positions[c]) t.target = classes[t.target];
  }
  return q;
}

// Reachable positions only, numbered in breadth-first order from 0.
SequenceAutomaton renumber_breadth_first(SequenceAutomaton& a) {
  std::vector<uint32_t> number(a.positions.size(), kNoClass);
  std::vector<uint32_t> order;  // old position of each new number; also the queue
  number[0] = 0;
  order.push_back(0);
  for (size_t next = 0; next < order.size(); ++next)
    for (const SequenceTransition& t : a.positions[order[next]])
      if (number[t.target] == kNoClass) {
        number[t.target] = static_cast<uint32_t>(order.size());
        order.push_back(t.target);
      }
  SequenceAutomaton out;
  out.positions.resize(order.size());
  out.accepting.resize(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    out.accepting[k] = a.accepting[order[k]];
    out.positions[k] = std::move(a.positions[order[k]]);
    for (SequenceTransition& t : out.positions[k]) t.target = number[t.target];
  }
  return out;
}

// The automaton of no list: one position that does not accept and keeps
// every element to itself. This is also what every automaton with no
// accepting position normalises to, and it keeps the invariant, so its
// complement by flipping `accepting` is every list.
SequenceAutomaton no_sequence() {
  SequenceAutomaton a;
  a.positions.push_back({SequenceTransition{nullptr, 0}});
  a.accepting.push_back(0);
  return a;
}

}  // namespace

SequenceAutomaton normalize_sequence_automaton(SequenceAutomaton a) {
#ifndef NDEBUG
  const bool invariant_on_entry = sequence_invariant_holds(a);
#endif
  make_positions_explicit(a);
  if (a.positions.empty()) return no_sequence();
  a = merge_transitions_by_target(std::move(a));
  prune_and_order(a);
  const std::vector<uint32_t> classes = Refinement(a).run();
  SequenceAutomaton q = quotient(a, classes);
  q = merge_transitions_by_target(std::move(q));
  prune_and_order(q);
  SequenceAutomaton out = renumber_breadth_first(q);
  assert(!invariant_on_entry || sequence_invariant_holds(out));
  return out;
}

}  // namespace tessolin::descr

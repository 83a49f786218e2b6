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

// What a position does, in terms of the classes of the pass before. The
// class of the pass before is part of it, so classes only ever split: the
// joins in an entry may give up in one pass and not in another, and a
// partition that merged back could then leave inequivalent positions in
// one class.
struct Signature {
  uint8_t accepting = 0;
  uint32_t previous_class = 0;
  std::vector<SignatureEntry> entries;
};

bool labels_equal(const OptionalDescriptor& x, const OptionalDescriptor& y) {
  return optional_descriptor_eq(x, y);
}

bool signatures_equal(const Signature& x, const Signature& y) {
  if (x.accepting != y.accepting || x.previous_class != y.previous_class || x.entries.size() != y.entries.size())
    return false;
  for (size_t i = 0; i < x.entries.size(); ++i) {
    if (x.entries[i].target_class != y.entries[i].target_class) return false;
    if (!labels_equal(x.entries[i].label, y.entries[i].label)) return false;
  }
  return true;
}

// Only what signatures_equal compares exactly (labels by presence).
uint64_t signature_hash(const Signature& s) {
  ir::FxHasher h;
  h.add(s.accepting);
  h.add(s.previous_class);
  for (const SignatureEntry& e : s.entries) h.add((static_cast<uint64_t>(e.target_class) << 1) | (e.label ? 1 : 0));
  return h.finish();
}

class Refinement {
 public:
  explicit Refinement(const SequenceAutomaton& a)
      : a_(a), classes_(a.positions.size(), 0), signatures_(a.positions.size()) {}

  // The final class of every position; class 0 holds position 0.
  std::vector<uint32_t> run() {
    const size_t n = a_.positions.size();
    size_t class_count = 1;
    std::vector<uint32_t> next(n);
    for (size_t pass = 0; pass <= n; ++pass) {
      first_entry_.assign(class_count, kNoClass);
      for (size_t p = 0; p < n; ++p) build_signature(p, signatures_[p]);
      const size_t new_count = assign_classes(next);
      classes_.swap(next);
      if (new_count == class_count) break;  // classes only split: none did
      class_count = new_count;
    }
    return std::move(classes_);
  }

 private:
  void build_signature(size_t p, Signature& s) {
    s.accepting = a_.accepting[p];
    s.previous_class = classes_[p];
    s.entries.clear();
    for (const SequenceTransition& t : a_.positions[p]) {
      const uint32_t c = classes_[t.target];
      const uint32_t first = first_entry_[c];
      if (first == kNoClass) {
        first_entry_[c] = static_cast<uint32_t>(s.entries.size());
        s.entries.push_back({c, t.label});
        continue;
      }
      SignatureEntry& e = s.entries[first];
      if (!e.label || !t.label) {
        e.label = nullptr;
      } else if (Outcome<SharedDescriptor> joined = join_shared(e.label, t.label)) {
        e.label = std::move(*joined);
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

  // Numbers classes by their first position; returns how many there are.
  size_t assign_classes(std::vector<uint32_t>& out) {
    const size_t n = a_.positions.size();
    size_t table_size = 4;
    while (table_size < 2 * n) table_size *= 2;
    table_.assign(table_size, kNoClass);  // class numbers
    representative_.clear();              // first position of each class
    for (size_t p = 0; p < n; ++p) {
      size_t slot = signature_hash(signatures_[p]) & (table_size - 1);
      while (true) {
        const uint32_t c = table_[slot];
        if (c == kNoClass) {
          table_[slot] = static_cast<uint32_t>(representative_.size());
          out[p] = table_[slot];
          representative_.push_back(static_cast<uint32_t>(p));
          break;
        }
        if (signatures_equal(signatures_[representative_[c]], signatures_[p])) {
          out[p] = c;
          break;
        }
        slot = (slot + 1) & (table_size - 1);
      }
    }
    return representative_.size();
  }

  const SequenceAutomaton& a_;
  std::vector<uint32_t> classes_;
  std::vector<Signature> signatures_;
  std::vector<uint32_t> first_entry_;  // per class: its entry in the signature being built
  std::vector<uint32_t> table_;
  std::vector<uint32_t> representative_;
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

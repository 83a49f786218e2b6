// Normal forms of sequence automata: merging, pruning, ordering,
// minimisation and renumbering, each against the expected automaton.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "sequence_test_support.hpp"

namespace tessolin::descr::testing {
namespace {

struct Labels {
  SharedDescriptor i = shared(ints());
  SharedDescriptor s = shared(strs());
  SharedDescriptor nothing = shared(meet(ints(), strs()));
  SharedDescriptor undecided = undecided_label();
  SharedDescriptor i_or_s = shared(join(ints(), strs()));
};

std::string show(const SequenceAutomaton& a, const Labels& l) {
  auto name = [&](const OptionalDescriptor& d) -> std::string {
    if (!d) return "else";
    for (auto [label, text] : {std::pair{l.i, "int"},
                               {l.s, "str"},
                               {l.nothing, "nothing"},
                               {l.undecided, "undecided"},
                               {l.i_or_s, "int|str"}})
      if (descriptor_eq(*d, *label)) return text;
    return "?";
  };
  std::string out;
  for (size_t p = 0; p < a.positions.size(); ++p) {
    out += std::to_string(p) + (p < a.accepting.size() && a.accepting[p] ? "*:" : ":");
    for (const SequenceTransition& t : a.positions[p]) out += " " + name(t.label) + "->" + std::to_string(t.target);
    out += "\n";
  }
  return out;
}

TEST(SequenceNormalForm, Table) {
  const Labels l;
  ASSERT_EQ(descriptor_emptiness(*l.nothing), Emptiness::Empty);
  ASSERT_EQ(descriptor_emptiness(*l.undecided), Emptiness::Undecided);
  struct Case {
    const char* what;
    std::vector<PositionSpec> input;
    std::vector<PositionSpec> expected;
  };
  const std::vector<Case> cases = {
      {"the list top is its own normal form", {{true, {{nullptr, 0}}}}, {{true, {{nullptr, 0}}}}},
      {"no position: one dead position", {}, {{false, {{nullptr, 0}}}}},
      {"labels to one target are joined",
       {{false, {{l.i, 1}, {l.s, 1}, {nullptr, 2}}}, {true, {{nullptr, 2}}}, {false, {{nullptr, 2}}}},
       {{false, {{l.i_or_s, 1}, {nullptr, 2}}}, {true, {{nullptr, 2}}}, {false, {{nullptr, 2}}}}},
      {"a label and the else-label to one target become the else-label",
       {{true, {{l.i, 0}, {nullptr, 0}}}},
       {{true, {{nullptr, 0}}}}},
      {"a label proved empty is dropped, an undecided one stays",
       {{true, {{l.nothing, 1}, {l.undecided, 2}, {nullptr, 0}}}, {false, {{nullptr, 1}}}, {false, {{nullptr, 2}}}},
       {{true, {{l.undecided, 1}, {nullptr, 0}}}, {false, {{nullptr, 1}}}}},
      {"present labels in descriptor order, the else-label last",
       {{true, {{nullptr, 1}, {l.i, 0}, {l.s, 2}}}, {false, {{nullptr, 1}}}, {true, {{nullptr, 1}}}},
       {{true, {{l.s, 1}, {l.i, 0}, {nullptr, 2}}}, {true, {{nullptr, 2}}}, {false, {{nullptr, 2}}}}},
      {"equivalent positions merge",
       {{true, {{l.i, 1}, {nullptr, 2}}}, {true, {{l.i, 0}, {nullptr, 2}}}, {false, {{nullptr, 2}}}},
       {{true, {{l.i, 0}, {nullptr, 1}}}, {false, {{nullptr, 1}}}}},
      {"accepting and dead positions with equal transitions stay apart",
       {{true, {{nullptr, 1}}}, {false, {{nullptr, 1}}}},
       {{true, {{nullptr, 1}}}, {false, {{nullptr, 1}}}}},
      {"unreachable positions are dropped, the rest numbered breadth-first",
       {{false, {{nullptr, 3}}}, {true, {{nullptr, 1}}}, {false, {{nullptr, 0}}}, {true, {{l.i, 3}, {nullptr, 2}}}},
       {{false, {{nullptr, 1}}}, {true, {{l.i, 1}, {nullptr, 2}}}, {false, {{nullptr, 0}}}}},
      {"no accepting position: the one dead position",
       {{false, {{l.i, 1}, {nullptr, 0}}}, {false, {{l.s, 0}, {nullptr, 1}}}},
       {{false, {{nullptr, 0}}}}},
      {"tuple[int, str] as lowering builds it",
       {{false, {{l.i, 1}, {nullptr, 3}}},
        {false, {{l.s, 2}, {nullptr, 3}}},
        {true, {{nullptr, 3}}},
        {false, {{nullptr, 3}}}},
       {{false, {{l.i, 1}, {nullptr, 2}}},
        {false, {{l.s, 3}, {nullptr, 2}}},
        {false, {{nullptr, 2}}},
        {true, {{nullptr, 2}}}}},
      {"targets past the position list take nothing",
       {{true, {{l.i, 7}, {nullptr, 0}}}},
       {{true, {{l.i, 1}, {nullptr, 0}}}, {false, {}}}},
  };
  for (const Case& c : cases) {
    const SequenceAutomaton got = normalize_sequence_automaton(automaton(c.input));
    const SequenceAutomaton want = automaton(c.expected);
    EXPECT_TRUE(sequence_eq(got, want)) << c.what << "\ngot:\n" << show(got, l) << "want:\n" << show(want, l);
    EXPECT_TRUE(sequence_eq(normalize_sequence_automaton(got), got)) << c.what << ": not a fixed point";
  }
}

TEST(SequenceNormalForm, JoinThatGivesUpKeepsTwoTransitions) {
  const Labels l;
  FuelWindow no_fuel(0);
  const SequenceAutomaton got =
      normalize_sequence_automaton(automaton({{true, {{l.i, 1}, {l.s, 1}, {nullptr, 0}}}, {false, {{nullptr, 1}}}}));
  const SequenceAutomaton want = automaton({{true, {{l.s, 1}, {l.i, 1}, {nullptr, 0}}}, {false, {{nullptr, 1}}}});
  EXPECT_TRUE(sequence_eq(got, want)) << show(got, l);
  EXPECT_TRUE(sequence_invariant_holds(got));
}

TEST(SequenceNormalForm, MergeKeepsPositionsAndAcceptance) {
  const Labels l;
  const SequenceAutomaton merged = merge_transitions_by_target(
      automaton({{false, {{l.i, 1}, {nullptr, 2}, {l.s, 1}, {l.s, 2}}}, {true, {}}, {false, {}}}));
  EXPECT_TRUE(sequence_eq(merged, automaton({{false, {{l.i_or_s, 1}, {nullptr, 2}}}, {true, {}}, {false, {}}})))
      << show(merged, l);
}

TEST(SequenceNormalForm, InvariantCheck) {
  const Labels l;
  EXPECT_TRUE(sequence_invariant_holds(sequence_top()));
  EXPECT_FALSE(sequence_invariant_holds(automaton({})));
  EXPECT_FALSE(sequence_invariant_holds(automaton({{true, {}}})));                            // no else-label
  EXPECT_FALSE(sequence_invariant_holds(automaton({{true, {{nullptr, 0}, {nullptr, 0}}}})));  // two
  EXPECT_FALSE(sequence_invariant_holds(automaton({{true, {{l.i, 0}, {nullptr, 1}}}})));      // past the end
  SequenceAutomaton short_accepting = sequence_top();
  short_accepting.accepting.clear();
  EXPECT_FALSE(sequence_invariant_holds(short_accepting));
}

}  // namespace
}  // namespace tessolin::descr::testing

namespace tessolin::descr::testing {
namespace {

// Automata over the disjoint labels int, str and bool and the else-label
// are DFAs over four letters; a textbook minimisation of those is the
// reference for the number of positions of the normal form.
struct LetterAutomaton {
  std::vector<std::array<uint32_t, 4>> next;  // letters: int, str, bool, other
  std::vector<uint8_t> accepting;
};

size_t minimal_size(const LetterAutomaton& a) {
  std::vector<uint32_t> reachable{0};
  std::vector<uint8_t> seen(a.next.size(), 0);
  seen[0] = 1;
  for (size_t k = 0; k < reachable.size(); ++k)
    for (uint32_t t : a.next[reachable[k]])
      if (!seen[t]) {
        seen[t] = 1;
        reachable.push_back(t);
      }
  std::vector<uint32_t> cls(a.next.size());
  for (uint32_t p : reachable) cls[p] = a.accepting[p];
  for (size_t pass = 0; pass < a.next.size(); ++pass) {
    std::map<std::vector<uint32_t>, uint32_t> ids;
    std::vector<uint32_t> next_cls(a.next.size());
    for (uint32_t p : reachable) {
      std::vector<uint32_t> key{cls[p]};
      for (uint32_t t : a.next[p]) key.push_back(cls[t]);
      next_cls[p] = ids.emplace(key, static_cast<uint32_t>(ids.size())).first->second;
    }
    cls.swap(next_cls);
  }
  std::set<uint32_t> classes;
  for (uint32_t p : reachable) classes.insert(cls[p]);
  return classes.size();
}

TEST(SequenceNormalForm, RandomAutomataAgainstTextbookMinimisation) {
  const std::array<SharedDescriptor, 3> labels = {shared(ints()), shared(strs()), shared(bools())};
  const std::vector<Value> letters = {Value::integer(1), Value::str("a"), Value::boolean(true), Value::none()};
  const std::vector<Value> words = small_sequences(Value::Kind::Tuple, letters, 4);
  uint64_t seed = 12345;
  auto random = [&](uint32_t bound) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>((seed >> 33) % bound);
  };
  for (int round = 0; round < 300; ++round) {
    const uint32_t n = 1 + random(6);
    SequenceAutomaton a;
    LetterAutomaton reference;
    for (uint32_t p = 0; p < n; ++p) {
      const uint32_t other = random(n);
      std::array<uint32_t, 4> next{other, other, other, other};
      std::vector<SequenceTransition> list;
      for (size_t l = 0; l < labels.size(); ++l) {
        if (random(2)) continue;
        next[l] = random(n);
        list.push_back({labels[l], next[l]});
      }
      list.push_back({nullptr, other});
      a.positions.push_back(std::move(list));
      a.accepting.push_back(static_cast<uint8_t>(random(2)));
      reference.next.push_back(next);
    }
    reference.accepting = a.accepting;
    const SequenceAutomaton normal = normalize_sequence_automaton(a);
    EXPECT_TRUE(sequence_invariant_holds(normal)) << round;
    EXPECT_EQ(normal.positions.size(), minimal_size(reference)) << round;
    EXPECT_TRUE(sequence_eq(normalize_sequence_automaton(normal), normal)) << round;
    for (const Value& w : words)
      ASSERT_EQ(sequence_member(normal, w.items), sequence_member(a, w.items)) << round << " " << describe(w);
  }
}

}  // namespace
}  // namespace tessolin::descr::testing

// Sequence products: both modes, the else part, and the pair and transition
// limits (reachable only with the fuel word unset: each new pair spends a
// unit). Searches for an accepting position, strict and loose.
#include <gtest/gtest.h>

#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/sequence_lowering.hpp"
#include "sequence_test_support.hpp"

namespace tessolin::descr::testing {
namespace {

const SequenceAutomaton& automaton_of(const Descriptor& d, uint8_t code) {
  return std::get<SequenceAutomaton>(d.slots[code].lines.at(0).domain);
}

// The automaton of `code` sequences with these prefix items and tail.
SequenceAutomaton lowered(std::vector<Descriptor> prefix, std::optional<Descriptor> tail) {
  std::vector<SharedDescriptor> items;
  for (Descriptor& d : prefix) items.push_back(shared(std::move(d)));
  std::optional<SharedDescriptor> t;
  if (tail) t = shared(std::move(*tail));
  return automaton_of(*sequence_descriptor(items, t, kTuple), kTuple);
}

// A cycle of n positions, all accepting, taking every element onwards.
SequenceAutomaton accepting_cycle(uint32_t n) {
  SequenceAutomaton a;
  for (uint32_t p = 0; p < n; ++p) {
    a.positions.push_back({SequenceTransition{nullptr, (p + 1) % n}});
    a.accepting.push_back(1);
  }
  return a;
}

// `positions` positions, each with `labels` distinct int labels and the
// else-label, all to the next position (the last one to itself); then one
// accepting position with only the else-label when `tail` is set.
SequenceAutomaton wide_chain(uint32_t positions, uint32_t labels, bool tail) {
  std::vector<SharedDescriptor> ints_0_to_n;
  for (uint32_t i = 0; i < labels; ++i) ints_0_to_n.push_back(shared(int_value(i)));
  SequenceAutomaton a;
  const uint32_t count = positions + (tail ? 1 : 0);
  for (uint32_t p = 0; p < positions; ++p) {
    const uint32_t next = std::min(p + 1, count - 1);
    std::vector<SequenceTransition> list;
    for (const SharedDescriptor& label : ints_0_to_n) list.push_back({label, next});
    list.push_back({nullptr, next});
    a.positions.push_back(std::move(list));
    a.accepting.push_back(0);
  }
  if (tail) {
    a.positions.push_back({SequenceTransition{nullptr, count - 1}});
    a.accepting.push_back(1);
  }
  return a;
}

TEST(SequenceProduct, TopWithItselfIsTheTop) {
  for (CombineMode mode : {CombineMode::Meet, CombineMode::Join}) {
    Outcome<SequenceAutomaton> p = sequence_product(sequence_top(), sequence_top(), mode);
    ASSERT_TRUE(p);
    EXPECT_TRUE(sequence_eq(*p, sequence_top()));
  }
}

TEST(SequenceProduct, FixedTupleAgainstItsTail) {
  // tuple[int, str] and tuple[str, ...] share no value.
  const SequenceAutomaton int_str = lowered({ints(), strs()}, std::nullopt);
  const SequenceAutomaton strs_only = lowered({}, strs());
  Outcome<SequenceAutomaton> met = sequence_product(int_str, strs_only, CombineMode::Meet);
  ASSERT_TRUE(met);
  EXPECT_TRUE(sequence_eq(*met, automaton({{false, {{nullptr, 0}}}})));
  EXPECT_EQ(sequence_domain_emptiness(*met), Emptiness::Empty);
  // tuple[str, str] lies within tuple[str, ...]: the meet is tuple[str, str].
  const SequenceAutomaton str_str = lowered({strs(), strs()}, std::nullopt);
  Outcome<SequenceAutomaton> within = sequence_product(str_str, strs_only, CombineMode::Meet);
  ASSERT_TRUE(within);
  EXPECT_TRUE(sequence_eq(*within, str_str));
  Outcome<SequenceAutomaton> joined = sequence_product(str_str, strs_only, CombineMode::Join);
  ASSERT_TRUE(joined);
  EXPECT_TRUE(sequence_eq(*joined, strs_only));
}

TEST(SequenceProduct, EmptyElsePartGivesTheLastLabelTheElse) {
  // b's one label holds every value, so its else-label is proved empty.
  const SequenceAutomaton a = lowered({ints()}, std::nullopt);
  const SequenceAutomaton b = automaton({{true, {{every_value(), 0}, {nullptr, 1}}}, {false, {{nullptr, 1}}}});
  Outcome<SequenceAutomaton> met = sequence_product(a, b, CombineMode::Meet);
  ASSERT_TRUE(met);
  EXPECT_TRUE(sequence_invariant_holds(*met));
  ASSERT_EQ(met->positions[0].size(), 2u);
  EXPECT_TRUE(met->positions[0][0].label && descriptor_eq(*met->positions[0][0].label, ints()));
  EXPECT_FALSE(met->positions[0][1].label);
  for (const Value& v : small_sequences(Value::Kind::Tuple, small_scalars(), 2))
    EXPECT_EQ(sequence_member(*met, v.items), sequence_member(a, v.items)) << describe(v);
}

TEST(SequenceProduct, PairWithoutTransitionsGetsNone) {
  const SequenceAutomaton only_empty = automaton({{true, {}}});
  Outcome<SequenceAutomaton> p = sequence_product(only_empty, sequence_top(), CombineMode::Meet);
  ASSERT_TRUE(p);
  EXPECT_TRUE(sequence_eq(*p, only_empty));
}

TEST(SequenceProduct, AtMost4096PositionPairs) {
  FuelWindow unset(kUnlimitedFuel);
  EXPECT_TRUE(sequence_product(accepting_cycle(4096), sequence_top(), CombineMode::Meet));
  EXPECT_FALSE(sequence_product(accepting_cycle(4097), sequence_top(), CombineMode::Meet));
}

TEST(SequenceProduct, EachNewPairNeedsFuel) {
  // Pair (0, 0) is free; the second pair finds no unit.
  FuelWindow none(0);
  EXPECT_TRUE(sequence_product(sequence_top(), sequence_top(), CombineMode::Meet));
  EXPECT_FALSE(sequence_product(accepting_cycle(2), sequence_top(), CombineMode::Meet));
}

TEST(SequenceProduct, AtMost4096TransitionsAtOnePosition) {
  FuelWindow unset(kUnlimitedFuel);
  EXPECT_TRUE(sequence_product(wide_chain(1, 4095, true), sequence_top(), CombineMode::Meet));
  EXPECT_FALSE(sequence_product(wide_chain(1, 4096, true), sequence_top(), CombineMode::Meet));
}

TEST(SequenceProduct, AtMost65536TransitionsInAll) {
  FuelWindow unset(kUnlimitedFuel);
  EXPECT_TRUE(sequence_product(wide_chain(16, 4095, false), sequence_top(), CombineMode::Meet));
  EXPECT_FALSE(sequence_product(wide_chain(16, 4095, true), sequence_top(), CombineMode::Meet));
}

// ---- searches

TEST(SequenceSearch, AcceptingStartDecidesNoLabel) {
  const SequenceAutomaton a = automaton({{true, {{shared(ints()), 1}, {nullptr, 1}}}, {false, {{nullptr, 1}}}});
  FuelWindow window(10);
  EXPECT_TRUE(sequence_is_inhabited(a, true));
  EXPECT_TRUE(sequence_is_inhabited(a, false));
  EXPECT_EQ(fuel_left(), 10u);  // an else-label would have spent a unit
}

TEST(SequenceSearch, StrictAndLoose) {
  const SharedDescriptor undecided = undecided_label();
  const SharedDescriptor nothing = shared(meet(ints(), strs()));
  struct Case {
    const char* what;
    SequenceAutomaton a;
    bool strict, loose;
    Emptiness domain;
  };
  const std::vector<Case> cases = {
      {"through an inhabited label", lowered({ints()}, std::nullopt), true, true, Emptiness::Inhabited},
      {"through the else-label", automaton({{false, {{shared(ints()), 0}, {nullptr, 1}}}, {true, {{nullptr, 1}}}}),
       true, true, Emptiness::Inhabited},
      {"only through an undecided label",
       automaton({{false, {{undecided, 1}, {nullptr, 2}}}, {true, {{nullptr, 2}}}, {false, {{nullptr, 2}}}}), false,
       true, Emptiness::Undecided},
      {"only through an empty label",
       automaton({{false, {{nothing, 1}, {nullptr, 2}}}, {true, {{nullptr, 2}}}, {false, {{nullptr, 2}}}}), false,
       false, Emptiness::Empty},
      {"no accepting position", automaton({{false, {{nullptr, 0}}}}), false, false, Emptiness::Empty},
      {"no position at all", automaton({}), false, false, Emptiness::Empty},
      {"a target past the list", automaton({{false, {{nullptr, 5}}}}), false, false, Emptiness::Empty},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sequence_is_inhabited(c.a, true), c.strict) << c.what;
    EXPECT_EQ(sequence_is_inhabited(c.a, false), c.loose) << c.what;
    EXPECT_EQ(sequence_domain_emptiness(c.a), c.domain) << c.what;
  }
}

}  // namespace
}  // namespace tessolin::descr::testing

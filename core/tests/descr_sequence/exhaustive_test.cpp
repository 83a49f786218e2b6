// Products, complements and emptiness of sequence and collection domains
// against brute-force membership over every small tuple and set of a few
// scalars.
#include <gtest/gtest.h>

#include "descr/descriptor_order.hpp"
#include "descr/domain_combine.hpp"
#include "descr/emptiness.hpp"
#include "descr/sequence_lowering.hpp"
#include "sequence_test_support.hpp"

namespace tessolin::descr::testing {
namespace {

std::vector<SharedDescriptor> element_descriptors() {
  return {shared(ints()),
          shared(strs()),
          shared(bools()),
          shared(int_value(1)),
          shared(bool_value(true)),
          shared(str_value("a")),
          shared(join(ints(), strs())),
          shared(join(bool_value(false), int_value(2))),
          every_value()};
}

// The tuples with at most two prefix items and an optional tail, over a few
// of the element descriptors.
std::vector<SequenceAutomaton> small_tuple_automata() {
  const std::vector<SharedDescriptor> e = element_descriptors();
  const std::vector<SharedDescriptor> items = {e[0], e[1], e[6], e[8]};
  std::vector<std::vector<SharedDescriptor>> prefixes = {{}};
  for (const SharedDescriptor& x : items) {
    prefixes.push_back({x});
    for (const SharedDescriptor& y : items) prefixes.push_back({x, y});
  }
  std::vector<std::optional<SharedDescriptor>> tails = {std::nullopt, e[0], e[3], e[8]};
  std::vector<SequenceAutomaton> out;
  for (const auto& prefix : prefixes)
    for (const auto& tail : tails) {
      Outcome<Descriptor> d = sequence_descriptor(prefix, tail, kTuple);
      out.push_back(std::get<SequenceAutomaton>(d->slots[kTuple].lines.at(0).domain));
    }
  return out;
}

std::vector<Value> universe_scalars() {
  return {Value::none(),     Value::boolean(false), Value::boolean(true), Value::integer(1),
          Value::integer(2), Value::str("a"),       Value::str("b")};
}

bool flag(std::optional<bool> m) {
  EXPECT_TRUE(m.has_value());
  return m.value_or(false);
}

TEST(SequenceExhaustive, ProductsAndComplementsAgainstMembership) {
  const std::vector<SequenceAutomaton> automata = small_tuple_automata();
  const std::vector<Value> values = small_sequences(Value::Kind::Tuple, universe_scalars(), 3);
  size_t pair = 0;
  for (size_t i = 0; i < automata.size(); ++i) {
    const SequenceAutomaton& a = automata[i];
    ASSERT_TRUE(sequence_invariant_holds(a));
    SequenceAutomaton flipped = a;
    for (uint8_t& accepting : flipped.accepting) accepting ^= 1;
    for (const Value& v : values)
      ASSERT_NE(flag(sequence_member(a, v.items)), flag(sequence_member(flipped, v.items))) << describe(v);
    for (size_t j = 0; j < automata.size(); ++j) {
      if (++pair % 5 != 0) continue;  // a spread sample of the pairs
      const SequenceAutomaton& b = automata[j];
      Outcome<SequenceAutomaton> met = sequence_product(a, b, CombineMode::Meet);
      Outcome<SequenceAutomaton> joined = sequence_product(a, b, CombineMode::Join);
      ASSERT_TRUE(met && joined);
      ASSERT_TRUE(sequence_invariant_holds(*met) && sequence_invariant_holds(*joined));
      ASSERT_TRUE(sequence_eq(normalize_sequence_automaton(*met), *met));
      bool any_member = false;
      for (const Value& v : values) {
        const bool in_a = flag(sequence_member(a, v.items)), in_b = flag(sequence_member(b, v.items));
        ASSERT_EQ(flag(sequence_member(*met, v.items)), in_a && in_b) << i << " " << j << " " << describe(v);
        ASSERT_EQ(flag(sequence_member(*joined, v.items)), in_a || in_b) << i << " " << j << " " << describe(v);
        any_member = any_member || (in_a && in_b);
      }
      // Every element descriptor here is decided, so the meet is too, and
      // a member of at most three items exists when it is inhabited.
      ASSERT_EQ(sequence_domain_emptiness(*met), any_member ? Emptiness::Inhabited : Emptiness::Empty) << i << " " << j;
    }
  }
}

TEST(CollectionExhaustive, DomainsAgainstMembership) {
  std::vector<CollectionDomain> domains;
  for (const SharedDescriptor& e : element_descriptors()) domains.push_back({{CollectionShape{e, {}}}, 0});
  // Their complements, and some meets and joins of those, grow the list.
  const size_t base = domains.size();
  for (size_t i = 0; i < base; ++i) domains.push_back(complement_collection_domain(domains[i]));
  for (size_t i = 0; i < 2 * base; i += 3)
    for (size_t j = 1; j < 2 * base; j += 4) {
      Outcome<CollectionDomain> m = meet_collection_domains(domains[i], domains[j]);
      ASSERT_TRUE(m);
      domains.push_back(*m);
      Outcome<Domain> u = combine_domains(Domain{domains[i]}, Domain{domains[j]}, CombineMode::Join);
      ASSERT_TRUE(u);
      domains.push_back(std::get<CollectionDomain>(*u));
    }
  const std::vector<Value> sets = small_sets(Value::Kind::Set, universe_scalars());
  for (size_t i = 0; i < domains.size(); ++i) {
    const CollectionDomain& a = domains[i];
    const CollectionDomain outside = complement_collection_domain(a);
    bool any_member = false;
    for (const Value& v : sets) {
      const bool in_a = flag(collection_member(a, v.items));
      ASSERT_NE(flag(collection_member(outside, v.items)), in_a) << i << " " << describe(v);
      any_member = any_member || in_a;
    }
    const Emptiness e = collection_domain_emptiness(a);
    if (e == Emptiness::Empty) {
      EXPECT_FALSE(any_member) << i;
    } else if (e == Emptiness::Inhabited) {
      EXPECT_TRUE(any_member) << i;
    }
    for (size_t j = 0; j < domains.size(); j += 5) {
      Outcome<CollectionDomain> met = meet_collection_domains(a, domains[j]);
      ASSERT_TRUE(met);
      for (const Value& v : sets)
        ASSERT_EQ(flag(collection_member(*met, v.items)),
                  flag(collection_member(a, v.items)) && flag(collection_member(domains[j], v.items)))
            << i << " " << j << " " << describe(v);
    }
  }
}

}  // namespace
}  // namespace tessolin::descr::testing

// The model's constructors and the canonical orders and equalities.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "descr/descriptor_order.hpp"
#include "descr/domain_combine.hpp"
#include "descr/emptiness.hpp"
#include "knot_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

TEST(DescriptorModel, KindTops) {
  const Descriptor all = anything_descriptor();
  for (size_t i = 0; i < kSlotCount; ++i) {
    const KindSlot& slot = all.slots[i];
    EXPECT_EQ(slot.negated, 0);
    ASSERT_EQ(slot.lines.size(), 1u) << "slot " << i;
    const Line& top = slot.lines[0];
    EXPECT_EQ(top.clauses_negated, 0);
    ASSERT_EQ(top.clauses.size(), 1u);
    EXPECT_TRUE(top.clauses[0].unrestricted());
    EXPECT_TRUE(line_eq(top, kind_top_line(slot_code(i))));
    EXPECT_EQ(descriptor_emptiness(slot_descriptor(slot_code(i), {top})), Emptiness::Inhabited) << "slot " << i;
  }
  EXPECT_TRUE(domain_eq(all.slots[kOtherSlot].lines[0].domain, top_domain(0))) << "Other's top is None's: Flag 1";
  // The Float top holds NaN and both infinities.
  const Domain float_top = top_domain(3);
  const auto& floats = std::get<FloatSet>(float_top);
  EXPECT_TRUE(float_set_holds(floats, std::numeric_limits<double>::quiet_NaN()));
  EXPECT_TRUE(float_set_holds(floats, -std::numeric_limits<double>::infinity()));
  EXPECT_TRUE(float_set_holds(floats, std::numeric_limits<double>::infinity()));
  // Sequence top: one accepting position, one else-transition to itself.
  const Domain list_top = top_domain(6);
  const auto& list = std::get<SequenceAutomaton>(list_top);
  ASSERT_EQ(list.positions.size(), 1u);
  ASSERT_EQ(list.positions[0].size(), 1u);
  EXPECT_EQ(list.positions[0][0].label, nullptr);
  EXPECT_EQ(list.positions[0][0].target, 0u);
  EXPECT_EQ(list.accepting, std::vector<uint8_t>{1});
  // Record top: one full shape.
  const Domain dict_top = top_domain(10);
  const auto& dict = std::get<RecordDomain>(dict_top);
  ASSERT_EQ(dict.shapes.size(), 1u);
  EXPECT_TRUE(dict.shapes[0].keys.empty());
  EXPECT_TRUE(dict.shapes[0].selectors.empty());
  for (const KeyEntry& e : dict.shapes[0].kind_entries) {
    EXPECT_EQ(e.value, nullptr);
    EXPECT_EQ(e.absent_allowed, 1);
  }
  // The text tops share the process-wide automata.
  EXPECT_EQ(std::get<AutomatonDomain>(top_domain(4)).automaton, build_utf8_automaton());
  EXPECT_EQ(std::get<AutomatonDomain>(top_domain(5)).automaton, any_bytes_automaton());
}

TEST(DescriptorModel, KindTopDescriptorFillsOneSlot) {
  const Descriptor sets = kind_top_descriptor(8);
  for (size_t i = 0; i < kSlotCount; ++i) EXPECT_EQ(sets.slots[i].lines.size(), i == 8 ? 1u : 0u) << "slot " << i;
  const auto& shapes = std::get<CollectionDomain>(sets.slots[8].lines[0].domain);
  ASSERT_EQ(shapes.shapes.size(), 1u);
  EXPECT_EQ(shapes.shapes[0].bound, nullptr);
  EXPECT_TRUE(shapes.shapes[0].not_within.empty());
  EXPECT_EQ(shapes.negated, 0);
  EXPECT_EQ(kind_top_descriptor(kOtherCode).slots[kOtherSlot].lines.size(), 1u);
}

TEST(DescriptorModel, SetSingleLineDropsALineProvedEmpty) {
  Descriptor d = anything_descriptor();
  d.slots[1].negated = 1;
  set_single_line(d, 1, BoolMaskDomain{0});
  EXPECT_TRUE(d.slots[1].lines.empty());
  EXPECT_EQ(d.slots[1].negated, 0);
  set_single_line(d, 1, BoolMaskDomain{2});
  ASSERT_EQ(d.slots[1].lines.size(), 1u);
  EXPECT_TRUE(line_eq(d.slots[1].lines[0], bool_line(2)));
  // An open interval between adjacent floats holds no float.
  set_single_line(d, 3, float_set_from_interval({1.0, 0, std::nextafter(1.0, 2.0), 0}));
  EXPECT_TRUE(d.slots[3].lines.empty());
}

TEST(DescriptorModel, SharedNothingIsOneEmptyObject) {
  const SharedDescriptor a = shared_nothing();
  const SharedDescriptor b = shared_nothing();
  EXPECT_EQ(a, b);
  EXPECT_TRUE(descriptor_eq(*a, Descriptor{}));
  EXPECT_EQ(descriptor_emptiness(*a), Emptiness::Empty);
}

TEST(DescriptorOrder, DomainVariantsInOrder) {
  const std::vector<Domain> in_order{FlagDomain{1}, BoolMaskDomain{0}, integer_set_empty(), float_set_full(),
                                     top_domain(4), top_domain(6),     top_domain(8),       top_domain(10)};
  for (size_t i = 0; i + 1 < in_order.size(); ++i) {
    EXPECT_TRUE(domain_order(in_order[i], in_order[i + 1]) < 0) << i;
    EXPECT_TRUE(domain_order(in_order[i + 1], in_order[i]) > 0) << i;
    EXPECT_FALSE(domain_eq(in_order[i], in_order[i + 1]));
  }
}

TEST(DescriptorOrder, IntegerEqualityIsSemanticWhileTheOrderIsNot) {
  // The evens joined with the odds at modulus 2 against the full set at 1.
  IntegerSet split;
  split.modulus = 2;
  split.residues = {interval_set_full(), interval_set_full()};
  const Domain full = integer_set_full();
  EXPECT_TRUE(domain_eq(split, full));
  EXPECT_TRUE(domain_order(split, full) != 0);
  const Line a = restricted(split, {attribute_clause("x", nullptr, 0)});
  const Line b = restricted(full, {attribute_clause("x", nullptr, 0)});
  EXPECT_TRUE(line_eq(a, b));
  EXPECT_TRUE(descriptor_eq(slot_descriptor(2, {a}), slot_descriptor(2, {b})));
  EXPECT_TRUE(descriptor_order(slot_descriptor(2, {a}), slot_descriptor(2, {b})) != 0);
}

TEST(DescriptorOrder, NestedPartsOrderAbsentFirst) {
  const SharedDescriptor ints = int_values();
  const SharedDescriptor strs = str_values();
  EXPECT_TRUE(optional_descriptor_order(nullptr, ints) < 0);
  EXPECT_TRUE(optional_descriptor_order(ints, int_values()) == 0);
  EXPECT_TRUE(optional_descriptor_eq(ints, int_values()));
  EXPECT_FALSE(optional_descriptor_eq(nullptr, shared_nothing()));
  // Int's slot comes before Str's, so the Str-only descriptor, whose Int
  // slot is empty (a proper prefix), sorts first.
  EXPECT_TRUE(descriptor_order(*strs, *ints) < 0);

  SequenceAutomaton absent{{{SequenceTransition{nullptr, 0}}}, {1}};
  SequenceAutomaton present{{{SequenceTransition{ints, 0}}}, {1}};
  EXPECT_TRUE(sequence_order(absent, present) < 0);
  EXPECT_TRUE(sequence_transition_order({ints, 3}, {int_values(), 4}) < 0) << "equal labels: by target";

  CollectionShape any;
  CollectionShape of_ints{ints, {}};
  CollectionShape escaping{nullptr, {ints}};
  EXPECT_TRUE(collection_shape_order(any, escaping) < 0);
  EXPECT_TRUE(collection_shape_order(escaping, of_ints) < 0);
  EXPECT_TRUE(collection_domain_order(CollectionDomain{{any}, 0}, CollectionDomain{{any}, 1}) < 0);
  EXPECT_TRUE(collection_shape_eq(of_ints, CollectionShape{int_values(), {}}));
}

TEST(DescriptorOrder, ClauseOrder) {
  const SharedDescriptor ints = int_values();
  // Attribute entries first (name bytes, a prefix first; value, absent
  // first; flag), then required class ids, then excluded ones.
  const std::vector<AtomClause> in_order{
      AtomClause{},
      attribute_clause("a", nullptr, 0),
      attribute_clause("a", nullptr, 1),
      attribute_clause("a", ints, 0),
      attribute_clause("ab", nullptr, 0),
      attribute_clause("b", nullptr, 0),
      attribute_clause("\xc3\xa9", nullptr, 0),
  };
  for (size_t i = 0; i + 1 < in_order.size(); ++i) {
    EXPECT_TRUE(clause_order(in_order[i], in_order[i + 1]) < 0) << i;
    EXPECT_FALSE(clause_eq(in_order[i], in_order[i + 1])) << i;
  }
  EXPECT_TRUE(clause_order(classes_clause({class_A()}), classes_clause({class_A(), class_B()})) < 0);
  EXPECT_TRUE(clause_order(classes_clause({class_A(), class_B()}), classes_clause({class_B()})) < 0);
  EXPECT_TRUE(clause_order(classes_clause({}, {class_B()}), classes_clause({class_A()})) < 0);
  // Class entries compare by id alone.
  ClassAnswer other_facts = class_A();
  other_facts.ids.push_back(99);
  EXPECT_TRUE(clause_eq(classes_clause({class_A()}), classes_clause({other_facts})));
  EXPECT_TRUE(clause_eq(attribute_clause("a", ints, 0), attribute_clause("a", int_values(), 0)));
}

TEST(DescriptorOrder, NormalFormDoesNotDependOnInputOrder) {
  const SharedDescriptor ints = int_values();
  std::vector<Line> lines{
      int_range_line(1, 3),
      restricted(integer_set_single(9), {classes_clause({class_I()})}),
      restricted(integer_set_single(4), {classes_clause({class_I()})}),
      restricted(integer_set_full(), {attribute_clause("x", ints, 0)}),
      restricted(integer_set_full(), {classes_clause({class_J()})}, 1),
      int_range_line(7, 8),
      line_from_domain(integer_set_empty()),
      restricted(integer_set_full(), {}),
  };
  Outcome<std::vector<Line>> reference = normalize_lines(lines);
  ASSERT_TRUE(reference);
  ASSERT_EQ(reference->size(), 4u) << "two Lines proved empty, two pairs merged";
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    std::shuffle(lines.begin(), lines.end(), rng);
    Outcome<std::vector<Line>> again = normalize_lines(lines);
    ASSERT_TRUE(again);
    EXPECT_TRUE(descriptor_order(slot_descriptor(2, *reference), slot_descriptor(2, *again)) == 0);
  }
  // Two Lines equal in every field come out once.
  Outcome<std::vector<Line>> twice = normalize_lines({int_range_line(1, 3), int_range_line(1, 3)});
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->size(), 1u);
}

TEST(DomainCombine, SmallVariants) {
  auto combine = [](Domain a, Domain b, CombineMode mode) { return *combine_domains(a, b, mode); };
  EXPECT_TRUE(domain_eq(combine(FlagDomain{0}, FlagDomain{1}, CombineMode::Join), FlagDomain{1}));
  EXPECT_TRUE(domain_eq(combine(FlagDomain{0}, FlagDomain{1}, CombineMode::Meet), FlagDomain{0}));
  EXPECT_TRUE(domain_eq(combine(BoolMaskDomain{1}, BoolMaskDomain{2}, CombineMode::Join), BoolMaskDomain{3}));
  EXPECT_TRUE(domain_eq(combine(BoolMaskDomain{1}, BoolMaskDomain{2}, CombineMode::Meet), BoolMaskDomain{0}));
  for (CombineMode mode : {CombineMode::Join, CombineMode::Meet}) {
    EXPECT_FALSE(combine_domains(FlagDomain{1}, BoolMaskDomain{3}, mode));
    EXPECT_FALSE(combine_domains(*integer_set_multiple_of(4096), *integer_set_multiple_of(3), mode));
  }
  // Evens and odds.
  const IntegerSet evens = *integer_set_multiple_of(2);
  const IntegerSet odds = integer_set_complement(evens);
  EXPECT_TRUE(domain_eq(combine(evens, odds, CombineMode::Join), integer_set_full()));
  EXPECT_TRUE(domain_eq(combine(evens, odds, CombineMode::Meet), integer_set_empty()));
  // The List top joined with itself is itself.
  EXPECT_TRUE(domain_eq(combine(top_domain(6), top_domain(6), CombineMode::Join), top_domain(6)));
}

TEST(LineComplement, TwoLines) {
  // Bool mask 1, unrestricted: C1 is mask 2, C2 the top under the
  // complement of the unrestricted clause, which is no clause.
  auto [c1, c2] = complement_line(bool_line(1), 1);
  EXPECT_TRUE(line_eq(c1, bool_line(2)));
  EXPECT_TRUE(domain_eq(c2.domain, BoolMaskDomain{3}));
  EXPECT_TRUE(c2.clauses.empty());
  EXPECT_EQ(c2.clauses_negated, 0);
  // Two clauses stay negated, not materialised.
  const Line two = restricted(integer_set_single(3), {classes_clause({class_I()}), classes_clause({class_J()})});
  auto [d1, d2] = complement_line(two, 2);
  EXPECT_EQ(d2.clauses_negated, 1);
  EXPECT_EQ(d2.clauses.size(), 2u);
  EXPECT_TRUE(domain_eq(d2.domain, integer_set_full()));
  // The Other kind's top is Flag 1.
  auto [o1, o2] = complement_line(kind_top_line(kOtherCode), kOtherCode);
  EXPECT_TRUE(domain_eq(o1.domain, FlagDomain{0}));
  EXPECT_TRUE(domain_eq(o2.domain, FlagDomain{1}));
}

TEST(LineComplement, SequenceComplementFlipsAcceptingOfACompleteAutomaton) {
  const Line top = kind_top_line(6);
  auto [c1, c2] = complement_line(top, 6);
  const auto& flipped = std::get<SequenceAutomaton>(c1.domain);
  EXPECT_EQ(flipped.accepting, std::vector<uint8_t>{0});
  EXPECT_EQ(flipped.positions.size(), 1u);
  // A position without an else-transition rejects the rest; the complement
  // must accept it, through a dead position that now accepts.
  SequenceAutomaton only_ints{{{SequenceTransition{int_values(), 0}}}, {1}};
  auto [s1, s2] = complement_line(line_from_domain(only_ints), 6);
  const auto& completed = std::get<SequenceAutomaton>(s1.domain);
  ASSERT_EQ(completed.positions.size(), 2u);
  EXPECT_EQ(completed.accepting, (std::vector<uint8_t>{0, 1}));
  ASSERT_EQ(completed.positions[0].size(), 2u);
  EXPECT_EQ(completed.positions[0][1].label, nullptr);
  EXPECT_EQ(completed.positions[0][1].target, 1u);
  // The normal form of no sequence at all, one position without
  // transitions, complements to every sequence.
  SequenceAutomaton none{{{}}, {0}};
  auto [n1, n2] = complement_line(line_from_domain(none), 7);
  const auto& every = std::get<SequenceAutomaton>(n1.domain);
  EXPECT_EQ(every.accepting, (std::vector<uint8_t>{1, 1}));
  EXPECT_EQ(domain_emptiness(n1.domain), Emptiness::Inhabited);
  auto [e1, e2] = complement_line(line_from_domain(SequenceAutomaton{}), 7);
  EXPECT_EQ(std::get<SequenceAutomaton>(e1.domain).accepting, (std::vector<uint8_t>{1, 1}));
}

}  // namespace
}  // namespace tessolin::descr

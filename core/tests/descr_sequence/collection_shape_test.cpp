// Collection shapes: complement of one shape, pairwise meet, compaction,
// domain complement and the inhabitation rule.
#include <gtest/gtest.h>

#include "descr/class_lowering.hpp"
#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "sequence_test_support.hpp"

namespace tessolin::descr::testing {
namespace {

using Shapes = std::vector<CollectionShape>;

CollectionShape shape(OptionalDescriptor bound, std::vector<OptionalDescriptor> not_within = {}) {
  return CollectionShape{std::move(bound), std::move(not_within)};
}

bool same_shapes(const Shapes& a, const Shapes& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!collection_shape_eq(a[i], b[i])) return false;
  return true;
}

struct Elements {
  SharedDescriptor i = shared(ints());
  SharedDescriptor s = shared(strs());
  SharedDescriptor b = shared(bools());
  SharedDescriptor i_or_s = shared(join(ints(), strs()));
  SharedDescriptor one = shared(int_value(1));
  SharedDescriptor two = shared(int_value(2));
  SharedDescriptor truth = shared(bool_value(true));
  SharedDescriptor true_or_1 = shared(join(bool_value(true), int_value(1)));
  SharedDescriptor nothing = shared(meet(ints(), strs()));
};

// A str subclass: its instances lie in slot Str but may define __eq__.
Descriptor str_subclass_instances() {
  ir::ClassAnswer answer;
  answer.class_id = 903;
  answer.ids = {903};
  answer.base_position = 2;
  answer.tag = static_cast<uint8_t>(SlotKind::Str);
  return *class_instances_descriptor(answer);
}

TEST(CollectionShape, ComplementOfOneShape) {
  const Elements e;
  EXPECT_TRUE(same_shapes(complement_collection_shape(shape(e.i_or_s, {e.i, e.s})),
                          {shape(nullptr, {e.i_or_s}), shape(e.i), shape(e.s)}));
  EXPECT_TRUE(same_shapes(complement_collection_shape(shape(nullptr)), {shape(nullptr, {nullptr})}));
}

TEST(CollectionShape, MeetOfShapeLists) {
  const Elements e;
  {
    FuelWindow none(0);
    Outcome<Shapes> with_empty = meet_collection_shapes({shape(e.i)}, {});
    ASSERT_TRUE(with_empty);  // no pair, no fuel
    EXPECT_TRUE(with_empty->empty());
    EXPECT_FALSE(meet_collection_shapes({shape(e.i)}, {shape(e.s)}));
  }
  // set[int] met with set[str]: the bound is empty, and the empty set stays.
  Outcome<Shapes> met = meet_collection_shapes({shape(e.i)}, {shape(e.s)});
  ASSERT_TRUE(met);
  ASSERT_EQ(met->size(), 1u);
  EXPECT_EQ(descriptor_emptiness(*(*met)[0].bound), Emptiness::Empty);
  EXPECT_TRUE((*met)[0].not_within.empty());
  EXPECT_EQ(collection_domain_emptiness({*met, 0}), Emptiness::Inhabited);
  // Entries are concatenated, then met with the bound.
  met = meet_collection_shapes({shape(e.i_or_s, {e.s})}, {shape(nullptr, {e.i})});
  ASSERT_TRUE(met);
  EXPECT_TRUE(same_shapes(*met, {shape(e.i_or_s, {e.s, e.i})}));
}

TEST(CollectionShape, Compaction) {
  const Elements e;
  struct Case {
    const char* what;
    Shapes input;
    Shapes expected;
  };
  const std::vector<Case> cases = {
      {"an absent entry admits no set", {shape(e.i, {nullptr})}, {}},
      {"an entry holding the bound admits no set", {shape(e.i, {e.i_or_s})}, {}},
      {"entries are met with the bound", {shape(e.i_or_s, {e.b})}, {shape(e.i_or_s, {e.nothing})}},
      {"an entry inside another is dropped", {shape(nullptr, {e.i, e.i_or_s})}, {shape(nullptr, {e.i_or_s})}},
      {"of two equal entries one stays", {shape(nullptr, {e.s, shared(strs())})}, {shape(nullptr, {e.s})}},
      {"shapes equal after compaction leave one",
       {shape(e.i_or_s, {e.s, e.i}), shape(e.i_or_s, {e.one, e.i, e.s})},
       {shape(e.i_or_s, {e.s, e.i})}},
      {"shapes sorted, the absent bound first",
       {shape(e.i), shape(nullptr, {e.s})},
       {shape(nullptr, {e.s}), shape(e.i)}},
  };
  for (const Case& c : cases) {
    Outcome<Shapes> got = compact_collection_shapes(c.input);
    ASSERT_TRUE(got) << c.what;
    EXPECT_TRUE(same_shapes(*got, c.expected)) << c.what;
  }
}

TEST(CollectionShape, AtMost256ShapesAfterCompaction) {
  Shapes distinct;
  for (int64_t v = 0; v < 256; ++v) distinct.push_back(shape(shared(int_value(v))));
  EXPECT_TRUE(compact_collection_shapes(distinct));
  distinct.push_back(shape(shared(int_value(256))));
  EXPECT_FALSE(compact_collection_shapes(distinct));
}

TEST(CollectionShape, DomainComplement) {
  const Elements e;
  // The full list's complement is materialised: nothing.
  CollectionDomain none = complement_collection_domain({{shape(nullptr)}, 0});
  EXPECT_EQ(none.negated, 0);
  EXPECT_TRUE(none.shapes.empty());
  CollectionDomain all = complement_collection_domain({{}, 0});
  EXPECT_EQ(all.negated, 0);
  EXPECT_TRUE(same_shapes(all.shapes, {shape(nullptr)}));
  // Outside set[int]: sets with an element that is not an int.
  CollectionDomain outside = complement_collection_domain({{shape(e.i)}, 0});
  EXPECT_EQ(outside.negated, 0);
  EXPECT_TRUE(same_shapes(outside.shapes, {shape(nullptr, {e.i})}));
  // Two shapes stay lazily negated; a negated domain is made positive.
  CollectionDomain lazy = complement_collection_domain({{shape(e.i), shape(e.s)}, 0});
  EXPECT_EQ(lazy.negated, 1);
  EXPECT_TRUE(same_shapes(lazy.shapes, {shape(e.i), shape(e.s)}));
  CollectionDomain back = complement_collection_domain(lazy);
  EXPECT_EQ(back.negated, 0);
  Outcome<Shapes> positive = materialize_collection_negation(lazy);
  ASSERT_TRUE(positive);
  for (const Value& v : small_sets(Value::Kind::Set, small_scalars()))
    EXPECT_EQ(collection_member({*positive, 0}, v.items), collection_member(lazy, v.items)) << describe(v);
}

TEST(CollectionShape, Inhabitation) {
  const Elements e;
  const SharedDescriptor none_int_str = shared(join(nones(), join(ints(), strs())));
  const SharedDescriptor none_or_i = shared(join(nones(), ints()));
  const SharedDescriptor none_or_s = shared(join(nones(), strs()));
  const SharedDescriptor bool_or_i = shared(join(bools(), ints()));
  const SharedDescriptor str_subclass = shared(str_subclass_instances());
  const SharedDescriptor i_or_str_subclass = shared(join(ints(), str_subclass_instances()));
  const SharedDescriptor tuples = shared(kind_top_descriptor(kTuple));
  const SharedDescriptor i_or_tuple = shared(join(ints(), kind_top_descriptor(kTuple)));
  struct Case {
    const char* what;
    CollectionDomain d;
    Emptiness expected;
  };
  const std::vector<Case> cases = {
      {"no shape", {{}, 0}, Emptiness::Empty},
      {"no entry: the empty set, even with an empty bound", {{shape(e.nothing)}, 0}, Emptiness::Inhabited},
      {"an absent entry", {{shape(e.i, {nullptr})}, 0}, Emptiness::Empty},
      {"the bound inside the entry", {{shape(e.i, {e.i_or_s})}, 0}, Emptiness::Empty},
      {"an element of the bound escapes the entry", {{shape(e.i_or_s, {e.i})}, 0}, Emptiness::Inhabited},
      {"the bound undecided against the entry", {{shape(undecided_label(), {e.nothing})}, 0}, Emptiness::Undecided},
      {"an undecided shape, then an inhabited one",
       {{shape(undecided_label(), {e.nothing}), shape(e.s)}, 0},
       Emptiness::Inhabited},
      {"one element escapes both entries", {{shape(e.i, {e.one, e.two})}, 0}, Emptiness::Inhabited},
      // {True, 1} == {True}: escaping {True} needs 1 and escaping {1} needs
      // True, and no set holds both.
      {"each entry escaped only by an element equal to the other's",
       {{shape(e.true_or_1, {e.truth, e.one})}, 0},
       Emptiness::Undecided},
      // Witnesses of different groups never merge: {1, "a"}.
      {"two entries escaped by an int and a str", {{shape(e.i_or_s, {e.i, e.s})}, 0}, Emptiness::Inhabited},
      {"the str witness escapes three entries, the int one the fourth",
       {{shape(e.i_or_s, {e.i, e.one, e.s, e.two})}, 0},
       Emptiness::Inhabited},
      {"each entry escaped by one of three groups: None, int, str",
       {{shape(none_int_str, {none_or_i, none_or_s, e.i_or_s})}, 0},
       Emptiness::Inhabited},
      {"an entry holding the bound, whatever the groups", {{shape(e.i_or_s, {e.s, e.i_or_s})}, 0}, Emptiness::Empty},
      // {True, 2} is a member, but True and 2 share a group.
      {"two entries escaped only within the numbers", {{shape(bool_or_i, {e.b, e.i})}, 0}, Emptiness::Undecided},
      {"a witness that must be a str subclass instance",
       {{shape(i_or_str_subclass, {e.i, str_subclass})}, 0},
       Emptiness::Undecided},
      {"a witness that must be a tuple", {{shape(i_or_tuple, {e.i, tuples})}, 0}, Emptiness::Undecided},
      {"more entries than the search takes",
       {{shape(e.i_or_s, {e.i, e.one, e.s, e.two, e.truth})}, 0},
       Emptiness::Undecided},
      {"negated: every set outside set[int]", {{shape(e.i)}, 1}, Emptiness::Inhabited},
      {"negated full list", {{shape(nullptr)}, 1}, Emptiness::Empty},
  };
  for (const Case& c : cases) EXPECT_EQ(collection_domain_emptiness(c.d), c.expected) << c.what;
  FuelWindow none(0);
  EXPECT_EQ(collection_domain_emptiness({{shape(e.i_or_s, {e.i, e.s})}, 0}), Emptiness::Undecided);
}

}  // namespace
}  // namespace tessolin::descr::testing

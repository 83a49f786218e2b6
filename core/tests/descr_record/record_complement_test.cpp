// Complement of record shapes and domains.
#include "descr/fuel.hpp"
#include "record_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

TEST(ShapeComplement, FullShapeGivesNineUnmeetableSelectors) {
  std::vector<RecordShape> c = complement_record_shape(full_record_shape());
  ASSERT_EQ(c.size(), key_kind::kCount);
  for (uint64_t i = 0; i < key_kind::kCount; ++i) {
    ASSERT_EQ(c[i].selectors.size(), 1u);
    EXPECT_EQ(c[i].selectors[0].kind_index, i);
    EXPECT_EQ(atoms_of(c[i].selectors[0].descriptor), 0u);
    EXPECT_TRUE(c[i].selectors[0].excluded.empty());
    EXPECT_EQ(record_shape_emptiness(c[i]), Emptiness::Empty);
  }
  RecordDomain full{{full_record_shape()}, 0};
  RecordDomain none = complement_record_domain(full);
  EXPECT_EQ(none.negated, 0);
  EXPECT_TRUE(none.shapes.empty());
}

TEST(ShapeComplement, ClosedRecordOfOneRequiredKey) {
  std::vector<RecordShape> c = complement_record_shape(Closed({{StrK("a"), Req(V(kNoneAtom))}}));
  ASSERT_EQ(c.size(), 1 + key_kind::kCount);
  // "a" missing or outside the value.
  ASSERT_EQ(c[0].keys.size(), 1u);
  const KeyEntry& a = c[0].keys.at(StrK("a"));
  EXPECT_EQ(atoms_of(a.value), kEveryAtom & ~kNoneAtom);
  EXPECT_EQ(a.absent_allowed, 1);
  EXPECT_TRUE(c[0].selectors.empty());
  // Some key other than "a", of each kind in turn, with any value.
  for (uint64_t i = 0; i < key_kind::kCount; ++i) {
    const RecordShape& s = c[1 + i];
    ASSERT_EQ(s.selectors.size(), 1u);
    EXPECT_EQ(s.selectors[0].kind_index, i);
    EXPECT_EQ(atoms_of(s.selectors[0].descriptor), kEveryAtom);
    EXPECT_EQ(s.selectors[0].excluded, std::set<LiteralKey>{StrK("a")});
    EXPECT_EQ(s.keys.at(StrK("a")).value, nullptr);
  }
}

TEST(ShapeComplement, SelectorBreaksWhenNoWitnessIsLeft) {
  // Some bool key other than True holding None; its complement: every bool
  // key but True (listed False included) holds something else.
  RecordShape s = Closed({{BoolK(false), Opt(nullptr)}, {StrK("a"), Opt(nullptr)}},
                         {Sel(key_kind::kBool, V(kNoneAtom), {BoolK(true), StrK("z")})});
  std::vector<RecordShape> c = complement_record_shape(s);
  const RecordShape& broken = c.back();
  EXPECT_TRUE(broken.selectors.empty());
  EXPECT_EQ(atoms_of(broken.kind_entries[key_kind::kBool].value), kEveryAtom & ~kNoneAtom);
  EXPECT_EQ(atoms_of(broken.keys.at(BoolK(false)).value), kEveryAtom & ~kNoneAtom);
  EXPECT_EQ(broken.keys.at(BoolK(true)).value, nullptr);  // excluded: stays free
  EXPECT_EQ(broken.keys.at(StrK("a")).value, nullptr);
  EXPECT_FALSE(broken.keys.contains(StrK("z")));  // excluded, but of another kind
}

// Every dict lies in exactly one of a shape and its complement.
TEST(ShapeComplement, PartitionsTheDicts) {
  ShapeSource source(17);
  for (int round = 0; round < 150; ++round) {
    RecordShape s = source.shape();
    std::vector<RecordShape> c = complement_record_shape(s);
    EXPECT_EQ(c.size(), s.keys.size() + key_kind::kCount + s.selectors.size());
    AtomShape inside = atom_shape(s);
    std::vector<AtomShape> outside = atom_shapes(c);
    std::vector<TestKey> universe = witness_universe(s);
    for (int i = 0; i < 40; ++i) {
      TestDict d = source.dict(universe);
      EXPECT_NE(member(inside, d), member_of_any(outside, d)) << round << " " << i;
    }
  }
}

TEST(DomainComplement, EagerForOneShapeLazyForMore) {
  RecordShape a = Closed({{StrK("a"), Req(V(kNoneAtom))}});
  RecordShape b = KindDict(key_kind::kStr, V(kTrueAtom));
  RecordDomain one = complement_record_domain(RecordDomain{{a}, 0});
  EXPECT_EQ(one.negated, 0);
  EXPECT_FALSE(one.shapes.empty());
  RecordDomain two = complement_record_domain(RecordDomain{{a, b}, 0});
  EXPECT_EQ(two.negated, 1);
  EXPECT_TRUE(record_domain_eq(two, RecordDomain{{a, b}, 1}));
  // Back again: a negated domain of two shapes flips to the positive copy.
  EXPECT_TRUE(record_domain_eq(complement_record_domain(two), RecordDomain{{a, b}, 0}));
  // No shapes: every dict.
  RecordDomain every = complement_record_domain(RecordDomain{});
  ASSERT_EQ(every.shapes.size(), 1u);
  EXPECT_TRUE(record_shape_eq(every.shapes[0], full_record_shape()));
}

TEST(DomainComplement, KeepsTheNegatedFormWhenItCannotMaterialise) {
  set_fuel(0);
  RecordDomain d = complement_record_domain(RecordDomain{{Closed({{StrK("a"), Req(V(kNoneAtom))}})}, 0});
  set_fuel(kUnlimitedFuel);
  EXPECT_EQ(d.negated, 1);
  EXPECT_EQ(d.shapes.size(), 1u);
}

}  // namespace
}  // namespace tessolin::descr

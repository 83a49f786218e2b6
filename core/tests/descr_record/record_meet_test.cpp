// Meet of record shape lists and of record domains.
#include "descr/fuel.hpp"
#include "record_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

TEST(ShapeMeet, WithTheEmptyListSpendsNothing) {
  set_fuel(0);
  std::vector<RecordShape> one{Closed()};
  Outcome<std::vector<RecordShape>> m = meet_record_shapes(one, {});
  set_fuel(kUnlimitedFuel);
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->empty());
}

TEST(ShapeMeet, GivesUpWithoutFuel) {
  set_fuel(0);
  Outcome<std::vector<RecordShape>> m = meet_record_shapes({Closed()}, {full_record_shape()});
  set_fuel(kUnlimitedFuel);
  EXPECT_FALSE(m);
}

TEST(ShapeMeet, WithTheFullShapeSortsAndDedupesSelectors) {
  KeySelector x = Sel(key_kind::kStr, V(kNoneAtom));
  KeySelector y = Sel(key_kind::kNone, nullptr);
  RecordShape s = KindDict(key_kind::kStr, nullptr);
  s.kind_entries[key_kind::kNone] = Opt(nullptr);
  s.selectors = {x, y, x};
  Outcome<std::vector<RecordShape>> m = meet_record_shapes({s}, {full_record_shape()});
  ASSERT_TRUE(m);
  ASSERT_EQ(m->size(), 1u);
  const std::vector<KeySelector>& sel = (*m)[0].selectors;
  ASSERT_EQ(sel.size(), 2u);
  EXPECT_EQ(sel[0].kind_index, key_kind::kNone);
  EXPECT_EQ(sel[1].kind_index, key_kind::kStr);
}

TEST(ShapeMeet, KeyListedOnOneSideMeetsTheOtherSidesKindEntry) {
  RecordShape a = Closed({{StrK("a"), Req(V(kNoneAtom | kTrueAtom))}});
  RecordShape b = KindDict(key_kind::kStr, V(kTrueAtom | kObjectAtom));
  b.keys[BoolK(true)] = Opt(V(kNoneAtom));
  a.kind_entries[key_kind::kBool] = Opt(V(kNoneAtom | kObjectAtom));
  a.kind_entries[key_kind::kInt] = Opt(V(kObjectAtom));
  b.keys[IntK(1)] = Opt(V(kEveryAtom));
  Outcome<std::vector<RecordShape>> m = meet_record_shapes({a}, {b});
  ASSERT_TRUE(m);
  ASSERT_EQ(m->size(), 1u);
  const RecordShape& s = (*m)[0];
  EXPECT_EQ(atoms_of(s.keys.at(StrK("a")).value), kTrueAtom);
  EXPECT_EQ(s.keys.at(StrK("a")).absent_allowed, 0);
  // True and 1 stay two keys: aliasing is the emptiness test's business.
  EXPECT_EQ(atoms_of(s.keys.at(BoolK(true)).value), kNoneAtom);
  EXPECT_EQ(atoms_of(s.keys.at(IntK(1)).value), kObjectAtom);
  EXPECT_EQ(atoms_of(s.kind_entries[key_kind::kStr].value), 0u);
}

// A dict is in the meet exactly when it is in both lists.
TEST(ShapeMeet, AgreesWithMembership) {
  ShapeSource source(23);
  for (int round = 0; round < 120; ++round) {
    std::vector<RecordShape> a{source.shape()};
    std::vector<RecordShape> b{source.shape(), source.shape()};
    if (source.chance(2)) a.push_back(source.shape());
    Outcome<std::vector<RecordShape>> m = meet_record_shapes(a, b);
    ASSERT_TRUE(m);
    std::vector<AtomShape> left = atom_shapes(a), right = atom_shapes(b), met = atom_shapes(*m);
    std::vector<const RecordShape*> all;
    for (const auto* list : {&a, &b}) {
      for (const RecordShape& s : *list) all.push_back(&s);
    }
    std::vector<TestKey> universe = joint_universe(all);
    for (int i = 0; i < 40; ++i) {
      TestDict d = source.dict(universe);
      EXPECT_EQ(member_of_any(met, d), member_of_any(left, d) && member_of_any(right, d)) << round << " " << i;
    }
  }
}

// Negated operands are folded in as meets with each shape's complement.
TEST(DomainMeet, AgreesWithMembershipAcrossNegation) {
  ShapeSource source(29);
  int decided = 0;
  for (int round = 0; round < 45; ++round) {
    RecordDomain a{{source.shape()}, static_cast<uint8_t>(source.chance(2))};
    RecordDomain b{{source.shape(), source.shape()}, static_cast<uint8_t>(source.chance(2))};
    Outcome<RecordDomain> m = meet_record_domains(a, b);
    if (!m) continue;  // more than 256 shapes
    ++decided;
    EXPECT_EQ(m->negated, 0);
    std::vector<AtomShape> left = atom_shapes(a.shapes), right = atom_shapes(b.shapes), met = atom_shapes(m->shapes);
    std::vector<TestKey> universe = joint_universe({&a.shapes[0], &b.shapes[0], &b.shapes[1]});
    for (int i = 0; i < 40; ++i) {
      TestDict d = source.dict(universe);
      bool in_a = member_of_any(left, d) != (a.negated == 1);
      bool in_b = member_of_any(right, d) != (b.negated == 1);
      EXPECT_EQ(member_of_any(met, d), in_a && in_b) << round << " " << i;
    }
  }
  EXPECT_GT(decided, 30);
}

TEST(DomainMeet, BothNegatedStartFromEveryDict) {
  RecordDomain a{{KindDict(key_kind::kStr, nullptr)}, 1};   // some key that is not a str
  RecordDomain b{{KindDict(key_kind::kNone, nullptr)}, 1};  // some key that is not None
  Outcome<RecordDomain> m = meet_record_domains(a, b);
  ASSERT_TRUE(m);
  EXPECT_EQ(record_domain_emptiness(*m), Emptiness::Inhabited);
  EXPECT_EQ(record_domain_emptiness(a), Emptiness::Inhabited);
  RecordDomain every{{}, 1};
  Outcome<RecordDomain> same = meet_record_domains(every, RecordDomain{{Closed()}, 0});
  ASSERT_TRUE(same);
  ASSERT_EQ(same->shapes.size(), 1u);
  EXPECT_TRUE(record_shape_eq(same->shapes[0], Closed()));
}

}  // namespace
}  // namespace tessolin::descr

// Normal form of record shape lists.
#include "record_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

TEST(ShapeNormalize, DropsOptionalKeysThatRestateTheirKindEntry) {
  RecordShape with = KindDict(key_kind::kStr, V(kNoneAtom));
  with.keys[StrK("a")] = Opt(V(kNoneAtom));
  with.keys[StrK("b")] = Req(V(kNoneAtom));  // required: never redundant
  with.keys[IntK(4)] = Opt(V(0));            // restates the closed int kind
  RecordShape without = KindDict(key_kind::kStr, V(kNoneAtom));
  without.keys[StrK("b")] = Req(V(kNoneAtom));
  Outcome<std::vector<RecordShape>> a = normalize_record_shapes({with});
  Outcome<std::vector<RecordShape>> b = normalize_record_shapes({without});
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->size(), 1u);
  EXPECT_TRUE(record_shape_eq((*a)[0], (*b)[0]));
  EXPECT_EQ((*a)[0].keys.size(), 1u);
}

TEST(ShapeNormalize, DropsEmptyShapesSortsAndDedupes) {
  RecordShape x = Closed({{StrK("b"), Req(nullptr)}});
  RecordShape y = Closed({{StrK("a"), Req(nullptr)}});
  RecordShape empty = Closed({{StrK("a"), Req(V(0))}});
  Outcome<std::vector<RecordShape>> n = normalize_record_shapes({x, empty, y, x, y});
  ASSERT_TRUE(n);
  ASSERT_EQ(n->size(), 2u);
  EXPECT_TRUE(record_shape_eq((*n)[0], y));
  EXPECT_TRUE(record_shape_eq((*n)[1], x));
  Outcome<std::vector<RecordShape>> none = normalize_record_shapes({empty, empty});
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

TEST(ShapeNormalize, MoreThan256ShapesGiveUp) {
  std::vector<RecordShape> shapes;
  for (int i = 0; i < 257; ++i) shapes.push_back(Closed({{IntK(i), Req(nullptr)}}));
  EXPECT_FALSE(normalize_record_shapes(shapes));
  shapes.pop_back();
  shapes.push_back(shapes.front());  // a repeat is not counted
  Outcome<std::vector<RecordShape>> kept = normalize_record_shapes(shapes);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->size(), 256u);
}

// Normalisation keeps every member and admits no new one.
TEST(ShapeNormalize, KeepsTheSameDicts) {
  ShapeSource source(31);
  for (int round = 0; round < 150; ++round) {
    std::vector<RecordShape> list{source.shape(), source.shape(), source.shape()};
    list.push_back(list[0]);
    Outcome<std::vector<RecordShape>> n = normalize_record_shapes(list);
    ASSERT_TRUE(n);
    for (size_t i = 1; i < n->size(); ++i) EXPECT_TRUE(record_shape_order((*n)[i - 1], (*n)[i]) < 0);
    std::vector<AtomShape> before = atom_shapes(list), after = atom_shapes(*n);
    std::vector<TestKey> universe = joint_universe({&list[0], &list[1], &list[2]});
    for (int i = 0; i < 40; ++i) {
      TestDict d = source.dict(universe);
      EXPECT_EQ(member_of_any(before, d), member_of_any(after, d)) << round << " " << i;
    }
  }
}

}  // namespace
}  // namespace tessolin::descr

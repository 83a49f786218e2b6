// Keys, aliases, look-ups and the shape order.
#include "record_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

TEST(LiteralKeyOrder, ByVariantThenPayload) {
  // Sorted: None, False, True, ints by signed value, texts by bytes (a
  // prefix first) then str before bytes.
  const std::vector<LiteralKey> sorted = {NoneK(),    BoolK(false), BoolK(true),     IntK(-5),  IntK(0),
                                          IntK(1),    StrK(""),     BytesK(""),      StrK("a"), BytesK("a"),
                                          StrK("ab"), StrK("b"),    StrK("\xc3\xa9")};
  for (size_t i = 0; i + 1 < sorted.size(); ++i) EXPECT_LT(sorted[i], sorted[i + 1]) << i;
  EXPECT_NE(LiteralKey{BoolK(true)}, LiteralKey{IntK(1)});
}

TEST(LiteralKey, KindsAndAliases) {
  EXPECT_EQ(key_kind_of(NoneK()), key_kind::kNone);
  EXPECT_EQ(key_kind_of(BoolK(true)), key_kind::kBool);
  EXPECT_EQ(key_kind_of(IntK(3)), key_kind::kInt);
  EXPECT_EQ(key_kind_of(StrK("a")), key_kind::kStr);
  EXPECT_EQ(key_kind_of(BytesK("a")), key_kind::kBytes);
  EXPECT_EQ(aliased_key(BoolK(true)), std::optional<LiteralKey>(IntK(1)));
  EXPECT_EQ(aliased_key(BoolK(false)), std::optional<LiteralKey>(IntK(0)));
  EXPECT_EQ(aliased_key(IntK(0)), std::optional<LiteralKey>(BoolK(false)));
  EXPECT_EQ(aliased_key(IntK(1)), std::optional<LiteralKey>(BoolK(true)));
  EXPECT_EQ(aliased_key(IntK(2)), std::nullopt);
  EXPECT_EQ(aliased_key(StrK("1")), std::nullopt);
  EXPECT_EQ(aliased_key(NoneK()), std::nullopt);
}

TEST(LiteralKey, KindOfCode) {
  const std::pair<SlotKind, std::optional<uint64_t>> table[] = {
      {SlotKind::None, key_kind::kNone}, {SlotKind::Bool, key_kind::kBool},
      {SlotKind::Int, key_kind::kInt},   {SlotKind::Float, key_kind::kFloat},
      {SlotKind::Str, key_kind::kStr},   {SlotKind::Bytes, key_kind::kBytes},
      {SlotKind::List, std::nullopt},    {SlotKind::Tuple, key_kind::kTuple},
      {SlotKind::Set, std::nullopt},     {SlotKind::FrozenSet, key_kind::kFrozenSet},
      {SlotKind::Dict, std::nullopt},    {SlotKind::Unknown, key_kind::kOther},
  };
  for (const auto& [kind, index] : table) EXPECT_EQ(key_kind_of_code(static_cast<uint8_t>(kind)), index);
}

TEST(ShapeLookups, ListedKeysThenKindEntries) {
  RecordShape s = Closed({{BoolK(true), Req(V(kNoneAtom))}});
  s.kind_entries[key_kind::kBool] = Opt(V(kObjectAtom));
  s.kind_entries[key_kind::kOther] = Opt(nullptr);
  EXPECT_EQ(atoms_of(shape_key_value(s, BoolK(true)).value), kNoneAtom);
  EXPECT_EQ(shape_key_value(s, BoolK(true)).absent_allowed, 0);
  EXPECT_EQ(atoms_of(shape_key_value(s, BoolK(false)).value), kObjectAtom);
  EXPECT_EQ(atoms_of(shape_key_value(s, IntK(1)).value), 0u);
  EXPECT_EQ(atoms_of(shape_slot_value(s, static_cast<uint8_t>(SlotKind::Bool)).value), kObjectAtom);
  // No listed key is of kind Other or a kind without an entry.
  for (SlotKind kind : {SlotKind::Unknown, SlotKind::List, SlotKind::Dict}) {
    KeyEntry e = shape_slot_value(s, static_cast<uint8_t>(kind));
    EXPECT_EQ(e.value, shared_nothing());
    EXPECT_EQ(e.absent_allowed, 1);
  }
}

TEST(ShapeLookups, OpenKeysKeepOnlyTheKeyList) {
  RecordShape s = Closed({{StrK("a"), Req(V(kNoneAtom))}, {IntK(3), Opt(V(0))}}, {Sel(key_kind::kStr, nullptr)});
  RecordShape open = shape_with_open_keys(s);
  ASSERT_EQ(open.keys.size(), 2u);
  for (const auto& [key, entry] : open.keys) {
    EXPECT_EQ(entry.value, nullptr);
    EXPECT_EQ(entry.absent_allowed, 1);
  }
  EXPECT_TRUE(open.selectors.empty());
  for (const KeyEntry& e : open.kind_entries) EXPECT_EQ(e.value, nullptr);
  EXPECT_TRUE(record_shape_eq(shape_with_open_keys(Closed()), full_record_shape()));
}

TEST(ShapeOrder, FieldsInDeclarationOrder) {
  // Fewer keys first when one key list is a prefix of the other; then the
  // values (every value before any present one); then kind entries; then
  // selectors.
  const RecordShape sorted[] = {
      Closed({{StrK("a"), Opt(nullptr)}}),
      Closed({{StrK("a"), Opt(V(kNoneAtom))}}),
      Closed({{StrK("a"), Opt(V(kNoneAtom))}, {StrK("b"), Opt(nullptr)}}),
      Closed({{StrK("b"), Opt(nullptr)}}),
  };
  for (size_t i = 0; i + 1 < std::size(sorted); ++i) EXPECT_TRUE(record_shape_order(sorted[i], sorted[i + 1]) < 0) << i;
  RecordShape with_selector = Closed({}, {Sel(key_kind::kStr, nullptr)});
  EXPECT_TRUE(record_shape_order(Closed(), with_selector) < 0);
  EXPECT_TRUE(record_shape_order(full_record_shape(), Closed()) < 0);
}

TEST(ShapeOrder, EqualValuesInSeparateObjectsAreEqual) {
  RecordShape a = Closed({{StrK("a"), Req(V(kTrueAtom))}}, {Sel(key_kind::kBool, V(kNoneAtom), {BoolK(true)})});
  RecordShape b = Closed({{StrK("a"), Req(V(kTrueAtom))}}, {Sel(key_kind::kBool, V(kNoneAtom), {BoolK(true)})});
  EXPECT_TRUE(record_shape_eq(a, b));
  EXPECT_TRUE(record_shape_order(a, b) == 0);
  b.selectors[0].excluded.insert(BoolK(false));
  EXPECT_FALSE(record_shape_eq(a, b));
  EXPECT_TRUE(record_shape_order(b, a) < 0);  // {False, True} before {True}
  EXPECT_TRUE(record_domain_eq(RecordDomain{{a}, 0}, RecordDomain{{a}, 0}));
  EXPECT_FALSE(record_domain_eq(RecordDomain{{a}, 0}, RecordDomain{{a}, 1}));
}

}  // namespace
}  // namespace tessolin::descr

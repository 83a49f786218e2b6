// Lowering of Record nodes through a scripted oracle.
#include "descr/fuel.hpp"
#include "record_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;
using namespace ir::testing;
using ir::SchemaNode;

// Pool indices of the literals the oracle knows.
enum Pool : uint64_t { kX, kY, kA, kTrue, kOne, kZero, kNoneLit, kBytesA, kHalf, kUnknown };

class RecordLowering : public ::testing::Test {
 protected:
  RecordLowering() {
    oracle.set_str(kX, "x").set_str(kY, "y").set_str(kA, "a").set_bool(kTrue, true).set_int(kOne, 1);
    oracle.set_int(kZero, 0).set(kNoneLit, LiteralValue::none()).set_bytes(kBytesA, "a").set_float(kHalf, 1.5);
  }

  Outcome<Descriptor> lower(const SchemaNode& node) {
    uint32_t allowance = kLoweringAllowance;
    return lower_record_node(node, oracle, allowance, kLoweringDepth - 1);
  }

  // The one shape of a lowered record.
  RecordShape shape(const SchemaNode& node) {
    Outcome<Descriptor> d = lower(node);
    EXPECT_TRUE(d);
    if (!d) return {};
    for (size_t i = 0; i < kSlotCount; ++i) {
      if (i == static_cast<size_t>(SlotKind::Dict)) continue;
      EXPECT_TRUE(d->slots[i].lines.empty()) << i;
    }
    RecordDomain dom = dict_domain(*d);
    EXPECT_EQ(dom.shapes.size(), 1u);
    return dom.shapes.empty() ? RecordShape{} : dom.shapes[0];
  }

  static std::vector<unsigned> kinds(const RecordShape& s) {
    std::vector<unsigned> out;
    for (const KeyEntry& e : s.kind_entries) {
      EXPECT_EQ(e.absent_allowed, 1);
      out.push_back(atoms_of(e.value));
    }
    return out;
  }

  static std::vector<unsigned> only(uint64_t index, unsigned atoms) {
    std::vector<unsigned> out(key_kind::kCount, 0);
    out[index] = atoms;
    return out;
  }

  TableOracle oracle;
};

constexpr unsigned kNone = kNoneAtom;
constexpr unsigned kBools = kFalseAtom | kTrueAtom;

TEST_F(RecordLowering, KindClausesFillKindEntries) {
  struct Case {
    const char* name;
    SchemaNode key;
    std::vector<unsigned> expected;
  };
  std::vector<unsigned> every(key_kind::kCount, kNone);
  std::vector<unsigned> ints = only(key_kind::kInt, kNone);
  ints[key_kind::kBool] = kNone;
  const Case table[] = {
      {"closed record", Nothing(), only(0, 0)},
      {"None keys", NoneN(), only(key_kind::kNone, kNone)},
      {"bool keys", BoolN(), only(key_kind::kBool, kNone)},
      {"int keys admit bools", IntN(), ints},
      {"float keys", FloatN(), only(key_kind::kFloat, kNone)},
      {"str keys", StrN(), only(key_kind::kStr, kNone)},
      {"bytes keys", BytesN(), only(key_kind::kBytes, kNone)},
      {"any key", Any(), every},
  };
  for (const Case& c : table) {
    RecordShape s = shape(DictOf(c.key, NoneN()));
    EXPECT_TRUE(s.keys.empty()) << c.name;
    EXPECT_TRUE(s.selectors.empty()) << c.name;
    EXPECT_EQ(kinds(s), c.expected) << c.name;
  }
  EXPECT_EQ(kinds(shape(Rec({}))), only(0, 0));
  EXPECT_EQ(kinds(shape(Rec({}, {Clause(Anything(), Anything())}))),
            std::vector<unsigned>(key_kind::kCount, kEveryAtom));
}

TEST_F(RecordLowering, FieldsBecomeListedStrKeys) {
  RecordShape s = shape(Rec({Field("a", NoneN()), Field("b", BoolN(), false)}));
  ASSERT_EQ(s.keys.size(), 2u);
  EXPECT_EQ(atoms_of(s.keys.at(StrK("a")).value), kNone);
  EXPECT_EQ(s.keys.at(StrK("a")).absent_allowed, 0);
  EXPECT_EQ(atoms_of(s.keys.at(StrK("b")).value), kBools);
  EXPECT_EQ(s.keys.at(StrK("b")).absent_allowed, 1);
  EXPECT_EQ(kinds(s), only(0, 0));
}

// A field is found by dict lookup, so a str subclass instance equal to its
// name takes the field's value too; a Literal key admits only the exact
// str, and a subclass instance equal to it goes to the str clauses.
TEST_F(RecordLowering, SubclassFormsOfTextKeys) {
  RecordShape field = shape(Rec({Field("a", NoneN())}, {Clause(StrN(), BoolN())}));
  EXPECT_EQ(atoms_of(field.keys.at(StrK("a")).subclass_value), kNone);
  RecordShape literal = shape(DictOf(RawUnion({Lit(kA), Lit(kBytesA), Lit(kOne)}), NoneN()));
  EXPECT_EQ(atoms_of(literal.keys.at(StrK("a")).value), kNone);
  EXPECT_EQ(atoms_of(literal.keys.at(StrK("a")).subclass_value), 0u);
  EXPECT_EQ(atoms_of(literal.keys.at(BytesK("a")).subclass_value), 0u);
  EXPECT_EQ(atoms_of(literal.keys.at(IntK(1)).subclass_value), kNone);  // unused: ints have one form
  RecordShape beside_str = shape(Rec({}, {Clause(Lit(kA), NoneN()), Clause(StrN(), BoolN())}));
  EXPECT_EQ(atoms_of(beside_str.keys.at(StrK("a")).value), kNone | kBools);
  EXPECT_EQ(atoms_of(beside_str.keys.at(StrK("a")).subclass_value), kBools);
}

TEST_F(RecordLowering, LiteralKeysOfEveryKind) {
  RecordShape s =
      shape(DictOf(RawUnion({Lit(kX), Lit(kY), Lit(kTrue), Lit(kOne), Lit(kNoneLit), Lit(kBytesA)}), NoneN()));
  std::vector<LiteralKey> listed;
  for (const auto& [key, entry] : s.keys) {
    listed.push_back(key);
    EXPECT_EQ(atoms_of(entry.value), kNone);
    EXPECT_EQ(entry.absent_allowed, 1);
  }
  EXPECT_EQ(listed, (std::vector<LiteralKey>{NoneK(), BoolK(true), IntK(1), BytesK("a"), StrK("x"), StrK("y")}));
  EXPECT_EQ(kinds(s), only(0, 0));
}

// An undeclared key is admitted through any clause that admits it, so its
// value is the join of those clauses' values; a declared field decides
// alone.
TEST_F(RecordLowering, KeysNamedTwiceJoinTheirClauses) {
  // {"a": None, Literal["a"]: bool}: the field decides.
  RecordShape field = shape(Rec({Field("a", NoneN())}, {Clause(Lit(kA), BoolN())}));
  ASSERT_EQ(field.keys.size(), 1u);
  EXPECT_EQ(atoms_of(field.keys.at(StrK("a")).value), kNone);
  EXPECT_EQ(field.keys.at(StrK("a")).absent_allowed, 0);
  // {Literal["x"]: None, Literal["x", "y"]: bool}.
  RecordShape two = shape(Rec({}, {Clause(Lit(kX), NoneN()), Clause(RawUnion({Lit(kX), Lit(kY)}), BoolN())}));
  EXPECT_EQ(atoms_of(two.keys.at(StrK("x")).value), kNone | kBools);
  EXPECT_EQ(atoms_of(two.keys.at(StrK("y")).value), kBools);
  // {Literal["a"]: None, str: bool}: the str clause admits "a" too.
  RecordShape kind = shape(Rec({}, {Clause(Lit(kA), NoneN()), Clause(StrN(), BoolN())}));
  EXPECT_EQ(atoms_of(kind.keys.at(StrK("a")).value), kNone | kBools);
  EXPECT_EQ(atoms_of(kind.kind_entries[key_kind::kStr].value), kBools);
  // {Literal[True]: None, int: bool}: int admits True.
  RecordShape bools = shape(Rec({}, {Clause(Lit(kTrue), NoneN()), Clause(IntN(), BoolN())}));
  EXPECT_EQ(atoms_of(bools.keys.at(BoolK(true)).value), kNone | kBools);
  // {Literal[1]: None, bool: bool}: bool does not admit 1.
  RecordShape one = shape(Rec({}, {Clause(Lit(kOne), NoneN()), Clause(BoolN(), BoolN())}));
  EXPECT_EQ(atoms_of(one.keys.at(IntK(1)).value), kNone);
  // Two clauses of one kind join.
  RecordShape joined = shape(Rec({}, {Clause(StrN(), NoneN()), Clause(Any(), BoolN())}));
  EXPECT_EQ(atoms_of(joined.kind_entries[key_kind::kStr].value), kNone | kBools);
  EXPECT_EQ(atoms_of(joined.kind_entries[key_kind::kNone].value), kBools);
}

TEST_F(RecordLowering, UnloweredKeysGiveUp) {
  const std::pair<const char*, SchemaNode> table[] = {
      {"float literal", Lit(kHalf)},
      {"declined literal", Lit(kUnknown)},
      {"complement", RawComplement(StrN())},
      {"tuple", TupleOf({IntN()})},
      {"instance", Inst(0)},
      {"union with a float literal", RawUnion({StrN(), Lit(kHalf)})},
  };
  for (const auto& [name, key] : table) {
    EXPECT_FALSE(lower(DictOf(key, NoneN()))) << name;
    EXPECT_FALSE(lower_record_pairs(key, oracle)) << name;
  }
}

TEST_F(RecordLowering, PairsKeepUnionOrderAndRepeats) {
  Outcome<ClauseKeys> k = lower_record_pairs(RawUnion({Lit(kY), RawUnion({IntN(), Lit(kX)}), StrN(), Lit(kY)}), oracle);
  ASSERT_TRUE(k);
  EXPECT_EQ(k->keys, (std::vector<LiteralKey>{StrK("y"), StrK("x"), StrK("y")}));
  EXPECT_EQ(k->codes, (std::vector<uint8_t>{2, 1, 4}));
  Outcome<ClauseKeys> none = lower_record_pairs(Nothing(), oracle);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->keys.empty() && none->codes.empty());
}

TEST_F(RecordLowering, EmptyRequiredFieldEmptiesTheSlot) {
  Outcome<Descriptor> d = lower(Rec({Field("a", Nothing())}));
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->slots[static_cast<size_t>(SlotKind::Dict)].lines.empty());
  RecordShape optional = shape(Rec({Field("a", Nothing(), false)}));
  EXPECT_TRUE(optional.keys.empty());  // the same as the closed kind entry
}

TEST_F(RecordLowering, GivesUpOnRepeatedFieldsAllowanceAndDepth) {
  EXPECT_FALSE(lower(Rec({Field("a", NoneN()), Field("a", BoolN())})));
  uint32_t allowance = 1;  // the first field takes it
  EXPECT_FALSE(lower_record_node(Rec({Field("a", NoneN()), Field("b", NoneN())}), oracle, allowance, 4));
  // `depth` is the depth of the record's fields and clause values.
  allowance = kLoweringAllowance;
  EXPECT_FALSE(lower_record_node(Rec({Field("a", NoneN())}), oracle, allowance, 0));
  EXPECT_TRUE(lower_record_node(Rec({Field("a", NoneN())}), oracle, allowance, 1));
  EXPECT_TRUE(lower_record_node(Rec({}), oracle, allowance, 0));
}

// {Literal[True]: None, bool: Any, Literal[1]: None}, less the dicts with
// only bool keys, less those with only str keys and the key 1: {1: None,
// False: None} is left, although the first bool key found, True, cannot be
// a key beside 1.
TEST_F(RecordLowering, ForcedKeysAreTheOnlyCandidates) {
  RecordDomain a =
      dict_domain(*lower(Rec({}, {Clause(Lit(kTrue), NoneN()), Clause(BoolN(), Any()), Clause(Lit(kOne), NoneN())})));
  RecordDomain b = dict_domain(*lower(DictOf(BoolN(), Any())));
  RecordDomain c = dict_domain(*lower(DictOf(RawUnion({StrN(), Lit(kOne)}), Any())));
  Outcome<RecordDomain> m = meet_record_domains(a, complement_record_domain(b));
  ASSERT_TRUE(m);
  m = meet_record_domains(*m, complement_record_domain(c));
  ASSERT_TRUE(m);
  EXPECT_EQ(record_domain_emptiness(*m), Emptiness::Inhabited);
}

// The other repros of the same faults, one value kind standing for int
// (None) and another for str (bool).
TEST_F(RecordLowering, RegressionRepros) {
  auto dom = [&](const SchemaNode& n) { return dict_domain(*lower(n)); };
  auto without = [&](RecordDomain x, const RecordDomain& y) {
    Outcome<RecordDomain> m = meet_record_domains(x, complement_record_domain(y));
    EXPECT_TRUE(m);
    return m ? *m : RecordDomain{};
  };
  SchemaNode is_int = NoneN(), is_str = BoolN(), int_or_str = RawUnion({NoneN(), BoolN()});
  // {"a": int | str} less dict[str, str] lies in dict[str, int].
  RecordDomain r3 =
      without(without(dom(Rec({Field("a", int_or_str)})), dom(DictOf(StrN(), is_str))), dom(DictOf(StrN(), is_int)));
  EXPECT_EQ(record_domain_emptiness(r3), Emptiness::Empty);
  // dict[None, int | str] less dict[None, int] less dict[None, str] is empty.
  RecordDomain r3b =
      without(without(dom(DictOf(NoneN(), int_or_str)), dom(DictOf(NoneN(), is_int))), dom(DictOf(NoneN(), is_str)));
  EXPECT_EQ(record_domain_emptiness(r3b), Emptiness::Empty);
  // {Literal[0]: int, bool: str} less dict[Literal[0] | bool, str] lies in
  // dict[Literal[0, True], Any]: storing 0 leaves no room for False.
  RecordDomain r5 = without(without(dom(Rec({}, {Clause(Lit(kZero), is_int), Clause(BoolN(), is_str)})),
                                    dom(DictOf(RawUnion({Lit(kZero), BoolN()}), is_str))),
                            dom(DictOf(RawUnion({Lit(kZero), Lit(kTrue)}), Any())));
  EXPECT_EQ(record_domain_emptiness(r5), Emptiness::Empty);
}

}  // namespace
}  // namespace tessolin::descr

// Emptiness of record shapes: required keys, selectors decided together,
// the True/1 and False/0 aliasing, and the finite None and bool kinds.
#include "descr/fuel.hpp"
#include "descr/literal_lowering.hpp"
#include "record_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

constexpr unsigned kNotNone = kEveryAtom & ~kNoneAtom;
constexpr unsigned kNotObject = kEveryAtom & ~kObjectAtom;

struct EmptinessCase {
  const char* name;
  RecordShape shape;
  Emptiness expected;
};

RecordShape with_kind(RecordShape s, uint64_t kind, OptionalDescriptor value) {
  s.kind_entries[kind] = Opt(std::move(value));
  return s;
}

std::vector<EmptinessCase> cases() {
  const uint64_t kBool = key_kind::kBool, kNone = key_kind::kNone, kStr = key_kind::kStr, kInt = key_kind::kInt;
  return {
      {"full shape", full_record_shape(), Emptiness::Inhabited},
      {"closed, no keys", Closed(), Emptiness::Inhabited},
      {"optional key of no value", Closed({{StrK("a"), Opt(V(0))}}), Emptiness::Inhabited},
      {"required key of no value", Closed({{StrK("a"), Req(V(0))}}), Emptiness::Empty},
      {"selector of no value", with_kind(Closed({{StrK("a"), Opt(nullptr)}}, {Sel(kStr, V(0))}), kStr, nullptr),
       Emptiness::Empty},
      {"selector of an open kind", with_kind(Closed({}, {Sel(kStr, V(kNoneAtom))}), kStr, nullptr),
       Emptiness::Inhabited},
      {"selector of a closed kind", Closed({}, {Sel(kStr, nullptr)}), Emptiness::Empty},
      {"selector of a kind past the nine", Closed({}, {Sel(key_kind::kCount, nullptr)}), Emptiness::Empty},
      // The finite kinds: their keys run out.
      {"bool selector excluding False and True",
       with_kind(Closed({}, {Sel(kBool, nullptr, {BoolK(false), BoolK(true)})}), kBool, nullptr), Emptiness::Empty},
      {"bool selector excluding True", with_kind(Closed({}, {Sel(kBool, nullptr, {BoolK(true)})}), kBool, nullptr),
       Emptiness::Inhabited},
      {"None selector excluding None", with_kind(Closed({}, {Sel(kNone, nullptr, {NoneK()})}), kNone, nullptr),
       Emptiness::Empty},
      {"None selector met by the listed None",
       Closed({{NoneK(), Opt(V(kTrueAtom))}}, {Sel(kNone, V(kTrueAtom | kNoneAtom))}), Emptiness::Inhabited},
      // True/1 and False/0 are one dict key.
      {"True and 1 required", Closed({{BoolK(true), Req(nullptr)}, {IntK(1), Req(nullptr)}}), Emptiness::Empty},
      {"False and 0 required", Closed({{BoolK(false), Req(nullptr)}, {IntK(0), Req(nullptr)}}), Emptiness::Empty},
      {"True and 2 required", Closed({{BoolK(true), Req(nullptr)}, {IntK(2), Req(nullptr)}}), Emptiness::Inhabited},
      {"only witness aliases a required key",
       Closed({{BoolK(true), Req(nullptr)}, {IntK(1), Opt(nullptr)}}, {Sel(kInt, nullptr)}), Emptiness::Empty},
      {"bool kind entry stands for a free False",
       with_kind(Closed({{IntK(1), Req(nullptr)}}, {Sel(kBool, nullptr)}), kBool, nullptr), Emptiness::Inhabited},
      {"bool kind entry whose keys are aliased by required ints",
       with_kind(Closed({{IntK(0), Req(nullptr)}, {IntK(1), Req(nullptr)}}, {Sel(kBool, nullptr)}), kBool, nullptr),
       Emptiness::Empty},
      {"listed 0 blocked by a required False",
       Closed({{BoolK(false), Req(nullptr)}, {IntK(0), Opt(nullptr)}, {IntK(1), Opt(V(kTrueAtom))}},
              {Sel(kInt, V(kNoneAtom))}),
       Emptiness::Empty},
      // A text key and a subclass instance equal to it are one dict key.
      {"required key met by its subclass form", Closed({{StrK("a"), Forms(V(0), V(kNoneAtom), true)}}),
       Emptiness::Inhabited},
      {"required key of no value in either form", Closed({{StrK("a"), Forms(V(0), V(0), true)}}), Emptiness::Empty},
      {"two selectors on one key need one form",
       Closed({{StrK("a"), Forms(V(kNoneAtom), V(kObjectAtom))}},
              {Sel(kStr, V(kNoneAtom)), Sel(kStr, V(kObjectAtom))}),
       Emptiness::Empty},
      {"required key and a selector in one form",
       Closed({{StrK("a"), Forms(V(kNoneAtom), V(kObjectAtom), true)}}, {Sel(kStr, V(kObjectAtom))}),
       Emptiness::Inhabited},
      {"fresh int witness never aliases",
       with_kind(Closed({{BoolK(false), Req(nullptr)}, {BoolK(true), Req(nullptr)}}, {Sel(kInt, nullptr)}), kInt,
                 nullptr),
       Emptiness::Inhabited},
  };
}

TEST(ShapeEmptiness, Table) {
  for (const EmptinessCase& c : cases()) {
    EXPECT_EQ(record_shape_emptiness(c.shape), c.expected) << c.name;
    EXPECT_EQ(brute_inhabited(c.shape), c.expected == Emptiness::Inhabited) << c.name;
  }
}

// One key cannot witness two selectors whose descriptors do not meet.
TEST(ShapeEmptiness, SelectorsSharingTheirOnlyKey) {
  RecordShape a = Closed({{StrK("a"), Req(V(kNoneAtom | kObjectAtom))}},
                         {Sel(key_kind::kStr, V(kNotNone)), Sel(key_kind::kStr, V(kNotObject))});
  EXPECT_EQ(record_shape_emptiness(a), Emptiness::Empty);
  RecordShape none = with_kind(Closed({}, {Sel(key_kind::kNone, V(kNotNone)), Sel(key_kind::kNone, V(kNotObject))}),
                               key_kind::kNone, V(kNoneAtom | kObjectAtom));
  EXPECT_EQ(record_shape_emptiness(none), Emptiness::Empty);
  // With a value both can share, one key serves both.
  RecordShape shared =
      Closed({{StrK("a"), Opt(V(kEveryAtom))}}, {Sel(key_kind::kStr, V(kNotNone)), Sel(key_kind::kStr, V(kNotObject))});
  EXPECT_EQ(record_shape_emptiness(shared), Emptiness::Inhabited);
}

// Three selectors with pairwise foreign values need three keys.
TEST(ShapeEmptiness, MoreSelectorsThanKeys) {
  std::map<LiteralKey, KeyEntry> two{{StrK("a"), Opt(nullptr)}, {StrK("b"), Opt(nullptr)}};
  std::vector<KeySelector> three{Sel(key_kind::kStr, V(kNoneAtom)), Sel(key_kind::kStr, V(kTrueAtom)),
                                 Sel(key_kind::kStr, V(kObjectAtom))};
  EXPECT_EQ(record_shape_emptiness(Closed(two, three)), Emptiness::Empty);
  three.pop_back();
  EXPECT_EQ(record_shape_emptiness(Closed(two, three)), Emptiness::Inhabited);
  // False and True are two keys as well.
  std::vector<KeySelector> bools{Sel(key_kind::kBool, V(kNoneAtom)), Sel(key_kind::kBool, V(kTrueAtom)),
                                 Sel(key_kind::kBool, V(kObjectAtom))};
  EXPECT_EQ(record_shape_emptiness(with_kind(Closed({}, bools), key_kind::kBool, nullptr)), Emptiness::Empty);
  bools.pop_back();
  EXPECT_EQ(record_shape_emptiness(with_kind(Closed({}, bools), key_kind::kBool, nullptr)), Emptiness::Inhabited);
}

// A later candidate can serve where the first one found would collide.
TEST(ShapeEmptiness, TriesEveryCandidate) {
  // Int selector: only the listed 1. Bool selector: listed True first,
  // the unlisted False too; 1 and True cannot both be keys.
  RecordShape s = with_kind(Closed({{BoolK(true), Opt(nullptr)}, {IntK(1), Opt(V(kNoneAtom))}},
                                   {Sel(key_kind::kInt, nullptr), Sel(key_kind::kBool, nullptr, {IntK(1)})}),
                            key_kind::kBool, nullptr);
  EXPECT_EQ(record_shape_emptiness(s), Emptiness::Inhabited);
  s.selectors[1].excluded.insert(BoolK(false));
  EXPECT_EQ(record_shape_emptiness(s), Emptiness::Empty);
}

// dict[bool, Any] less {True: not None, False: Any} less {True: Any, False:
// not None} less dict[bool, None]: both bools must hold None, so no key is
// left for a value other than None. The bool kind entry stands for no key
// once False and True are listed or excluded.
TEST(ShapeEmptiness, ExhaustedBoolKind) {
  auto without = [](const RecordDomain& x, const RecordShape& y) {
    Outcome<RecordDomain> m = meet_record_domains(x, RecordDomain{{y}, 1});
    EXPECT_TRUE(m);
    return m ? *m : RecordDomain{};
  };
  RecordDomain d{{KindDict(key_kind::kBool, V(kEveryAtom))}, 0};
  d = without(d, Closed({{BoolK(true), Opt(V(kNotNone))}, {BoolK(false), Opt(V(kEveryAtom))}}));
  d = without(d, Closed({{BoolK(true), Opt(V(kEveryAtom))}, {BoolK(false), Opt(V(kNotNone))}}));
  EXPECT_EQ(record_domain_emptiness(d), Emptiness::Inhabited);
  d = without(d, KindDict(key_kind::kBool, V(kNoneAtom)));
  EXPECT_EQ(record_domain_emptiness(d), Emptiness::Empty);
}

TEST(ShapeEmptiness, GivesUpUndecidedNeverEmpty) {
  // The candidate's meet needs fuel: without it nothing is proved.
  RecordShape s =
      Closed({{StrK("a"), Opt(V(kNoneAtom | kTrueAtom))}}, {Sel(key_kind::kStr, V(kTrueAtom | kObjectAtom))});
  set_fuel(0);
  Emptiness e = record_shape_emptiness(s);
  set_fuel(kUnlimitedFuel);
  EXPECT_EQ(e, Emptiness::Undecided);
  EXPECT_EQ(record_shape_emptiness(s), Emptiness::Inhabited);
}

// Ten keys each holding a different int, but only nine keys: the search
// runs out of steps before it has tried every assignment, and says so.
TEST(ShapeEmptiness, SearchOutOfStepsIsUndecided) {
  std::map<LiteralKey, KeyEntry> keys;
  for (int i = 0; i < 9; ++i) keys[StrK(std::string(1, static_cast<char>('a' + i)))] = Opt(nullptr);
  std::vector<KeySelector> selectors;
  for (int64_t i = 0; i < 9; ++i)
    selectors.push_back(Sel(key_kind::kStr, make_shared_descriptor(int_literal_descriptor(i))));
  EXPECT_EQ(record_shape_emptiness(Closed(keys, selectors)), Emptiness::Inhabited);
  selectors.push_back(Sel(key_kind::kStr, make_shared_descriptor(int_literal_descriptor(9))));
  EXPECT_EQ(record_shape_emptiness(Closed(keys, selectors)), Emptiness::Undecided);
  keys.erase(StrK("i"));
  keys.erase(StrK("h"));
  keys.erase(StrK("g"));
  keys.erase(StrK("f"));
  keys.erase(StrK("e"));
  selectors.resize(6);  // six values, four keys: few enough to try every way
  EXPECT_EQ(record_shape_emptiness(Closed(keys, selectors)), Emptiness::Empty);
}

// Against enumeration of every dict that could witness the shape: in this
// universe every value question is settled, so the answer must be exact.
TEST(ShapeEmptiness, AgreesWithEnumeration) {
  ShapeSource source(41);
  int empty = 0;
  for (int round = 0; round < 400; ++round) {
    RecordShape s = source.shape();
    bool inhabited = brute_inhabited(s);
    empty += inhabited ? 0 : 1;
    EXPECT_EQ(record_shape_emptiness(s), inhabited ? Emptiness::Inhabited : Emptiness::Empty) << round;
  }
  EXPECT_GT(empty, 40);  // the source reaches both answers
}

// The same through meets of complements, where selectors pile up.
TEST(ShapeEmptiness, AgreesWithEnumerationAfterMeets) {
  ShapeSource source(43);
  for (int round = 0; round < 40; ++round) {
    RecordDomain a{{source.shape()}, 0};
    RecordDomain b{{source.shape()}, 1};
    RecordDomain c{{source.shape()}, 1};
    Outcome<RecordDomain> ab = meet_record_domains(a, b);
    ASSERT_TRUE(ab);
    Outcome<RecordDomain> abc = meet_record_domains(*ab, c);
    ASSERT_TRUE(abc);
    for (const RecordShape& s : abc->shapes) {
      EXPECT_EQ(record_shape_emptiness(s), brute_inhabited(s) ? Emptiness::Inhabited : Emptiness::Empty) << round;
    }
  }
}

TEST(DomainEmptiness, FirstInhabitedShapeOrUndecided) {
  EXPECT_EQ(record_domain_emptiness(RecordDomain{}), Emptiness::Empty);
  EXPECT_EQ(record_domain_emptiness(RecordDomain{{}, 1}), Emptiness::Inhabited);
  EXPECT_EQ(record_domain_emptiness(RecordDomain{{full_record_shape()}, 1}), Emptiness::Empty);
  RecordShape closed = Closed();
  EXPECT_EQ(record_domain_emptiness(RecordDomain{{closed}, 0}), Emptiness::Inhabited);
  // Every dict but the empty one has some key: a negated closed record.
  EXPECT_EQ(record_domain_emptiness(RecordDomain{{closed}, 1}), Emptiness::Inhabited);
  set_fuel(0);
  Emptiness e = record_domain_emptiness(RecordDomain{{closed}, 1});
  set_fuel(kUnlimitedFuel);
  EXPECT_EQ(e, Emptiness::Undecided);
}

}  // namespace
}  // namespace tessolin::descr

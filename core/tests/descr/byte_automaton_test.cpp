// Byte automata: the two tops, literals, complement, emptiness, products and
// their limit, canonical form, order.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "automaton_test_support.hpp"
#include "descr/byte_automaton.hpp"

namespace tessolin::descr {
namespace {

using testing::code_points_with_surrogates;
using testing::counter_automaton;

bool is_str_form(std::string_view s) { return code_points_with_surrogates(s).has_value(); }

TEST(Utf8TopTest, AcceptsExactlyUtf8WithSurrogatesUpToThreeBytes) {
  const AutomatonHandle top = build_utf8_automaton();
  std::string s;
  for (size_t len = 1; len <= 3; ++len) {
    s.assign(len, '\0');
    const uint64_t total = uint64_t(1) << (8 * len);
    uint64_t mismatches = 0;
    for (uint64_t v = 0; v < total; ++v) {
      for (size_t i = 0; i < len; ++i) s[i] = char(v >> (8 * i));
      if (automaton_accepts(*top, s) != is_str_form(s) && ++mismatches < 5)
        ADD_FAILURE() << "length " << len << " value " << std::hex << v;
    }
    EXPECT_EQ(mismatches, 0u) << "length " << len;
  }
}

TEST(Utf8TopTest, AgreesWithReferenceOnFourByteStrings) {
  const AutomatonHandle top = build_utf8_automaton();
  // Every four-byte string over the bytes where the answer changes...
  const uint8_t edges[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                           0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0xFF};
  std::string s(4, '\0');
  for (uint8_t a : edges)
    for (uint8_t b : edges)
      for (uint8_t c : edges)
        for (uint8_t d : edges) {
          s = {char(a), char(b), char(c), char(d)};
          ASSERT_EQ(automaton_accepts(*top, s), is_str_form(s))
              << std::hex << int(a) << ' ' << int(b) << ' ' << int(c) << ' ' << int(d);
        }
  // ...and a random sample of the rest.
  std::mt19937 rng(7);
  for (int i = 0; i < 1'000'000; ++i) {
    uint32_t v = rng();
    for (int k = 0; k < 4; ++k) s[k] = char(v >> (8 * k));
    ASSERT_EQ(automaton_accepts(*top, s), is_str_form(s)) << std::hex << v;
  }
}

TEST(Utf8TopTest, NamedForms) {
  const AutomatonHandle top = build_utf8_automaton();
  struct Case {
    const char* bytes;
    bool accepted;
  } cases[] = {
      {"", true},
      {"\xED\xA0\x80", true},  // a surrogate's form
      {"\xED\xBF\xBF", true},
      {"\xF4\x8F\xBF\xBF", true},
      {"a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80", true},
      {"\xC0\x80", false},
      {"\xE0\x80\x80", false},
      {"\xF4\x90\x80\x80", false},
      {"\x80", false},
      {"\xC3", false},
      {"\xFF", false},
  };
  for (const Case& c : cases) EXPECT_EQ(automaton_accepts(*top, c.bytes), c.accepted) << c.bytes;
}

TEST(Utf8TopTest, IsCanonicalAndShared) {
  const AutomatonHandle top = build_utf8_automaton();
  EXPECT_EQ(top, build_utf8_automaton());
  EXPECT_TRUE(automaton_eq(*canonicalize_automaton(*top), *top));
  // E1..EF behave alike once surrogates are admitted, and C0, C1, F5..FF are
  // never valid; the state after ED is the state after E1.
  EXPECT_EQ(top->class_count, 11u);
  EXPECT_EQ(top->state_count(), 8u);
  EXPECT_EQ(top->classes[0xE1], top->classes[0xED]);
  EXPECT_EQ(top->classes[0xC0], top->classes[0xFF]);
}

TEST(AnyBytesTest, ShapeAndComplement) {
  const AutomatonHandle any = any_bytes_automaton();
  EXPECT_EQ(any, any_bytes_automaton());
  EXPECT_EQ(any->class_count, 1u);
  EXPECT_EQ(any->state_count(), 1u);
  EXPECT_TRUE(automaton_accepts(*any, "\xFF\x00"));
  EXPECT_TRUE(automaton_eq(*canonicalize_automaton(*any), *any));
  const AutomatonHandle none = complement_automaton(*any);
  EXPECT_EQ(none->state_count(), 1u);
  EXPECT_EQ(none->accepting[0], 0);
  EXPECT_EQ(none->transitions[0], 0u);
  EXPECT_TRUE(automaton_is_empty(*none));
  EXPECT_FALSE(automaton_is_empty(*any));
}

TEST(LiteralTest, Shapes) {
  const AutomatonHandle empty = literal_automaton("");
  EXPECT_EQ(empty->class_count, 1u);
  EXPECT_EQ(empty->state_count(), 2u);
  EXPECT_TRUE(automaton_accepts(*empty, ""));
  EXPECT_FALSE(automaton_accepts(*empty, "a"));

  const AutomatonHandle aa = literal_automaton("aa");
  EXPECT_EQ(aa->class_count, 2u);
  EXPECT_EQ(aa->state_count(), 4u);
  for (const char* s : {"", "a", "aaa", "b", "ab"}) EXPECT_FALSE(automaton_accepts(*aa, s)) << s;
  EXPECT_TRUE(automaton_accepts(*aa, "aa"));

  // Every byte value present: no class is left for absent bytes.
  std::string all;
  for (int b = 255; b >= 0; --b) all += char(b);
  const AutomatonHandle every = literal_automaton(all);
  EXPECT_EQ(every->class_count, 256u);
  EXPECT_EQ(every->state_count(), 258u);
  EXPECT_TRUE(automaton_accepts(*every, all));
  EXPECT_FALSE(automaton_accepts(*every, all.substr(1)));
  // Classes are numbered by first byte.
  for (int b = 0; b < 256; ++b) EXPECT_EQ(every->classes[b], b);
}

TEST(ProductTest, RefinedClasses) {
  std::array<uint16_t, 256> a{}, b{};
  for (int x = 0x80; x < 256; ++x) a[x] = 1;
  b['a'] = 1;
  b[0xFF] = 2;
  RefinedByteClasses r = product_byte_classes(a, b);
  EXPECT_EQ(r.class_count, 4u);
  EXPECT_EQ(r.classes[0], 0);
  EXPECT_EQ(r.classes['a'], 1);
  EXPECT_EQ(r.classes[0x80], 2);
  EXPECT_EQ(r.classes[0xFF], 3);
  EXPECT_EQ(r.classes[0xFE], 2);
  const std::array<uint16_t, 2> pairs[] = {{0, 0}, {0, 1}, {1, 0}, {1, 2}};
  ASSERT_EQ(r.pairs.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(r.pairs[i], pairs[i]);

  RefinedByteClasses one = product_byte_classes({}, {});
  EXPECT_EQ(one.class_count, 1u);
}

TEST(ProductTest, TopsAndComplements) {
  const AutomatonHandle top = build_utf8_automaton();
  const AutomatonHandle any = any_bytes_automaton();
  Outcome<AutomatonHandle> meet = meet_byte_automata(*top, *any);
  ASSERT_TRUE(meet);
  EXPECT_TRUE(automaton_eq(**meet, *top));

  for (const AutomatonHandle& a : {top, literal_automaton("ab"), any}) {
    Outcome<AutomatonHandle> all = automaton_union(*a, *complement_automaton(*a));
    ASSERT_TRUE(all);
    EXPECT_TRUE(automaton_eq(**all, *any));
    Outcome<AutomatonHandle> none = meet_byte_automata(*a, *complement_automaton(*a));
    ASSERT_TRUE(none);
    EXPECT_TRUE(automaton_is_empty(**none));
    EXPECT_TRUE(automaton_eq(**none, *complement_automaton(*any)));
  }
}

TEST(ProductTest, LimitOf4096Pairs) {
  // Counting two bytes independently reaches every pair of counts.
  Outcome<AutomatonHandle> exact = meet_byte_automata(counter_automaton('a', 64), counter_automaton('b', 64));
  ASSERT_TRUE(exact);
  EXPECT_EQ((*exact)->state_count(), 4096u);
  EXPECT_TRUE(automaton_accepts(**exact, std::string(64, 'a') + std::string(128, 'b')));
  EXPECT_FALSE(automaton_accepts(**exact, std::string(64, 'a') + "b"));
  EXPECT_TRUE(automaton_union(counter_automaton('a', 64), counter_automaton('b', 64)));

  // 17 * 241 = 4097 pairs.
  EXPECT_FALSE(meet_byte_automata(counter_automaton('a', 17), counter_automaton('b', 241)));
  EXPECT_FALSE(automaton_union(counter_automaton('a', 17), counter_automaton('b', 241)));
  // The limit counts pairs numbered, not the states that survive
  // minimisation: an all-accepting union of 4097 pairs still gives up.
  ByteAutomaton always_a = counter_automaton('a', 17);
  always_a.accepting.assign(17, 1);
  EXPECT_FALSE(automaton_union(always_a, counter_automaton('b', 241)));
}

TEST(CanonicalTest, SameLanguageBuiltTwoWays) {
  // Strings of a and b with an even number of a: as a counter, and as the
  // complement of the union of (odd a) with strings holding another byte.
  const AutomatonHandle even = canonicalize_automaton(counter_automaton('a', 2));
  ByteAutomaton odd = counter_automaton('a', 2);
  odd.accepting = {0, 1};
  ByteAutomaton other;  // some byte other than a or b
  other.classes.fill(1);
  other.classes['a'] = other.classes['b'] = 0;
  other.class_count = 2;
  other.transitions = {0, 1, 1, 1};
  other.accepting = {0, 1};
  Outcome<AutomatonHandle> odd_or_other = automaton_union(odd, other);
  ASSERT_TRUE(odd_or_other);
  const AutomatonHandle via_complement = complement_automaton(**odd_or_other);
  Outcome<AutomatonHandle> even_ab = meet_byte_automata(*even, *complement_automaton(other));
  ASSERT_TRUE(even_ab);
  EXPECT_TRUE(automaton_eq(*via_complement, **even_ab));
  EXPECT_EQ(automaton_order(*via_complement, **even_ab), std::strong_ordering::equal);
}

TEST(CanonicalTest, IgnoresUnreachableStatesAndUnusedClasses) {
  ByteAutomaton a = counter_automaton('a', 3);
  // Class 2 is used by no byte and leads to an accepting trap; state 3 is
  // unreachable.
  a.class_count = 3;
  a.transitions = {0, 1, 4, 1, 2, 4, 2, 0, 4, 3, 3, 3, 4, 4, 4};
  a.accepting = {1, 0, 0, 1, 1};
  const AutomatonHandle c = canonicalize_automaton(a);
  EXPECT_TRUE(automaton_eq(*c, *canonicalize_automaton(counter_automaton('a', 3))));
  EXPECT_EQ(c->state_count(), 3u);
  // Emptiness looks only through bytes.
  a.accepting = {0, 0, 0, 1, 1};
  EXPECT_TRUE(automaton_is_empty(a));
}

TEST(OrderTest, ContentOrder) {
  const AutomatonHandle a = literal_automaton("a");
  const AutomatonHandle b = literal_automaton("b");
  const AutomatonHandle any = any_bytes_automaton();
  const AutomatonHandle none = complement_automaton(*any);
  // Classes decide first: byte 'a' leaves class 0 before byte 'b' does.
  EXPECT_EQ(automaton_order(*a, *b), std::strong_ordering::greater);
  EXPECT_EQ(automaton_order(*b, *a), std::strong_ordering::less);
  // Same classes and transitions: accepting decides.
  EXPECT_EQ(automaton_order(*none, *any), std::strong_ordering::less);
  EXPECT_EQ(automaton_order(*a, *literal_automaton("a")), std::strong_ordering::equal);
  EXPECT_FALSE(automaton_eq(*a, *b));
}

}  // namespace
}  // namespace tessolin::descr

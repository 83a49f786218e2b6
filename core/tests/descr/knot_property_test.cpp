// Property test of the descriptor operations against the reference
// membership model: random descriptors over the scalar and text kinds (and
// the container tops that complements bring in), with random clauses over
// fabricated classes and attribute atoms. Meet, join and complement must
// agree with membership on every value of the value space; Empty must leave
// no member and Inhabited must come with one. Give-ups are allowed (under
// small fuel budgets they are frequent), wrong answers never.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "knot_test_support.hpp"

namespace tessolin::descr {
namespace {

using namespace testing;

class Generator {
 public:
  explicit Generator(uint64_t seed) : rng_(seed) {}

  bool coin(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  template <class T>
  const T& pick_of(const std::vector<T>& v) {
    return v[pick(v.size())];
  }

  Domain domain(uint8_t code) {
    switch (static_cast<SlotKind>(code)) {
      case SlotKind::Bool: return BoolMaskDomain{static_cast<uint8_t>(pick(4))};
      case SlotKind::Int: return integers();
      case SlotKind::Float: return floats();
      case SlotKind::Str:
      case SlotKind::Bytes: return text(code == code_of(SlotKind::Bytes));
      default: return FlagDomain{static_cast<uint8_t>(coin(0.9) ? 1 : 0)};
    }
  }

  // Clause-free descriptors over kind tops, {1} and {"a"}: every one that
  // holds a value holds one of the attribute pool.
  OptionalDescriptor nested_value() {
    if (coin(0.15)) return nullptr;
    if (coin(0.1)) return shared_nothing();
    Descriptor d;
    size_t pieces = 1 + pick(2);
    for (size_t i = 0; i < pieces; ++i) {
      Descriptor piece;
      switch (pick(5)) {
        case 0: piece = kind_top_descriptor(code_of(SlotKind::Int)); break;
        case 1: set_single_line(piece, code_of(SlotKind::Int), integer_set_single(1)); break;
        case 2: set_single_line(piece, code_of(SlotKind::Str), AutomatonDomain{literal_automaton("a")}); break;
        case 3: piece = kind_top_descriptor(code_of(SlotKind::None)); break;
        default: piece = kind_top_descriptor(pick_of(std::vector<uint8_t>{1, 3, 4, 5, 6, 8, 10, 255})); break;
      }
      d = *combine_descriptors(d, piece, CombineMode::Join);
    }
    if (coin(0.3)) d = complement_descriptor(d);
    return make_shared_descriptor(std::move(d));
  }

  AtomClause clause() {
    AtomClause c;
    for (const char* name : {"x", "y"}) {
      if (coin(0.3)) c.attributes.emplace(name, AttributeAtom{nested_value(), static_cast<uint8_t>(pick(2))});
    }
    std::vector<ClassAnswer> required;
    std::vector<ClassAnswer> excluded;
    for (size_t n = pick(3); n > 0; --n) add_unique(required, pick_of(clause_classes()));
    if (coin(0.3)) add_unique(excluded, pick_of(clause_classes()));
    AtomClause classes = classes_clause(required, excluded);
    c.classes = std::move(classes.classes);
    c.excluded_classes = std::move(classes.excluded_classes);
    return c;
  }

  Line line(uint8_t code) {
    Line l;
    l.domain = domain(code);
    size_t clauses = coin(0.15) ? 0 : coin(0.7) ? 1 : 2;
    for (size_t i = 0; i < clauses; ++i) l.clauses.push_back(coin(0.4) ? AtomClause{} : clause());
    l.clauses_negated = coin(0.25) ? 1 : 0;
    return l;
  }

  Descriptor atom() {
    static const std::vector<uint8_t> kinds{0, 1, 2, 3, 4, 5, 255};
    Descriptor d;
    for (size_t slots = 1 + pick(2); slots > 0; --slots) {
      uint8_t code = pick_of(kinds);
      KindSlot& slot = d.slots[slot_index(code)];
      slot.lines.clear();
      for (size_t n = 1 + pick(2); n > 0; --n) slot.lines.push_back(line(code));
    }
    return d;
  }

  // Built with the operations under test, unlimited fuel; a give-up falls
  // back to an atom.
  Descriptor tree(int depth) {
    if (depth == 0 || coin(0.35)) return atom();
    switch (pick(3)) {
      case 0: return complement_descriptor(tree(depth - 1));
      default: {
        Descriptor a = tree(depth - 1);
        Descriptor b = tree(depth - 1);
        Outcome<Descriptor> c = combine_descriptors(a, b, coin(0.5) ? CombineMode::Join : CombineMode::Meet);
        return c ? std::move(*c) : atom();
      }
    }
  }

 private:
  static void add_unique(std::vector<ClassAnswer>& v, const ClassAnswer& c) {
    for (const ClassAnswer& x : v) {
      if (x.class_id == c.class_id) return;
    }
    v.push_back(c);
  }

  Domain integers() {
    static const std::vector<int64_t> ends{-3, 0, 2, 7};
    switch (pick(5)) {
      case 0: return integer_set_single(pick_of(ends));
      case 1: return *integer_set_multiple_of(coin(0.5) ? 2 : 3);
      case 2: return integer_set_full();
      default: {
        int64_t a = pick_of(ends);
        int64_t b = pick_of(ends);
        return integer_set_range(coin(0.8), std::min(a, b), coin(0.8), std::max(a, b));
      }
    }
  }

  Domain floats() {
    const double inf = std::numeric_limits<double>::infinity();
    static const std::vector<double> ends{-inf, -1.5, 0.0, 1.0, std::nextafter(1.0, 2.0), 2.5, inf};
    switch (pick(5)) {
      case 0: return float_set_point(pick_of(ends));
      case 1: return float_set_normalize({}, 1);
      case 2: return float_set_full();
      default: {
        double a = pick_of(ends);
        double b = pick_of(ends);
        FloatInterval iv{std::min(a, b), static_cast<uint8_t>(pick(2)), std::max(a, b), static_cast<uint8_t>(pick(2))};
        return float_set_normalize({iv}, coin(0.2) ? 1 : 0);
      }
    }
  }

  Domain text(bool bytes) {
    static const std::vector<std::string> str_literals{"", "a", "ab", "\xc3\xa9"};
    static const std::vector<std::string> bytes_literals{"", "a", std::string("\xff\x00", 2)};
    switch (pick(5)) {
      case 0: return AutomatonDomain{*max_length_automaton(1, bytes)};
      case 1: return AutomatonDomain{*min_length_automaton(2, bytes)};
      case 2: return AutomatonDomain{bytes ? any_bytes_automaton() : build_utf8_automaton()};
      default: return AutomatonDomain{literal_automaton(pick_of(bytes ? bytes_literals : str_literals))};
    }
  }

  std::mt19937_64 rng_;
};

// Every value class of every slot, with `check(memberships, value)`.
template <class Check>
void each_value(const std::vector<const Descriptor*>& ds, Check check) {
  for (size_t i = 0; i < kSlotCount; ++i) for_each_value_class(ds, slot_code(i), check);
}

struct Tally {
  size_t ops = 0;
  size_t gave_up = 0;
  size_t decided = 0;
  size_t undecided = 0;
};

class KnotProperty : public ::testing::Test {
 protected:
  void check_combine(const Descriptor& a, const Descriptor& b, CombineMode mode, const std::string& where) {
    ++tally.ops;
    Outcome<Descriptor> r = combine_descriptors(a, b, mode);
    if (!r) {
      ++tally.gave_up;
      return;
    }
    for (const KindSlot& slot : r->slots) ASSERT_EQ(slot.negated, 0) << where;
    each_value({&a, &b, &*r}, [&](const std::vector<bool>& m, const Value& v) {
      bool expected = mode == CombineMode::Meet ? (m[0] && m[1]) : (m[0] || m[1]);
      ASSERT_EQ(m[2], expected) << where << (mode == CombineMode::Meet ? " meet" : " join") << " at " << describe(v);
    });
    check_emptiness(*r, where + " result");
  }

  void check_complement(const Descriptor& d, const std::string& where) {
    Descriptor c = complement_descriptor(d);
    each_value({&d, &c}, [&](const std::vector<bool>& m, const Value& v) {
      ASSERT_NE(m[0], m[1]) << where << " complement at " << describe(v);
    });
    check_emptiness(c, where + " complement");
  }

  void check_answer(Emptiness e, const Descriptor& d, const std::string& where) {
    if (e == Emptiness::Undecided) {
      ++tally.undecided;
      return;
    }
    ++tally.decided;
    Value witness;
    bool found = exists_in_product(d, &witness);
    if (e == Emptiness::Empty) {
      ASSERT_FALSE(found) << where << ": Empty, yet it holds " << describe(witness);
    } else {
      ASSERT_TRUE(found) << where << ": Inhabited, yet no value of the space is a member";
    }
  }

  // The whole descriptor, then each slot alone, then each line alone: the
  // early exits of the whole answer would hide a wrong part.
  void check_emptiness(const Descriptor& d, const std::string& where) {
    check_answer(descriptor_emptiness(d), d, where);
    for (size_t i = 0; i < kSlotCount; ++i) {
      const uint8_t code = slot_code(i);
      const KindSlot& slot = d.slots[i];
      check_answer(slot_emptiness(slot, code), slot_descriptor(code, slot.lines, slot.negated),
                   where + " slot " + std::to_string(code));
      for (const Line& line : slot.lines) {
        Descriptor alone = slot_descriptor(code, {line});
        check_answer(line_emptiness(line, code), alone, where + " line of slot " + std::to_string(code));
        if (line_is_empty(line)) check_answer(Emptiness::Empty, alone, where + " line_is_empty");
      }
    }
  }

  Tally tally;
};

#ifdef NDEBUG
constexpr int kTrials = 1500;
#else
constexpr int kTrials = 300;  // unoptimised (sanitizer) builds
#endif

TEST_F(KnotProperty, OperationsAgreeWithMembership) {
  for (int trial = 0; trial < kTrials; ++trial) {
    Generator gen(0x5eed0000u + trial);
    Descriptor a = gen.tree(3);
    Descriptor b = gen.tree(3);
    const uint64_t budgets[] = {kUnlimitedFuel, kAlgebraFuel, gen.pick(60)};
    const uint64_t budget = budgets[trial % 3];
    const uint64_t before = fuel_left();
    {
      FuelWindow window(budget);
      std::string where = "trial " + std::to_string(trial) + " fuel " + std::to_string(budget);
      check_combine(a, b, CombineMode::Meet, where);
      check_combine(a, b, CombineMode::Join, where);
      check_complement(a, where);
      check_emptiness(a, where + " operand");
    }
    ASSERT_EQ(fuel_left(), before);
    if (HasFatalFailure()) return;
  }
  // The test must decide things, not only give up.
  EXPECT_GT(tally.ops - tally.gave_up, tally.ops / 2) << "gave up " << tally.gave_up << " of " << tally.ops;
  EXPECT_GT(tally.decided, tally.undecided) << tally.decided << " decided, " << tally.undecided << " undecided";
  std::cout << "[ stats    ] " << tally.ops << " combines, " << tally.gave_up << " gave up; emptiness " << tally.decided
            << " decided, " << tally.undecided << " undecided\n";
}

}  // namespace
}  // namespace tessolin::descr

#include <gtest/gtest.h>

#include <thread>

#include "ir/internal_error.hpp"
#include "ir/scratch_pool.hpp"
#include "ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

TEST(FxHash, WordsAndNames) {
  FxHasher h;
  h.add(3);
  h.add(5);
  EXPECT_EQ(h.finish(), 0x6a38a99693ca0a60ULL);
  struct Case {
    std::string_view bytes;
    uint64_t hash;
  };
  const Case cases[] = {
      {std::string_view("", 0), 0xbc13060e2d1aac79ULL},
      {std::string_view("\x61", 1), 0xdfe4b1209783ba09ULL},
      {std::string_view("\x61\x62", 2), 0xc0919727b12863e0ULL},
      {std::string_view("\x61\x62\x63", 3), 0x800f6fadd6111505ULL},
      {std::string_view("\x6e\x61\x6d\x65", 4), 0x0530e316fce036fbULL},
      {std::string_view("\x68\x65\x6c\x6c\x6f", 5), 0x32ebb82174a0234aULL},
      {std::string_view("\x61\x62\x63\x64\x65\x66\x67\x68", 8), 0x38bd18bea01bff12ULL},
      {std::string_view("0123456789abcdef", 16), 0x89e3150d52c5465eULL},
      {std::string_view("0123456789abcdefg", 17), 0x7c50ed4bd2e4c458ULL},
      {std::string_view("the quick brown fox jumps over the lazy dog", 43), 0xf81068bc60bb7320ULL},
      {std::string_view("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13"
                        "\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f",
                        32),
       0xc0ac448a25fbd897ULL},
  };
  for (const Case& c : cases) EXPECT_EQ(name_text_hash(c.bytes), c.hash) << c.bytes.size();
}

TEST(Interning, EqualNodesShareAHandle) {
  NodeRef a = In(ListOf(IntN()));
  NodeRef b = In(ListOf(IntN()));
  EXPECT_TRUE(a.same_as(b));
  // The Anything flag is part of the hit test but not of equality.
  NodeRef any = In(Any());
  NodeRef plain = In(Anything());
  EXPECT_FALSE(any.same_as(plain));
  EXPECT_TRUE(node_eq(*any, *plain));
  EXPECT_TRUE(any->is_typing_any());
}

TEST(Interning, ListsDifferingPastTheFourthItemEvictEachOther) {
  std::vector<SchemaNode> first{Lit(1), Lit(2), Lit(3), Lit(4), Lit(5)};
  std::vector<SchemaNode> second{Lit(1), Lit(2), Lit(3), Lit(4), Lit(6)};
  NodeList l1 = intern_node_list(first);
  NodeList again = intern_node_list(first);
  EXPECT_TRUE(l1.same_as(again));
  NodeList l2 = intern_node_list(second);
  EXPECT_FALSE(l1.same_as(l2));
  // The second took the slot: interning the first again makes a new list.
  NodeList l1b = intern_node_list(first);
  EXPECT_FALSE(l1b.same_as(l1));
  EXPECT_EQ(l1[4].number(), 5u);
  EXPECT_EQ(l2[4].number(), 6u);
  EXPECT_EQ(l1b[4].number(), 5u);
}

TEST(Interning, DeadEntryIsReplaced) {
  const void* old_identity;
  {
    NodeRef r = In(SetOf(Lit(777)));
    old_identity = r.identity();
  }
  // The slot's weak entry no longer upgrades; a new allocation takes it while
  // the dead one's storage is still held, so the addresses differ.
  NodeRef fresh = In(SetOf(Lit(777)));
  EXPECT_NE(fresh.identity(), old_identity);
  // The new node is the live entry now. Its element is held here, so that
  // interning a fresh element (whose slot may collide with the set's and
  // evict it, depending on addresses) cannot come between.
  NodeRef element = fresh->element();
  EXPECT_TRUE(fresh.same_as(In(SchemaNode::collection(CollectionKind::Set, element))));
}

TEST(Interning, RefinementsShareOnlyTheSameConstraintList) {
  SchemaNode r = Refine(IntN(), {Constraint::ge(1)});
  NodeRef a = In(r);
  NodeRef b = In(r);  // a copy: same constraint list handle
  EXPECT_TRUE(a.same_as(b));
  NodeRef c = In(Refine(IntN(), {Constraint::ge(1)}));
  EXPECT_FALSE(a.same_as(c));
  EXPECT_TRUE(node_eq(*a, *c));
}

TEST(Interning, SharedConstants) {
  EXPECT_TRUE(intern_node_list({}).same_as(empty_node_list()));
  std::vector<RecordField> no_fields;
  EXPECT_TRUE(intern_field_list(no_fields).same_as(empty_field_list()));
  std::vector<CatchAll> no_clauses;
  EXPECT_TRUE(intern_catch_all_list(no_clauses).same_as(empty_catch_all_list()));

  std::vector<CatchAll> any_any{{Any(), Any()}};
  ClauseList top = intern_catch_all_list(any_any);
  EXPECT_TRUE(top.same_as(top_catch_all_list()));
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].key.flag(), 0);
  EXPECT_EQ(top[0].value.flag(), 0);
  EXPECT_EQ(any_any.size(), 1u);  // left to the caller

  std::vector<CatchAll> typed{{StrN(), IntN()}};
  ClauseList t1 = intern_catch_all_list(typed);
  EXPECT_TRUE(typed.empty());  // moved into the new list on a miss
  std::vector<CatchAll> typed2{{StrN(), IntN()}};
  ClauseList t2 = intern_catch_all_list(typed2);
  EXPECT_TRUE(t1.same_as(t2));
  EXPECT_EQ(typed2.size(), 1u);  // hit: left to the caller
}

TEST(Interning, FieldListsCompareNamesByBytes) {
  std::vector<RecordField> a{Field("alpha", IntN())};
  std::vector<RecordField> b{Field("alpha", IntN())};
  std::vector<RecordField> c{Field("alpha", IntN(), false)};
  FieldList la = intern_field_list(a);
  FieldList lb = intern_field_list(b);
  EXPECT_TRUE(la.same_as(lb));
  FieldList lc = intern_field_list(c);
  EXPECT_FALSE(la.same_as(lc));
}

TEST(ScratchPool, VectorsComeBackEmptyWithCapacity) {
  std::vector<SchemaNode> v = take_node_vector();
  v.reserve(64);
  v.push_back(IntN());
  const SchemaNode* storage = v.data();
  give_back_node_vector(std::move(v));
  std::vector<SchemaNode> w = take_node_vector();
  EXPECT_TRUE(w.empty());
  EXPECT_GE(w.capacity(), 64u);
  EXPECT_EQ(w.data(), storage);
  give_back_node_vector(std::move(w));
}

// A thread-local whose destructor runs after the IR's own per-thread state
// was torn down (thread-locals die in reverse order of construction).
struct LateUser {
  bool* threw = nullptr;
  ~LateUser() {
    try {
      (void)intern_node(IntN());
    } catch (const InternalError&) {
      *threw = true;
    }
    try {
      (void)take_node_vector();
    } catch (const InternalError&) {
      *threw = *threw && true;
      return;
    }
    *threw = false;
  }
};
thread_local LateUser late_user;

TEST(Interning, UseAfterThreadTeardownIsAnInternalError) {
  bool threw = false;
  std::thread t([&] {
    late_user.threw = &threw;           // constructed first, destroyed last
    NodeRef kept = In(ListOf(IntN()));  // creates the IR state after it
    {
      ScratchNodes scratch;
      scratch->push_back(IntN());
    }
  });
  t.join();
  EXPECT_TRUE(threw);
}

TEST(Interning, NodesOutliveTheThreadThatInternedThem) {
  NodeRef kept;
  NodeList list;
  std::thread t([&] {
    kept = In(SetOf(ListOf(StrN())));
    std::vector<SchemaNode> items{IntN(), StrN()};
    list = intern_node_list(items);
  });
  t.join();
  EXPECT_TRUE(node_eq(*kept, SetOf(ListOf(StrN()))));
  EXPECT_EQ(list.size(), 2u);
}

}  // namespace
}  // namespace tessolin::ir

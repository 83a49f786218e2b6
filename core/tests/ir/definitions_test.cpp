#include <gtest/gtest.h>

#include <thread>

#include "ir/definitions.hpp"
#include "ir_test_support.hpp"

namespace tessolin::ir {
namespace {

using namespace testing;

TEST(Placeholders, ResolveReplacesOnlyTheirId) {
  uint64_t id = new_placeholder_id();
  uint64_t other = new_placeholder_id();
  EXPECT_NE(id, other);
  EXPECT_TRUE(node_eq(resolve_placeholder(Ph(id), id, 4), Ref(4)));

  SchemaNode body = Rec({Field("next", U({NoneN(), Ph(id)})), Field("tag", Ph(other))}, {{StrN(), ListOf(Ph(id))}});
  SchemaNode resolved = resolve_placeholder(body, id, 2);
  SchemaNode expected = Rec({Field("next", U({NoneN(), Ref(2)})), Field("tag", Ph(other))}, {{StrN(), ListOf(Ref(2))}});
  EXPECT_TRUE(node_eq(resolved, expected));
  // References are kept, never entered.
  EXPECT_TRUE(node_eq(resolve_placeholder(Ref(0), id, 9), Ref(0)));
}

TEST(Placeholders, ResolveResortsMembersWithoutFolding) {
  uint64_t id = new_placeholder_id();
  // Written directly: Placeholder sorts after Instance, Reference(0) before.
  SchemaNode u = RawUnion({Inst(1), Ph(id)});
  SchemaNode r = resolve_placeholder(u, id, 0);
  ASSERT_TRUE(r.is(NodeKind::Union));
  EXPECT_EQ(kinds_of(r.members()), (std::vector<NodeKind>{NodeKind::Instance, NodeKind::Reference}));
  // A complement pair of a closed reference is not folded by the rewrite.
  SchemaNode pair = RawUnion({RawComplement(Ph(id)), Ph(id)});
  SchemaNode rp = resolve_placeholder(pair, id, 0);
  EXPECT_TRUE(rp.is(NodeKind::Union));
  EXPECT_EQ(rp.members().size(), 2u);
}

TEST(Placeholders, LiveStackIsPerThread) {
  uint64_t id = new_placeholder_id();
  SchemaNode tree = ListOf(U({IntN(), Ph(id)}));
  EXPECT_FALSE(find_unresolved_placeholder(ListOf(Ref(0))));
  EXPECT_TRUE(find_unresolved_placeholder(tree));
  push_placeholder(id);
  EXPECT_TRUE(placeholder_is_live(id));
  EXPECT_FALSE(find_unresolved_placeholder(tree));
  bool elsewhere = false;
  std::thread([&] { elsewhere = find_unresolved_placeholder(tree); }).join();
  EXPECT_TRUE(elsewhere);
  pop_placeholder();
  EXPECT_TRUE(find_unresolved_placeholder(tree));
  pop_placeholder();  // empty stack stays empty
  EXPECT_FALSE(placeholder_is_live(id));
}

TEST(Contractiveness, GuardsAndChains) {
  struct Case {
    const char* what;
    SchemaNode body;
    bool unguarded;
  };
  std::vector<SchemaNode> none;
  std::vector<Case> cases;
  cases.push_back({"bare reference", Ref(0), true});
  cases.push_back({"under union", RawUnion({IntN(), Ref(0)}), true});
  cases.push_back({"under intersection",
                   SchemaNode::intersection_of(intern_node_list(std::vector<SchemaNode>{StrN(), Ref(0)})), true});
  cases.push_back({"under complement", RawComplement(Ref(0)), true});
  cases.push_back({"under refinement",
                   SchemaNode::refinement(In(Ref(0)), ConstraintList::from_vector({Constraint::min_len(1)})), true});
  cases.push_back({"under list", ListOf(Ref(0)), false});
  cases.push_back({"under tuple prefix", TupleOf({Ref(0)}), false});
  cases.push_back({"under set", SetOf(Ref(0)), false});
  cases.push_back({"record field", Rec({Field("a", Ref(0))}), false});
  cases.push_back({"record clause key", DictOf(Ref(0), IntN()), false});
  cases.push_back({"record clause value", DictOf(StrN(), Ref(0)), false});
  cases.push_back({"object attribute", Obj({Field("a", Ref(0))}), false});
  for (const Case& c : cases) EXPECT_EQ(find_unguarded_reference(c.body, 0, none), c.unguarded) << c.what;

  // Through another definition: 1 reaches 0 unguarded.
  std::vector<SchemaNode> defs{IntN(), RawUnion({StrN(), Ref(0)})};
  EXPECT_TRUE(find_unguarded_reference(Ref(1), 0, defs));
  EXPECT_FALSE(find_unguarded_reference(ListOf(Ref(1)), 0, defs));
  // A cycle among other definitions ends.
  std::vector<SchemaNode> cycle{IntN(), RawUnion({StrN(), Ref(2)}), RawUnion({BytesN(), Ref(1)})};
  EXPECT_FALSE(find_unguarded_reference(Ref(1), 0, cycle));
  // Numbers past the definitions are not entered.
  EXPECT_FALSE(find_unguarded_reference(Ref(5), 0, cycle));
}

TEST(Contractiveness, SharedDefinitionChainsStayLinear) {
  // Each definition reaches the next one twice, unguarded: a per-path search
  // would take 2^60 steps.
  std::vector<SchemaNode> defs;
  defs.push_back(IntN());  // definition 0 is the target
  for (uint64_t i = 1; i <= 60; ++i) {
    uint64_t next = i == 60 ? 61 : i + 1;  // 61 is past the end
    defs.push_back(RawUnion({Ref(next), RawComplement(Ref(next))}));
  }
  EXPECT_FALSE(find_unguarded_reference(Ref(1), 0, defs));
}

}  // namespace
}  // namespace tessolin::ir

// Decisions through the descriptor algebra from several threads at once,
// under ThreadSanitizer: the process-wide tops built by racing first users,
// shared descriptors read and combined concurrently, and whole decisions
// over shared schema nodes. The first test must stay first: it is the
// process's first use of the shared tops.
#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#include "../decide/decide_test_support.hpp"
#include "../descr_lowering/table_oracle.hpp"
#include "decide/descriptor_decisions.hpp"
#include "descr/descriptor_combine.hpp"
#include "descr/descriptor_complement.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/lowering.hpp"

namespace tessolin::decide {
namespace {

using namespace testing;
using descr::Descriptor;
using descr::testing::TableOracle;
using ir::Constraint;
using ir::Emptiness;

constexpr int kThreads = 8;

template <class Body>
void run_together(Body body) {
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      body(t);
    });
  }
  for (std::thread& th : threads) th.join();
}

const descr::ByteAutomaton* str_top_automaton(const Descriptor& d) {
  return std::get<descr::AutomatonDomain>(d.slot(SlotKind::Str).lines.at(0).domain).automaton.get();
}
const descr::ByteAutomaton* bytes_top_automaton(const Descriptor& d) {
  return std::get<descr::AutomatonDomain>(d.slot(SlotKind::Bytes).lines.at(0).domain).automaton.get();
}

TEST(DecisionThreads, RacingFirstUsersShareOneTop) {
  std::vector<const descr::ByteAutomaton*> str_tops(kThreads), bytes_tops(kThreads);
  std::vector<const Descriptor*> nothings(kThreads);
  std::vector<descr::SharedDescriptor> keep(kThreads);
  run_together([&](int t) {
    str_tops[t] = str_top_automaton(descr::kind_top_descriptor(static_cast<uint8_t>(SlotKind::Str)));
    bytes_tops[t] = bytes_top_automaton(descr::anything_descriptor());
    keep[t] = descr::shared_nothing();
    nothings[t] = keep[t].get();
  });
  for (int t = 1; t < kThreads; ++t) {
    EXPECT_EQ(str_tops[t], str_tops[0]);
    EXPECT_EQ(bytes_tops[t], bytes_tops[0]);
    EXPECT_EQ(nothings[t], nothings[0]);
  }
}

// Nodes and one shared descriptor built on this thread, then read and
// combined by every thread at once.
TEST(DecisionThreads, SharedDescriptorsCombinedConcurrently) {
  TableOracle oracle;
  oracle.set_int(0, 10).set_int(1, 20);
  uint32_t allowance = descr::kLoweringAllowance;
  descr::Outcome<Descriptor> lowered =
      descr::lower_node(U({Refine(IntN(), {Constraint::ge(0), Constraint::le(1)}), Obj({Field("x", StrN())})}), oracle,
                        allowance, descr::kLoweringDepth);
  ASSERT_TRUE(lowered);
  const descr::SharedDescriptor shared = descr::make_shared_descriptor(std::move(*lowered));
  std::vector<int> failures(kThreads, 0);
  run_together([&](int t) {
    for (int round = 0; round < 20; ++round) {
      descr::FuelWindow window;
      descr::SharedDescriptor mine = shared;  // a handle of this thread's own
      if (descr::descriptor_emptiness(*mine) == Emptiness::Empty) ++failures[t];
      const Descriptor outside = descr::complement_descriptor(*mine);
      descr::Outcome<Descriptor> nothing = descr::combine_descriptors(*mine, outside, descr::CombineMode::Meet);
      if (!nothing || descr::descriptor_emptiness(*nothing) != Emptiness::Empty) ++failures[t];
      descr::Outcome<Descriptor> all = descr::combine_descriptors(outside, *shared, descr::CombineMode::Join);
      if (!all) ++failures[t];
    }
  });
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << t;
}

TEST(DecisionThreads, WholeDecisionsOverSharedNodes) {
  const SchemaNode range = Refine(IntN(), {Constraint::ge(0), Constraint::le(1)});
  const SchemaNode above = Refine(IntN(), {Constraint::gt(2)});
  const SchemaNode digits = Refine(StrN(), {Constraint::pattern("[0-9]{4}")});
  const SchemaNode four = Refine(StrN(), {Constraint::min_len(4), Constraint::max_len(4)});
  const SchemaNode clash =
      RawIntersection({Refine(StrN(), {Constraint::pattern("x+")}), Refine(StrN(), {Constraint::pattern("y*z")})});
  const std::vector<SchemaNode> definitions = {U({IntN(), Obj({Field("x", Ref(0))})})};
  std::vector<int> failures(kThreads, 0);
  run_together([&](int t) {
    TableOracle oracle;  // one oracle per query thread, as the relation methods build
    oracle.set_int(0, 10).set_int(1, 20).set_int(2, 9);
    const uint64_t fuel_before = descr::fuel_left();
    for (int round = 0; round < 10; ++round) {
      if (relation_by_descriptors(range, above, oracle, definitions) != Relation::Subset) ++failures[t];
      if (relation_by_descriptors(above, range, oracle, definitions) != Relation::NotSubset) ++failures[t];
      if (relation_by_descriptors(digits, four, oracle, definitions) != Relation::Subset) ++failures[t];
      if (!decide_empty(clash, oracle, definitions)) ++failures[t];
      if (relation_by_descriptors(U({StrN(), Ref(0)}), IntN(), oracle, definitions) != Relation::Undecided) {
        ++failures[t];
      }
    }
    if (descr::fuel_left() != fuel_before) ++failures[t];
  });
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << t;
}

}  // namespace
}  // namespace tessolin::decide

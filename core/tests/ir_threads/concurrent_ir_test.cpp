#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "ir/constructors.hpp"
#include "ir/definitions.hpp"
#include "ir/intern.hpp"
#include "ir/node_order.hpp"
#include "ir/node_walk.hpp"
#include "ir/renumber.hpp"

namespace tessolin::ir {
namespace {

SchemaNode list_of(SchemaNode item) {
  RepeatingSequence rs = repeating_sequence(std::move(item));
  return SchemaNode::sequence(SequenceKind::List, std::move(rs.prefix), std::move(rs.tail));
}

// Nodes built on one thread are read, combined and released on others.
TEST(ConcurrentIr, SharedNodesAcrossThreads) {
  std::vector<SchemaNode> shared;
  for (uint64_t i = 0; i < 16; ++i)
    shared.push_back(list_of(make_union({SchemaNode::literal(i), SchemaNode::plain(NodeKind::Str)})));
  SchemaNode reference = make_union(std::vector<SchemaNode>(shared.begin(), shared.end()));

  constexpr int kThreads = 4;
  std::vector<int> ok(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        std::vector<SchemaNode> members(shared.rbegin(), shared.rend());
        std::rotate(members.begin(), members.begin() + (round + t) % 16, members.end());
        SchemaNode u = make_union(std::move(members));
        SchemaNode c = make_complement(make_complement(u));
        std::vector<ReferenceRenumbering> table;
        SchemaNode r = renumber_references(c, table);
        if (node_eq(r, reference) && count_nodes(r) == count_nodes(reference) && node_depth(r) == node_depth(reference))
          ++ok[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(ok[t], 200);
}

// One thread interns and hands its nodes to another that drops them, so the
// first thread's weak slots race with the last release.
TEST(ConcurrentIr, WeakUpgradeRacesWithRelease) {
  std::mutex m;
  std::deque<NodeRef> handoff;
  std::atomic<bool> done{false};
  std::thread dropper([&] {
    while (!done.load() || [&] {
      std::lock_guard<std::mutex> g(m);
      return !handoff.empty();
    }()) {
      std::deque<NodeRef> batch;
      {
        std::lock_guard<std::mutex> g(m);
        batch.swap(handoff);
      }
      batch.clear();
    }
  });
  std::thread producer([&] {
    for (int i = 0; i < 20000; ++i) {
      NodeRef r = intern_node(list_of(SchemaNode::literal(static_cast<uint64_t>(i % 8))));
      EXPECT_EQ(r->tail()->number(), static_cast<uint64_t>(i % 8));
      std::lock_guard<std::mutex> g(m);
      handoff.push_back(std::move(r));
    }
    done.store(true);
  });
  producer.join();
  dropper.join();
}

TEST(ConcurrentIr, PlaceholderIdsAreUniqueAcrossThreads) {
  constexpr int kThreads = 4;
  constexpr int kEach = 1000;
  std::vector<std::vector<uint64_t>> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        uint64_t id = new_placeholder_id();
        push_placeholder(id);
        ids[t].push_back(id);
      }
      for (int i = 0; i < kEach; ++i) pop_placeholder();
    });
  for (auto& th : threads) th.join();
  std::set<uint64_t> all;
  for (auto& v : ids) all.insert(v.begin(), v.end());
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
}

TEST(ConcurrentIr, ManyShortLivedThreadsTearDownCleanly) {
  SchemaNode kept = list_of(SchemaNode::plain(NodeKind::Int));
  for (int round = 0; round < 20; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&] {
        NodeRef r = intern_node(kept);
        SchemaNode u = make_union({kept, SchemaNode::plain(NodeKind::None)});
        (void)make_record({}, {CatchAll{u, kept}});
      });
    for (auto& th : threads) th.join();
  }
  EXPECT_TRUE(kept.tail()->is(NodeKind::Int));
}

}  // namespace
}  // namespace tessolin::ir

// First use of the two shared top automata from many threads at once: one
// build each, every thread handed the same automaton.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "descr/byte_automaton.hpp"

namespace tessolin::descr {
namespace {

TEST(TopAutomataRaceTest, FirstUseFromEightThreads) {
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::vector<AutomatonHandle> utf8(kThreads), any(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      // Half the threads ask for the str top first.
      if (i % 2) utf8[i] = build_utf8_automaton();
      any[i] = any_bytes_automaton();
      if (!(i % 2)) utf8[i] = build_utf8_automaton();
      // Read the shared automata while others do the same.
      EXPECT_TRUE(automaton_accepts(*utf8[i], "\xED\xA0\x80"));
      EXPECT_TRUE(automaton_accepts(*any[i], "\xFF"));
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 1; i < kThreads; ++i) {
    EXPECT_EQ(utf8[i], utf8[0]);
    EXPECT_EQ(any[i], any[0]);
  }
  EXPECT_EQ(utf8[0]->state_count(), 8u);
}

}  // namespace
}  // namespace tessolin::descr

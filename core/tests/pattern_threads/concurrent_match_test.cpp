// One compiled pattern serves many threads; first-use Unicode tables and the
// per-thread simulation scratch are built under contention.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "pattern/byte_automaton.hpp"
#include "pattern/pattern.hpp"

namespace tessolin::pattern {
namespace {

struct Probe {
  const char* text;
  bool expected;
};

TEST(ConcurrentMatchTest, SharedPatternsGiveTheSameAnswers) {
  struct Shared {
    std::shared_ptr<const Pattern> pattern;
    std::vector<Probe> probes;
  };
  std::vector<Shared> shared;
  auto add = [&](const char* p, std::vector<Probe> probes) {
    CompileResult r = compile(p);
    ASSERT_TRUE(r) << r.error.message;
    shared.push_back({r.pattern, std::move(probes)});
  };
  add("\\w+@\\w+\\.com", {{"héllo@wörld.com", true}, {"a@b.org", false}});
  add("(?:a|b)*a(?:a|b){20}", {{"ba"
                                "aaaaaaaaaaaaaaaaaaaa",
                                true},
                               {"bbbbbbbbbbbbbbbbbbbbbbb", false}});
  add("\\bé\\b", {{"é", true}, {"e", false}});
  ASSERT_FALSE(shared[1].pattern->dfa_is_complete());  // texts may fall back to the simulation

  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 300; ++round)
        for (const Shared& s : shared)
          for (const Probe& probe : s.probes)
            if (s.pattern->full_match(probe.text) != probe.expected) mismatches.fetch_add(1);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(ConcurrentMatchTest, CompilingConcurrentlyBuildsTablesOnce) {
  const char* const patterns[] = {"(?i)straße", "\\p{Greek}+", "\\p{scx=Grek}", "[[:alpha:]&&\\p{Lu}]",
                                  "(?i)\\w+",   "\\d\\s\\w",   "\\p{Emoji}"};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 7; ++i) {
        CompileResult r = compile(patterns[(i + t) % 7]);
        if (!r) failures.fetch_add(1);
        if (!automaton_from_pattern(patterns[(i + t) % 7], true)) failures.fetch_add(1);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  CompileResult folded = compile("(?i)straße");
  ASSERT_TRUE(folded);
  EXPECT_TRUE(folded.pattern->full_match("STRAẞE"));
}

}  // namespace
}  // namespace tessolin::pattern

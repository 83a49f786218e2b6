// Shared descriptors across threads: the first use of shared_nothing from
// many threads at once (one object for all), and the operations on shared
// handles run concurrently over the same immutable operands, each thread
// spending its own fuel word.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "descr/descriptor_order.hpp"
#include "descr/emptiness.hpp"
#include "descr/fuel.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {
namespace {

constexpr int kThreads = 8;

void start_together(std::atomic<int>& ready) {
  ready.fetch_add(1);
  while (ready.load() < kThreads) std::this_thread::yield();
}

TEST(SharedDescriptorRace, FirstUseOfSharedNothing) {
  std::atomic<int> ready{0};
  std::vector<SharedDescriptor> seen(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      start_together(ready);
      seen[i] = shared_nothing();
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 1; i < kThreads; ++i) EXPECT_EQ(seen[i], seen[0]);
  EXPECT_EQ(descriptor_emptiness(*seen[0]), Emptiness::Empty);
}

TEST(SharedDescriptorRace, OperationsOnSharedOperands) {
  Descriptor ints;
  set_single_line(ints, 2, integer_set_range(true, 0, true, 100));
  Descriptor small;
  set_single_line(small, 2, integer_set_range(true, 10, true, 20));
  const SharedDescriptor a = make_shared_descriptor(std::move(ints));
  const SharedDescriptor b = make_shared_descriptor(std::move(small));
  std::atomic<int> ready{0};
  std::vector<SharedDescriptor> meets(kThreads);
  std::vector<Inclusion> inclusions(kThreads);
  std::vector<uint8_t> starved_gave_up(kThreads);  // not vector<bool>: one byte per thread
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      start_together(ready);
      {
        FuelWindow window;
        Outcome<SharedDescriptor> m = meet_shared_descriptors(a, complement_shared(b));
        if (m) meets[i] = *m;
        inclusions[i] = included_in(a, b);
      }
      // A starved thread gives up without touching the others' fuel.
      FuelWindow starved(0);
      starved_gave_up[i] = !meet_shared_descriptors(a, b).has_value();
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_NE(meets[i], nullptr) << i;
    EXPECT_TRUE(descriptor_eq(*meets[i], *meets[0]));
    EXPECT_EQ(inclusions[i], Inclusion::Included);
    EXPECT_TRUE(starved_gave_up[i]);
  }
  EXPECT_EQ(descriptor_emptiness(*meets[0]), Emptiness::Inhabited);
}

}  // namespace
}  // namespace tessolin::descr

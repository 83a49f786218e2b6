// Table drivers for the lowering tests: lower a node with the full
// allowance and depth, then check which slots it fills and which sample
// values it holds, or that it gives up.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "descr/lowering.hpp"
#include "value_probe.hpp"

namespace tessolin::descr::testing {

inline Outcome<Descriptor> lower(const ir::SchemaNode& n, ir::Oracle& oracle, uint32_t depth = kLoweringDepth) {
  uint32_t allowance = kLoweringAllowance;
  return lower_node(n, oracle, allowance, depth);
}

struct LoweringCase {
  std::string what;
  ir::SchemaNode node;
  std::vector<Sample> in;
  std::vector<Sample> out;
  std::optional<std::vector<size_t>> slots = std::nullopt;  // the filled slots, when checked
};

inline void check_cases(const std::vector<LoweringCase>& cases, ir::Oracle& oracle) {
  for (const LoweringCase& c : cases) {
    Outcome<Descriptor> d = lower(c.node, oracle);
    ASSERT_TRUE(d.has_value()) << c.what;
    if (c.slots) {
      EXPECT_EQ(filled_slots(*d), *c.slots) << c.what;
    }
    for (const Sample& v : c.in) EXPECT_EQ(holds(*d, v), std::optional<bool>(true)) << c.what << " " << v.integer;
    for (const Sample& v : c.out) EXPECT_EQ(holds(*d, v), std::optional<bool>(false)) << c.what << " " << v.integer;
  }
}

inline void check_give_ups(const std::vector<std::pair<std::string, ir::SchemaNode>>& cases, ir::Oracle& oracle) {
  for (const auto& [what, node] : cases) EXPECT_FALSE(lower(node, oracle).has_value()) << what;
}

}  // namespace tessolin::descr::testing

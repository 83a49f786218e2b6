// Size limits every finished schema must respect; their values and reasons
// are in limits/limits.hpp.
#pragma once

#include <cstdint>

#include "limits/limits.hpp"

namespace tessolin::ir {

inline constexpr uint64_t kMaxSchemaDepth = limits::kMaxSchemaDepth;
inline constexpr uint64_t kMaxDefinitions = limits::kMaxDefinitions;
inline constexpr uint64_t kMaxSchemaNodes = limits::kMaxSchemaNodes;
inline constexpr uint32_t kMaxRewriteDepth = limits::kMaxRewriteDepth;

}  // namespace tessolin::ir

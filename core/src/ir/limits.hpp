// Size limits every finished schema must respect.
#pragma once

#include <cstdint>

namespace tessolin::ir {

inline constexpr uint64_t kMaxSchemaDepth = 128;
inline constexpr uint64_t kMaxDefinitions = 128;
inline constexpr uint64_t kMaxSchemaNodes = 100000;

// Deepest nesting the recursive rewrites (rebuild, renumbering, placeholder
// resolution, later rewrites) accept; past it they throw InternalError rather
// than risk the native stack. Every public road finalises schemas, which
// caps their depth at kMaxSchemaDepth, so only a broken caller gets here.
inline constexpr uint32_t kMaxRewriteDepth = 2048;

}  // namespace tessolin::ir

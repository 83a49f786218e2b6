// The one place where a pattern text becomes a compiled full-match pattern:
// the compiler's test compile, the precompute tables and the refinement
// walk all come here.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "pattern/pattern.hpp"

namespace tessolin::build {

using AnchoredPattern = pattern::Pattern;

struct AnchoredPatternResult {
  std::shared_ptr<const AnchoredPattern> pattern;  // null on failure
  std::string error;                               // the engine's text when null
};

// Compiles `source` to match whole texts. Never throws for a bad pattern.
AnchoredPatternResult compile_anchored_pattern(std::string_view source);

}  // namespace tessolin::build

#include "compile/annotated/anchored_pattern.hpp"

namespace tessolin::build {

AnchoredPatternResult compile_anchored_pattern(std::string_view source) {
  // The source is parsed on its own and its tree anchored, never spliced
  // into anchor text: a spliced `a)|(b` would close the wrapper's group
  // and match texts that only start with a or only end with b. A trailing
  // verbose-mode comment cannot swallow a closing group either, so no
  // retry with a line feed is needed.
  pattern::CompileResult result = pattern::compile(source);
  if (result) return {std::move(result.pattern), {}};
  return {nullptr, std::move(result.error.message)};
}

}  // namespace tessolin::build

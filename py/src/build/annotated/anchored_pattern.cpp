#include "build/annotated/anchored_pattern.hpp"

namespace tessolin::build {

AnchoredPatternResult compile_anchored_pattern(std::string_view source) {
    // The engine parses the source on its own and anchors it at both ends,
    // so a trailing verbose-mode comment cannot swallow a closing group and
    // no second attempt with a line feed is needed.
    pattern::CompileResult result = pattern::compile(source);
    if (result) return {std::move(result.pattern), {}};
    return {nullptr, std::move(result.error.message)};
}

}  // namespace tessolin::build

// Reads pattern text into a SyntaxTree, refusing what the syntax refuses.
#pragma once

#include <string_view>

#include "pattern/options.hpp"
#include "pattern/syntax_tree.hpp"

namespace tessolin::pattern {

// Parses `source` on its own (the wrapper is accounted for only in the
// nesting limit). On failure returns false and fills `error`.
bool parse_pattern(std::string_view source, const Options& options, SyntaxTree& tree, PatternError& error);

}  // namespace tessolin::pattern

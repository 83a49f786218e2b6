// Spellings that our engine and Python's `re` both accept but read
// differently. A pattern usually comes from an re.Pattern, so a text its
// author tested with `re` must not quietly match other texts here: each such
// spelling is refused when the schema is built.
#pragma once

#include <string_view>

namespace tessolin::build {

// Throws PythonError with a ValueError pending at the first divergent
// spelling of `text` (UTF-8; positions are counted in code points):
// - inside a class: a nested `[` (including `[:`, which `re` reads as
//   members rather than an ASCII class), `&&`, `--`, `~~`, and under a
//   verbose flag a blank or `#` (skipped here, members to `re`);
// - outside classes: a possessive-looking `*+`, `++`, `?+`, `{n,m}+`;
//   `\<` and `\>`; `\b{` before a letter; a count with blanks in its braces.
void scan_divergent_spellings(std::string_view text);

}  // namespace tessolin::build

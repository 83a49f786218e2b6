// The three-valued answer of every emptiness test, shared by the schema-level
// decisions and the descriptor algebra. Empty and Inhabited are proofs;
// Undecided claims nothing.
#pragma once

#include <cstdint>

namespace tessolin::ir {

enum class Emptiness : uint8_t { Empty = 0, Inhabited = 1, Undecided = 2 };

}  // namespace tessolin::ir

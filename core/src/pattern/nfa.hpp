// Thompson automaton over bytes: the compiled form every matcher and the
// byte-automaton export start from.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/options.hpp"
#include "pattern/syntax_tree.hpp"

namespace tessolin::pattern {

enum class NfaKind : uint8_t {
  kByteRange,  // one byte in [lo, hi] moves to next
  kSparse,     // transitions[begin, end): disjoint byte ranges, each with its own next
  kUnion,      // epsilon to each of alternatives[begin, end)
  kLook,       // epsilon to next where the assertion holds
  kMatch,
  kFail,
};

struct NfaTransition {
  uint8_t lo;
  uint8_t hi;
  uint32_t next;
};

struct NfaState {
  NfaKind kind = NfaKind::kFail;
  LookKind look = LookKind::kStartText;
  uint8_t lo = 0;
  uint8_t hi = 0;
  uint32_t next = 0;
  uint32_t begin = 0;
  uint32_t end = 0;
};

// Which facts about the neighbouring bytes the assertions of an automaton read.
struct LookNeeds {
  bool any = false;
  bool start = false;      // at the start of the text
  bool line_feed = false;  // a neighbouring byte is LF
  bool carriage_return = false;
  bool ascii_word = false;    // a neighbouring byte is [0-9A-Za-z_]
  bool unicode_word = false;  // a neighbouring code point is \w
};

struct Nfa {
  std::vector<NfaState> states;
  std::vector<NfaTransition> transitions;
  std::vector<uint32_t> alternatives;
  uint32_t start = 0;
  LookNeeds needs;
};

// Compiles the tree anchored at both ends (start state at the start of the
// text, the match state reached only when all bytes are consumed by the
// caller). False with `error` filled when the size limit is passed.
bool compile_nfa(const SyntaxTree& tree, const Options& options, Nfa& nfa, PatternError& error);

}  // namespace tessolin::pattern

// The parsed form of a pattern: character sets, assertions, repetition,
// concatenation and alternation. Nodes live in one arena and refer to their
// children by index, so a deep tree is freed without recursion.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/codepoint_set.hpp"

namespace tessolin::pattern {

enum class LookKind : uint8_t {
  kStartText,
  kEndText,
  kStartLF,
  kEndLF,
  kStartCRLF,
  kEndCRLF,
  kWordAscii,
  kNotWordAscii,
  kWordStartAscii,
  kWordEndAscii,
  kWordStartHalfAscii,
  kWordEndHalfAscii,
  kWordUnicode,
  kNotWordUnicode,
  kWordStartUnicode,
  kWordEndUnicode,
  kWordStartHalfUnicode,
  kWordEndHalfUnicode,
};

inline bool is_unicode_word_look(LookKind k) { return k >= LookKind::kWordUnicode; }

enum class NodeKind : uint8_t {
  kEmpty,
  kUnicodeClass,  // scalar values, matched as their UTF-8
  kByteClass,     // raw bytes
  kLook,
  kRepeat,
  kConcat,
  kAlternate,
};

inline constexpr uint64_t kUnbounded = UINT64_MAX;

struct SyntaxNode {
  NodeKind kind = NodeKind::kEmpty;
  LookKind look = LookKind::kStartText;
  bool zero_width = true;  // can match only the empty string
  uint32_t min = 0;
  uint64_t max = 0;  // kUnbounded for no upper bound
  uint32_t set = 0;  // index into SyntaxTree::sets for the class kinds
  std::vector<uint32_t> children;
};

struct SyntaxTree {
  std::vector<SyntaxNode> nodes;
  std::vector<CodepointSet> sets;
  uint32_t root = 0;
};

}  // namespace tessolin::pattern

// What the assertions see: the kind of the byte before and after a position.
#pragma once

#include <cstdint>

#include "pattern/syntax_tree.hpp"

namespace tessolin::pattern {

// kEdge is the start of the text when describing the byte before a position,
// and the end of the text when describing the byte after it.
enum ByteContext : uint8_t { kEdge = 0, kLineFeed = 1, kCarriageReturn = 2, kAsciiWord = 3, kOtherByte = 4 };
inline constexpr int kByteContextCount = 5;

inline bool is_ascii_word_byte(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_';
}

inline ByteContext context_of_byte(uint8_t b) {
  if (b == '\n') return kLineFeed;
  if (b == '\r') return kCarriageReturn;
  if (is_ascii_word_byte(b)) return kAsciiWord;
  return kOtherByte;
}

// Every assertion except the Unicode word ones, which need whole code points.
inline bool look_holds(LookKind k, ByteContext before, ByteContext after) {
  bool wb = before == kAsciiWord;
  bool wa = after == kAsciiWord;
  switch (k) {
    case LookKind::kStartText: return before == kEdge;
    case LookKind::kEndText: return after == kEdge;
    case LookKind::kStartLF: return before == kEdge || before == kLineFeed;
    case LookKind::kEndLF: return after == kEdge || after == kLineFeed;
    case LookKind::kStartCRLF:
      return before == kEdge || before == kLineFeed || (before == kCarriageReturn && after != kLineFeed);
    case LookKind::kEndCRLF:
      return after == kEdge || after == kCarriageReturn || (after == kLineFeed && before != kCarriageReturn);
    case LookKind::kWordAscii: return wb != wa;
    case LookKind::kNotWordAscii: return wb == wa;
    case LookKind::kWordStartAscii: return !wb && wa;
    case LookKind::kWordEndAscii: return wb && !wa;
    case LookKind::kWordStartHalfAscii: return !wb;
    case LookKind::kWordEndHalfAscii: return !wa;
    default: return false;
  }
}

// The same for the Unicode word assertions, given whether the code points
// before and after are word characters.
inline bool unicode_word_look_holds(LookKind k, bool wb, bool wa) {
  switch (k) {
    case LookKind::kWordUnicode: return wb != wa;
    case LookKind::kNotWordUnicode: return wb == wa;
    case LookKind::kWordStartUnicode: return !wb && wa;
    case LookKind::kWordEndUnicode: return wb && !wa;
    case LookKind::kWordStartHalfUnicode: return !wb;
    case LookKind::kWordEndHalfUnicode: return !wa;
    default: return false;
  }
}

}  // namespace tessolin::pattern

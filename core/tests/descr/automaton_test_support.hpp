// Helpers for the byte automaton tests: string enumeration, a reference
// UTF-8 reader, and small automata built by hand.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "descr/byte_automaton.hpp"

namespace tessolin::descr::testing {

// Every concatenation of at most `max_pieces` pieces (the empty string first).
inline std::vector<std::string> all_strings(const std::vector<std::string>& pieces, size_t max_pieces) {
  std::vector<std::string> out{""};
  size_t level_begin = 0;
  for (size_t len = 1; len <= max_pieces; ++len) {
    size_t level_end = out.size();
    for (size_t i = level_begin; i < level_end; ++i)
      for (const std::string& p : pieces) out.push_back(out[i] + p);
    level_begin = level_end;
  }
  return out;
}

// The number of code points in `s` when it is a sequence of code points
// 0..10FFFF (surrogates included), each in its shortest UTF-8 form.
inline std::optional<size_t> code_points_with_surrogates(std::string_view s) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); ++count) {
    auto lead = uint8_t(s[i]);
    size_t len;
    uint32_t cp, min;
    if (lead < 0x80) {
      len = 1;
      cp = lead;
      min = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      len = 2;
      cp = lead & 0x1F;
      min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      len = 3;
      cp = lead & 0x0F;
      min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      len = 4;
      cp = lead & 0x07;
      min = 0x10000;
    } else
      return std::nullopt;
    if (i + len > s.size()) return std::nullopt;
    for (size_t k = 1; k < len; ++k) {
      auto b = uint8_t(s[i + k]);
      if ((b & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF) return std::nullopt;
    i += len;
  }
  return count;
}

// Strings with a count of `byte` divisible by `modulus` (other bytes ignored).
inline ByteAutomaton counter_automaton(uint8_t byte, uint32_t modulus) {
  ByteAutomaton a;
  a.classes[byte] = 1;
  a.class_count = 2;
  for (uint32_t s = 0; s < modulus; ++s) {
    a.transitions.push_back(s);
    a.transitions.push_back((s + 1) % modulus);
  }
  a.accepting.assign(modulus, 0);
  a.accepting[0] = 1;
  return a;
}

}  // namespace tessolin::descr::testing

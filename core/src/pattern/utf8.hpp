// UTF-8 encoding and decoding, and the split of code point ranges into
// sequences of byte ranges that match exactly their UTF-8 forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/codepoint_set.hpp"

namespace tessolin::pattern {

void append_utf8(std::string& out, uint32_t c);
// Strict decoding (no surrogates, no overlong forms); false on invalid input.
bool decode_utf8(std::string_view in, std::u32string& out);

// The code point that starts at `pos`, or -1 when the bytes there are not a
// valid UTF-8 scalar (or pos is the end).
int32_t decode_forward(std::string_view text, size_t pos);
// The code point that ends just before `pos`, or -1 likewise.
int32_t decode_backward(std::string_view text, size_t pos);

struct ByteRange {
  uint8_t lo;
  uint8_t hi;
  bool operator==(const ByteRange&) const = default;
};

struct Utf8Sequence {
  uint8_t length = 0;
  ByteRange ranges[4];
};

// Sequences in increasing order; together they match exactly the UTF-8 forms
// of the scalar values in `set` (surrogates never match).
std::vector<Utf8Sequence> utf8_sequences(const CodepointSet& set);

}  // namespace tessolin::pattern

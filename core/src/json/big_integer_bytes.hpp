#pragma once
// Exact conversion of an integer's decimal text to binary, for integers
// beyond 64 bits. No digit-count limit applies here: the parser already
// bounds the text.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tessolin::json {

// Magnitude of a run of decimal digits (no sign) as base-2^64 limbs, least
// significant first, without high zero limbs (empty for zero).
void decimal_digits_to_limbs(std::string_view digits, std::vector<std::uint64_t>& limbs);

// Decimal text (optional '-', then digits) as signed two's complement bytes,
// least significant first, long enough to carry the sign bit. The layout
// PyLong_FromNativeBytes reads with Py_ASNATIVEBYTES_LITTLE_ENDIAN.
void decimal_text_to_le_bytes(std::string_view text, std::vector<unsigned char>& bytes);

}  // namespace tessolin::json

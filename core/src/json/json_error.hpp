#pragma once
// Why a JSON document was refused, and where.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessolin::json {

enum class JsonErrorCode : std::uint8_t {
  EofWhileParsingList,
  EofWhileParsingObject,
  EofWhileParsingString,
  EofWhileParsingValue,
  ExpectedColon,
  ExpectedListCommaOrEnd,
  ExpectedObjectCommaOrEnd,
  ExpectedIdent,
  ExpectedValue,
  InvalidEscape,
  InvalidNumber,
  NumberOutOfRange,
  InvalidUnicodeCodePoint,
  ControlCharacterInString,
  KeyMustBeAString,
  LoneLeadingSurrogateInHexEscape,
  TrailingComma,
  TrailingCharacters,
  UnexpectedEndOfHexEscape,
  RecursionLimitExceeded,
  // A builder callback returned false; the builder holds its own reason
  // (for the Python builder, a pending Python exception).
  StoppedByBuilder,
};

// The fixed message of a code, without position.
std::string_view json_error_message(JsonErrorCode code) noexcept;

struct JsonError {
  JsonErrorCode code;
  // Line from 1, breaking at LF only. Column: 1-based byte offset of the
  // faulty byte within its line, or the number of bytes on the line when the
  // fault is the end of the input.
  std::size_t line;
  std::size_t column;

  // "<message> at line L column C".
  std::string text() const;
};

// Turns a fault position into a JsonError: `offset` is the faulty byte, or
// text.size() when the input ended too early.
JsonError locate_json_error(std::string_view text, JsonErrorCode code, std::size_t offset) noexcept;

}  // namespace tessolin::json

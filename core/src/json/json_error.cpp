#include "json/json_error.hpp"

#include <cstring>

namespace tessolin::json {

std::string_view json_error_message(JsonErrorCode code) noexcept {
  switch (code) {
    case JsonErrorCode::EofWhileParsingList: return "EOF while parsing a list";
    case JsonErrorCode::EofWhileParsingObject: return "EOF while parsing an object";
    case JsonErrorCode::EofWhileParsingString: return "EOF while parsing a string";
    case JsonErrorCode::EofWhileParsingValue: return "EOF while parsing a value";
    case JsonErrorCode::ExpectedColon: return "expected `:`";
    case JsonErrorCode::ExpectedListCommaOrEnd: return "expected `,` or `]`";
    case JsonErrorCode::ExpectedObjectCommaOrEnd: return "expected `,` or `}`";
    case JsonErrorCode::ExpectedIdent: return "expected ident";
    case JsonErrorCode::ExpectedValue: return "expected value";
    case JsonErrorCode::InvalidEscape: return "invalid escape";
    case JsonErrorCode::InvalidNumber: return "invalid number";
    case JsonErrorCode::NumberOutOfRange: return "number out of range";
    case JsonErrorCode::InvalidUnicodeCodePoint: return "invalid unicode code point";
    case JsonErrorCode::ControlCharacterInString:
      return "control character (\\u0000-\\u001F) found while parsing a string";
    case JsonErrorCode::KeyMustBeAString: return "key must be a string";
    case JsonErrorCode::LoneLeadingSurrogateInHexEscape: return "lone leading surrogate in hex escape";
    case JsonErrorCode::TrailingComma: return "trailing comma";
    case JsonErrorCode::TrailingCharacters: return "trailing characters";
    case JsonErrorCode::UnexpectedEndOfHexEscape: return "unexpected end of hex escape";
    case JsonErrorCode::RecursionLimitExceeded: return "recursion limit exceeded";
    case JsonErrorCode::StoppedByBuilder: return "parse stopped by the builder";
  }
  return "invalid JSON";
}

std::string JsonError::text() const {
  std::string out(json_error_message(code));
  out += " at line ";
  out += std::to_string(line);
  out += " column ";
  out += std::to_string(column);
  return out;
}

JsonError locate_json_error(std::string_view text, JsonErrorCode code, std::size_t offset) noexcept {
  if (offset > text.size()) offset = text.size();
  std::size_t line = 1;
  std::size_t line_start = 0;
  const char* data = text.data();
  std::size_t pos = 0;
  // Errors are rare, so a memchr walk over the prefix is cheap enough.
  while (pos < offset) {
    const void* lf = std::memchr(data + pos, '\n', offset - pos);
    if (lf == nullptr) break;
    pos = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
    ++line;
    line_start = pos;
  }
  const bool at_end = offset == text.size();
  const std::size_t column = offset - line_start + (at_end ? 0 : 1);
  return JsonError{code, line, column};
}

}  // namespace tessolin::json

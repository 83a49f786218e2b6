#pragma once
// A parsed JSON document as immutable values (no Python objects): what
// is_valid_json walks in place.

#include <optional>
#include <string_view>

#include "json/json_arena.hpp"
#include "json/json_error.hpp"
#include "json/json_value.hpp"

namespace tessolin::json {

class JsonDocument {
 public:
  JsonDocument() noexcept = default;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;
  JsonDocument(JsonDocument&&) noexcept = default;
  JsonDocument& operator=(JsonDocument&&) noexcept = default;

  // Null until a parse succeeds. Values reachable from it stay valid, at the
  // same addresses, for the document's lifetime (moves included).
  const JsonValue& root() const noexcept { return root_; }

 private:
  friend std::optional<JsonError> parse_json_document(std::string_view text, JsonDocument& document);

  JsonArena arena_;
  JsonValue root_;
};

// Parses text into document, replacing what it held. The document copies
// what it keeps: text may be dropped afterwards. On error the document is
// left holding null.
std::optional<JsonError> parse_json_document(std::string_view text, JsonDocument& document);

}  // namespace tessolin::json

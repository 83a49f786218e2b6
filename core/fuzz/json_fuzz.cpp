// libFuzzer target for the JSON parser. Build by hand from the repository root:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Icore/src \
//     core/fuzz/json_fuzz.cpp core/src/json/*.cpp -o /tmp/json_fuzz
// Both outputs of the parser must agree on every input, and a parsed
// document must hold only valid UTF-8 strings.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "json/json_document.hpp"
#include "json/json_parser.hpp"

namespace {

using namespace tessolin::json;

struct CountingBuilder {
  std::size_t values = 0;
  bool begin_array() { return true; }
  bool end_array(std::size_t) { return ++values != 0; }
  bool begin_object() { return true; }
  bool end_object(std::size_t) { return ++values != 0; }
  bool key(const JsonString&) { return true; }
  bool string(const JsonString&) { return ++values != 0; }
  bool integer(std::int64_t) { return ++values != 0; }
  bool big_integer(std::string_view) { return ++values != 0; }
  bool float64(double) { return ++values != 0; }
  bool boolean(bool) { return ++values != 0; }
  bool null() { return ++values != 0; }
};

bool valid_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    int n = 0;
    if (scan::check_utf8_sequence(s.data() + i, s.data() + s.size(), n) != scan::Utf8Check::Valid) return false;
    i += static_cast<std::size_t>(n);
  }
  return true;
}

void check(const JsonValue& v, unsigned depth) {
  if (depth > kMaxJsonNesting) std::abort();
  switch (v.kind()) {
    case JsonKind::String:
      if (!valid_utf8(v.as_string())) std::abort();
      break;
    case JsonKind::Array:
      for (const auto& item : v.items()) check(item, depth + 1);
      break;
    case JsonKind::Object:
      for (const auto& m : v.members()) {
        if (!valid_utf8(m.key.as_string())) std::abort();
        check(m.value, depth + 1);
      }
      break;
    default: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  JsonDocument document;
  const auto a = parse_json_document(text, document);
  CountingBuilder counter;
  const auto b = parse_json(text, counter);
  if (a.has_value() != b.has_value()) std::abort();
  if (a && (a->code != b->code || a->line != b->line || a->column != b->column)) std::abort();
  if (!a) check(document.root(), 0);
  return 0;
}

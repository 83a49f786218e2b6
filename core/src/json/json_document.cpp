#include "json/json_document.hpp"

#include <cstring>
#include <vector>

#include "json/json_duplicate_keys.hpp"
#include "json/json_parser.hpp"

namespace tessolin::json {
namespace {

// Builds JsonValues: open containers keep their items (objects: key, value,
// key, value, ...) on one stack, copied into the arena when they close.
class JsonValueBuilder {
 public:
  explicit JsonValueBuilder(JsonArena& arena) : arena_(arena) { stack_.reserve(64); }

  bool begin_array() noexcept { return true; }
  bool begin_object() noexcept { return true; }

  bool end_array(std::size_t count) {
    JsonValue* first = stack_.data() + stack_.size() - count;
    const JsonValue* items = copy_values(first, count);
    stack_.resize(stack_.size() - count);
    stack_.push_back(JsonValue::array(items, count));
    return true;
  }

  bool end_object(std::size_t count) {
    JsonValue* first = stack_.data() + stack_.size() - 2 * count;
    const std::size_t kept = merger_.merge(first, count);
    const auto* members = static_cast<const JsonMember*>(copy_bytes(first, kept * sizeof(JsonMember)));
    stack_.resize(stack_.size() - 2 * count);
    stack_.push_back(JsonValue::object(members, kept));
    return true;
  }

  bool key(const JsonString& s) { return string(s); }
  bool string(const JsonString& s) {
    const auto* text = static_cast<const char*>(copy_bytes(s.utf8.data(), s.utf8.size()));
    stack_.push_back(JsonValue::string(std::string_view(text, s.utf8.size()), s.ascii));
    return true;
  }
  bool big_integer(std::string_view digits) {
    const auto* text = static_cast<const char*>(copy_bytes(digits.data(), digits.size()));
    stack_.push_back(JsonValue::big_int(std::string_view(text, digits.size())));
    return true;
  }
  bool integer(std::int64_t v) {
    stack_.push_back(JsonValue::integer(v));
    return true;
  }
  bool float64(double v) {
    stack_.push_back(JsonValue::real(v));
    return true;
  }
  bool boolean(bool v) {
    stack_.push_back(JsonValue::boolean(v));
    return true;
  }
  bool null() {
    stack_.push_back(JsonValue::null());
    return true;
  }

  JsonValue root() const noexcept { return stack_.back(); }

 private:
  const void* copy_bytes(const void* data, std::size_t bytes) {
    if (bytes == 0) return nullptr;
    void* out = arena_.allocate(bytes);
    std::memcpy(out, data, bytes);
    return out;
  }
  const JsonValue* copy_values(const JsonValue* first, std::size_t count) {
    return static_cast<const JsonValue*>(copy_bytes(first, count * sizeof(JsonValue)));
  }

  JsonArena& arena_;
  std::vector<JsonValue> stack_;
  DuplicateKeyMerger merger_;
};

}  // namespace

std::optional<JsonError> parse_json_document(std::string_view text, JsonDocument& document) {
  document.root_ = JsonValue::null();
  document.arena_.release();
  JsonValueBuilder builder(document.arena_);
  if (auto error = parse_json(text, builder)) {
    document.arena_.release();
    return error;
  }
  document.root_ = builder.root();
  return std::nullopt;
}

}  // namespace tessolin::json

// Random values, written out with random spacing and escaping, must parse
// back to themselves (objects with dict semantics for repeated keys).

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "json/json_document.hpp"

using tessolin::json::JsonDocument;
using tessolin::json::JsonKind;
using tessolin::json::JsonValue;
using tessolin::json::parse_json_document;

namespace {

struct Model {
  JsonKind kind = JsonKind::Null;
  bool boolean = false;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;  // String (UTF-8) or BigInt digits
  std::vector<Model> items;
  std::vector<std::pair<std::string, Model>> members;  // repeated keys allowed
};

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  Model value(int depth) {
    Model m;
    const int pick = static_cast<int>(rng_() % (depth > 0 ? 9 : 7));
    switch (pick) {
      case 0: m.kind = JsonKind::Null; break;
      case 1:
        m.kind = JsonKind::Bool;
        m.boolean = rng_() % 2;
        break;
      case 2:
        m.kind = JsonKind::Int;
        m.integer = static_cast<std::int64_t>(rng_()) >> (rng_() % 64);
        break;
      case 3: {
        m.kind = JsonKind::BigInt;
        if (rng_() % 2) m.text = "-";
        m.text += static_cast<char>('1' + rng_() % 9);
        const std::size_t digits = 19 + rng_() % 40;
        for (std::size_t i = 0; i < digits; ++i) m.text += static_cast<char>('0' + rng_() % 10);
        break;
      }
      case 4: {
        m.kind = JsonKind::Float;
        std::uint64_t bits;
        do {
          bits = rng_();
          std::memcpy(&m.real, &bits, 8);
        } while (!std::isfinite(m.real));
        if (rng_() % 2) m.real = static_cast<double>(static_cast<std::int64_t>(rng_() % 2000) - 1000) / 8;
        break;
      }
      case 5:
      case 6:
        m.kind = JsonKind::String;
        m.text = text();
        break;
      case 7: {
        m.kind = JsonKind::Array;
        const std::size_t n = rng_() % 6;
        for (std::size_t i = 0; i < n; ++i) m.items.push_back(value(depth - 1));
        break;
      }
      default: {
        m.kind = JsonKind::Object;
        const std::size_t n = rng_() % (rng_() % 4 == 0 ? 40 : 6);
        for (std::size_t i = 0; i < n; ++i) {
          // Few distinct keys, so repeats are common.
          std::string key = rng_() % 3 == 0 ? text() : std::string(1, static_cast<char>('a' + rng_() % 20));
          m.members.emplace_back(std::move(key), value(depth - 1));
        }
      }
    }
    return m;
  }

  std::string write(const Model& m) {
    std::string out;
    space(out);
    write_value(m, out);
    space(out);
    return out;
  }

 private:
  std::uint32_t code_point() {
    switch (rng_() % 6) {
      case 0: return static_cast<std::uint32_t>(rng_() % 0x20);  // control: must be escaped
      case 1: return static_cast<std::uint32_t>(0x80 + rng_() % (0x800 - 0x80));
      case 2: {
        std::uint32_t cp;
        do cp = static_cast<std::uint32_t>(0x800 + rng_() % (0x10000 - 0x800));
        while (cp >= 0xD800 && cp <= 0xDFFF);
        return cp;
      }
      case 3: return static_cast<std::uint32_t>(0x10000 + rng_() % (0x110000 - 0x10000));
      case 4: return "\"\\/"[rng_() % 3];
      default: return static_cast<std::uint32_t>(0x20 + rng_() % 0x5F);
    }
  }

  static void utf8(std::uint32_t cp, std::string& out) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string text() {
    std::string s;
    // Lengths past the scanner's block size, now and then.
    const std::size_t n = rng_() % 5 == 0 ? rng_() % 70 : rng_() % 8;
    for (std::size_t i = 0; i < n; ++i) utf8(code_point(), s);
    return s;
  }

  void hex4(std::uint32_t v, std::string& out) {
    const char* digits = rng_() % 2 ? "0123456789abcdef" : "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[v >> shift & 0xF];
  }

  void write_string(const std::string& s, std::string& out) {
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
      const auto lead = static_cast<unsigned char>(s[i]);
      const std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      std::uint32_t cp = len == 1 ? lead : len == 2 ? lead & 0x1F : len == 3 ? lead & 0x0F : lead & 0x07;
      for (std::size_t k = 1; k < len; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
      const bool must_escape = cp < 0x20 || cp == '"' || cp == '\\';
      if (must_escape || rng_() % 4 == 0) {
        const char* shorts = nullptr;
        switch (cp) {
          case '"': shorts = "\\\""; break;
          case '\\': shorts = "\\\\"; break;
          case '/': shorts = "\\/"; break;
          case '\b': shorts = "\\b"; break;
          case '\f': shorts = "\\f"; break;
          case '\n': shorts = "\\n"; break;
          case '\r': shorts = "\\r"; break;
          case '\t': shorts = "\\t"; break;
          default: break;
        }
        if (shorts != nullptr && rng_() % 2) {
          out += shorts;
        } else if (cp >= 0x10000) {
          out += "\\u";
          hex4(0xD800 + ((cp - 0x10000) >> 10), out);
          out += "\\u";
          hex4(0xDC00 + ((cp - 0x10000) & 0x3FF), out);
        } else {
          out += "\\u";
          hex4(cp, out);
        }
      } else {
        out.append(s, i, len);
      }
      i += len;
    }
    out += '"';
  }

  void space(std::string& out) {
    if (rng_() % 3) return;
    const std::size_t n = 1 + rng_() % 3;
    for (std::size_t i = 0; i < n; ++i) out += " \t\r\n"[rng_() % 4];
  }

  void write_value(const Model& m, std::string& out) {
    switch (m.kind) {
      case JsonKind::Null: out += "null"; break;
      case JsonKind::Bool: out += m.boolean ? "true" : "false"; break;
      case JsonKind::Int: out += std::to_string(m.integer); break;
      case JsonKind::BigInt: out += m.text; break;
      case JsonKind::Float: {
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, m.real).ptr;
        std::string t(buffer, end);
        if (t.find_first_of(".e") == std::string::npos) t += ".0";
        out += t;
        break;
      }
      case JsonKind::String: write_string(m.text, out); break;
      case JsonKind::Array:
        out += '[';
        for (std::size_t i = 0; i < m.items.size(); ++i) {
          if (i) out += ',';
          space(out);
          write_value(m.items[i], out);
          space(out);
        }
        out += ']';
        break;
      case JsonKind::Object:
        out += '{';
        for (std::size_t i = 0; i < m.members.size(); ++i) {
          if (i) out += ',';
          space(out);
          write_string(m.members[i].first, out);
          space(out);
          out += ':';
          space(out);
          write_value(m.members[i].second, out);
          space(out);
        }
        out += '}';
        break;
    }
  }

  std::mt19937_64 rng_;
};

// dict(pairs): first position, last value.
std::vector<std::pair<std::string, const Model*>> merged(const Model& m) {
  std::vector<std::pair<std::string, const Model*>> out;
  for (const auto& [key, value] : m.members) {
    bool found = false;
    for (auto& entry : out)
      if (entry.first == key) {
        entry.second = &value;
        found = true;
      }
    if (!found) out.emplace_back(key, &value);
  }
  return out;
}

::testing::AssertionResult same(const Model& m, const JsonValue& v) {
  if (m.kind != v.kind()) return ::testing::AssertionFailure() << "kind " << int(v.kind()) << " != " << int(m.kind);
  switch (m.kind) {
    case JsonKind::Null: return ::testing::AssertionSuccess();
    case JsonKind::Bool:
      return m.boolean == v.as_bool() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "bool";
    case JsonKind::Int:
      return m.integer == v.as_int() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << v.as_int();
    case JsonKind::BigInt:
      return m.text == v.big_int_text() ? ::testing::AssertionSuccess()
                                        : ::testing::AssertionFailure() << v.big_int_text();
    case JsonKind::Float: {
      const double got = v.as_float();
      return std::memcmp(&got, &m.real, 8) == 0 ? ::testing::AssertionSuccess()
                                                : ::testing::AssertionFailure() << got << " != " << m.real;
    }
    case JsonKind::String: {
      if (m.text != v.as_string()) return ::testing::AssertionFailure() << "string " << v.as_string();
      bool ascii = true;
      for (char c : m.text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
      return ascii == v.is_ascii() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "ascii flag";
    }
    case JsonKind::Array: {
      if (m.items.size() != v.size()) return ::testing::AssertionFailure() << "array size";
      for (std::size_t i = 0; i < v.size(); ++i)
        if (auto r = same(m.items[i], v.items()[i]); !r) return r << " at [" << i << "]";
      return ::testing::AssertionSuccess();
    }
    case JsonKind::Object: {
      const auto expected = merged(m);
      if (expected.size() != v.size()) return ::testing::AssertionFailure() << "object size";
      for (std::size_t i = 0; i < v.size(); ++i) {
        if (expected[i].first != v.members()[i].key.as_string()) return ::testing::AssertionFailure() << "key order";
        if (auto r = same(*expected[i].second, v.members()[i].value); !r) return r << " at ." << expected[i].first;
      }
      return ::testing::AssertionSuccess();
    }
  }
  return ::testing::AssertionFailure() << "unknown kind";
}

TEST(JsonRoundTrip, RandomValuesParseBackToThemselves) {
  Generator gen(20240611);
  JsonDocument document;
  for (int i = 0; i < 3000; ++i) {
    const Model model = gen.value(5);
    const std::string text = gen.write(model);
    auto error = parse_json_document(text, document);
    ASSERT_FALSE(error.has_value()) << text << "\n" << error->text();
    ASSERT_TRUE(same(model, document.root())) << text;
  }
}

// Every byte of a valid document is fine where it stands, so a cut one can
// only fail at its end, with an EOF error. The prefix is an exact-size
// allocation so that the sanitizer build catches a read past it.
TEST(JsonRoundTrip, TruncatedDocumentsFailAtTheEnd) {
  using tessolin::json::JsonErrorCode;
  Generator gen(99);
  JsonDocument document;
  for (int i = 0; i < 300; ++i) {
    const std::string text = gen.write(gen.value(4));
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
      auto prefix = std::make_unique<char[]>(cut);
      std::memcpy(prefix.get(), text.data(), cut);
      const std::string_view view(prefix.get(), cut);
      auto error = parse_json_document(view, document);
      if (!error) continue;  // e.g. "12" cut from "123"
      const bool eof =
          error->code == JsonErrorCode::EofWhileParsingList || error->code == JsonErrorCode::EofWhileParsingObject ||
          error->code == JsonErrorCode::EofWhileParsingString || error->code == JsonErrorCode::EofWhileParsingValue;
      ASSERT_TRUE(eof) << view << "\n" << error->text();
      const auto at_end = tessolin::json::locate_json_error(view, error->code, cut);
      ASSERT_EQ(error->line, at_end.line) << view;
      ASSERT_EQ(error->column, at_end.column) << view;
    }
  }
}

}  // namespace

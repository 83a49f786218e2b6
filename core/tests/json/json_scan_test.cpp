// Each scanning level (portable, SSE2, AVX2: whichever this CPU runs) forced
// in turn and checked against byte-by-byte references, and whole documents
// parsed at each level against the portable one.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "json/json_document.hpp"
#include "json/json_scan.hpp"

namespace scan = tessolin::json::scan;
using scan::ScanLevel;
using tessolin::json::JsonDocument;
using tessolin::json::parse_json_document;

namespace {

std::vector<ScanLevel> levels_here() {
  std::vector<ScanLevel> out{ScanLevel::Portable};
  if (scan::best_scan_level() >= ScanLevel::Sse2) out.push_back(ScanLevel::Sse2);
  if (scan::best_scan_level() >= ScanLevel::Avx2) out.push_back(ScanLevel::Avx2);
  return out;
}

// Restores the level in use when a test ends.
class EachLevel : public ::testing::Test {
 protected:
  void TearDown() override { scan::set_scan_level(ScanLevel::Avx2); }
};

const char* naive_string_special(const char* p, const char* end) {
  while (p != end && !scan::ends_string_run(static_cast<unsigned char>(*p))) ++p;
  return p;
}

const char* naive_blank(const char* p, const char* end) {
  while (p != end && scan::is_blank(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// Random text of ASCII letters and multi-byte characters (valid UTF-8).
std::string utf8_text(std::mt19937& rng, size_t chars) {
  static const char* const pieces[] = {"a",
                                       "b",
                                       "0",
                                       " ",
                                       "\xC3\xA9",
                                       "\xE6\x97\xA5",
                                       "\xF0\x9F\x98\x80",
                                       "\xDF\xBF",
                                       "\xEF\xBF\xBD",
                                       "\xF4\x8F\xBF\xBF",
                                       "\xE0\xA0\x80",
                                       "\xED\x9F\xBF"};
  std::string out;
  for (size_t i = 0; i < chars; ++i) out += pieces[rng() % (sizeof pieces / sizeof *pieces)];
  return out;
}

TEST_F(EachLevel, StringRunsEndWhereTheReferenceSays) {
  std::mt19937 rng(7);
  const char specials[] = {'"', '\\', '\x01', '\x1f', '\x7f', '\x80', '\xff', ' ', 'a'};
  for (ScanLevel level : levels_here()) {
    ASSERT_EQ(scan::set_scan_level(level), level);
    for (size_t length = 0; length < 160; ++length) {
      for (int trial = 0; trial < 8; ++trial) {
        std::string text(length, 'x');
        if (length > 0 && trial > 0) text[rng() % length] = specials[rng() % sizeof specials];
        const char* end = text.data() + text.size();
        EXPECT_EQ(scan::find_string_special(text.data(), end), naive_string_special(text.data(), end))
            << int(level) << " " << length;
      }
    }
  }
}

TEST_F(EachLevel, BlankRunsEndWhereTheReferenceSays) {
  const char blanks[] = {' ', '\n', '\r', '\t'};
  for (ScanLevel level : levels_here()) {
    scan::set_scan_level(level);
    for (size_t run = 0; run < 100; ++run) {
      for (const char* after : {"", "x", "\x0b", "\xa0", "]"}) {
        std::string text;
        for (size_t i = 0; i < run; ++i) text += blanks[i % 4];
        text += after;
        const char* end = text.data() + text.size();
        EXPECT_EQ(scan::skip_blank(text.data(), end), naive_blank(text.data(), end)) << int(level) << " " << run;
      }
    }
  }
}

// What skip_utf8 may return: from p, only whole valid sequences and plain
// ASCII, ending on a sequence boundary.
void expect_valid_prefix(const char* p, const char* got, const char* end) {
  ASSERT_GE(got, p);
  ASSERT_LE(got, end);
  const char* q = p;
  while (q < got) {
    const auto c = static_cast<unsigned char>(*q);
    if (c < 0x80) {
      ASSERT_FALSE(scan::ends_string_run(c)) << "took a special byte";
      ++q;
      continue;
    }
    int length = 0;
    ASSERT_EQ(scan::check_utf8_sequence(q, end, length), scan::Utf8Check::Valid);
    q += length;
  }
  ASSERT_EQ(q, got) << "ended inside a sequence";
}

TEST_F(EachLevel, Utf8RunsStopBeforeEveryFault) {
  std::mt19937 rng(11);
  const std::string faults[] = {"\x80",
                                "\xC0\x80",
                                "\xC1\xBF",
                                "\xE0\x80\x80",
                                "\xED\xA0\x80",
                                "\xF0\x80\x80\x80",
                                "\xF4\x90\x80\x80",
                                "\xF5\x80\x80\x80",
                                "\xFF",
                                "\xC3",
                                "\xE6\x97",
                                "\"",
                                "\\",
                                "\x1f"};
  for (ScanLevel level : levels_here()) {
    scan::set_scan_level(level);
    for (int trial = 0; trial < 400; ++trial) {
      std::string text = "\xC3\xA9" + utf8_text(rng, 10 + rng() % 120);
      if (trial % 4 != 0) text.insert(2 + rng() % (text.size() - 1), faults[rng() % (sizeof faults / sizeof *faults)]);
      const char* end = text.data() + text.size();
      expect_valid_prefix(text.data(), scan::skip_utf8(text.data(), end), end);
    }
  }
}

TEST_F(EachLevel, LongValidTextIsTakenWholeBlocksAtATime) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += i % 7 ? "\xC3\xA9" : "ab";
  text += "\"";
  const char* end = text.data() + text.size();
  for (ScanLevel level : levels_here()) {
    scan::set_scan_level(level);
    const char* got = scan::skip_utf8(text.data(), end);
    expect_valid_prefix(text.data(), got, end);
    // The portable loop stops at the first ASCII byte; whole blocks go on.
    if (level == ScanLevel::Avx2) {
      EXPECT_GE(got - text.data(), 160);
    }
  }
}

// The same documents parse to the same values, or fail at the same place,
// at every level.
TEST_F(EachLevel, DocumentsParseAlikeAtEveryLevel) {
  std::mt19937 rng(3);
  std::vector<std::string> docs;
  for (int i = 0; i < 300; ++i) {
    std::string body = utf8_text(rng, rng() % 90);
    if (i % 3 == 1) body.insert(rng() % (body.size() + 1), i % 2 ? "\\u00e9\\n" : "\xE2\x82");
    if (i % 5 == 2) body.insert(rng() % (body.size() + 1), "\xED\xA0\x80");
    std::string pad(rng() % 40, i % 2 ? ' ' : '\n');
    docs.push_back("[" + pad + "\"" + body + "\"" + pad + ", {\"k\":" + pad + "\"" + body + body + "\"}]");
  }
  auto describe = [](const std::string& doc) {
    JsonDocument document;
    if (auto error = parse_json_document(doc, document)) return "error " + error->text();
    const auto items = document.root().items();
    return "ok " + std::string(items[0].as_string()) + "|" + std::string(items[1].members()[0].value.as_string());
  };
  scan::set_scan_level(ScanLevel::Portable);
  std::vector<std::string> expected;
  for (const std::string& doc : docs) expected.push_back(describe(doc));
  for (ScanLevel level : levels_here()) {
    scan::set_scan_level(level);
    for (size_t i = 0; i < docs.size(); ++i) EXPECT_EQ(describe(docs[i]), expected[i]) << int(level) << " " << i;
  }
}

}  // namespace

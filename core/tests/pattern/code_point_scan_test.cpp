// The run scanner that crosses whole UTF-8 sequences at once: texts long
// enough for it, broken at every position, must get the NFA simulation's
// answer, and the scanner may only stop where the DFA is back in its state.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pattern/code_point_scan.hpp"
#include "pattern/dfa.hpp"
#include "pattern/pattern.hpp"

namespace tessolin::pattern {
namespace {

std::string repeat_pieces(const std::vector<std::string>& pieces, size_t bytes) {
  std::string out;
  for (size_t i = 0; out.size() < bytes; ++i) out += pieces[i % pieces.size()];
  return out;
}

std::string show(const std::string& t) {
  std::string out;
  for (unsigned char c : t) {
    char buf[8];
    std::snprintf(buf, sizeof buf, c < 0x80 && c >= 0x20 ? "%c" : "\\x%02x", c);
    out += buf;
  }
  return out;
}

struct ScanCase {
  const char* pattern;
  std::vector<std::string> pieces;  // a matching text repeats these
  bool one_code_point_loop = true;  // some state loops through single code points
};

// Loops over 2- and 3-byte sequences with partial rows (CD B0-BF, E1 BC-BF),
// whole leads, ASCII ranges, several looping states, and case folding.
const ScanCase kCases[] = {
    {"[\\u0370-\\u03ff\\u1f00-\\u1fff]+", {"α", "Ͱ", "Ͽ", "ἀ", "῿", "ω"}},
    {"\\p{L}+", {"ж", "a", "漢", "の", "한", "é", "Z", "ѿ"}},
    {"\\w+", {"a", "é", "_", "1", "β", "字", "ж"}},
    {"[^x]+", {"a", "\n", "é", "€", "😀", "字"}},
    {"(?:[α-ω]ж)+", {"αж", "ωж"}, false},  // the loop spans two code points
    {"[α-ω]+x[一-龥]+", {"α", "β"}},       // matched texts end in "x一"
    {"(?i)[α-ω]+", {"α", "Ω", "ς", "Σ"}},
    {"(?:\\p{Greek}|\\p{Han}|[0-9])*", {"1", "字", "ά", "9"}},
};

std::string matching_text(const ScanCase& c, size_t bytes) {
  std::string t = repeat_pieces(c.pieces, bytes);
  if (std::string(c.pattern) == "[α-ω]+x[一-龥]+") t += "x一";
  return t;
}

// Replacements and insertions that break the text or leave the set.
const char* const kBreakers[] = {"\x80",         "\xBF", "\xC0", "\xCE", "\xE1",     "\xE1\xBC",     "\xF0", "\xFF",
                                 "\xCE\xB1\x80", "x",    "!",    "0",    "\xCD\xAF", "\xE2\x82\xAC", "😀",    "ͅ"};

void expect_agreement(const Pattern& p, const std::string& t, const char* pattern) {
  ASSERT_EQ(p.full_match(t), p.full_match_by_nfa(t)) << pattern << " on \"" << show(t) << "\"";
}

TEST(CodePointScanTest, MatchingTextsOfEveryLength) {
  for (const ScanCase& c : kCases) {
    auto r = compile(c.pattern);
    ASSERT_TRUE(r) << c.pattern;
    ASSERT_TRUE(r.pattern->has_dfa()) << c.pattern;
    std::string t = matching_text(c, 120);
    ASSERT_TRUE(r.pattern->full_match(t)) << c.pattern;
    // Every prefix: ends inside a sequence, at chunk edges, in the tail.
    for (size_t n = 0; n <= t.size(); ++n) expect_agreement(*r.pattern, t.substr(0, n), c.pattern);
  }
}

TEST(CodePointScanTest, BrokenAtEveryPosition) {
  for (const ScanCase& c : kCases) {
    auto r = compile(c.pattern);
    ASSERT_TRUE(r) << c.pattern;
    std::string t = matching_text(c, 90);
    for (size_t i = 0; i <= t.size(); ++i) {
      if (i < t.size()) {
        std::string removed = t;
        removed.erase(i, 1);
        expect_agreement(*r.pattern, removed, c.pattern);
      }
      for (const char* b : kBreakers) {
        std::string inserted = t;
        inserted.insert(i, b);
        expect_agreement(*r.pattern, inserted, c.pattern);
        if (i < t.size()) {
          std::string replaced = t;
          replaced.replace(i, 1, b);
          expect_agreement(*r.pattern, replaced, c.pattern);
        }
      }
    }
  }
}

// The answers at the edges of the Greek class, deep inside a long text so
// that the scanner, not the DFA, meets them.
TEST(CodePointScanTest, ClassEdgesInsideLongTexts) {
  auto r = compile("[\\u0370-\\u03ff\\u1f00-\\u1fff]+");
  ASSERT_TRUE(r);
  struct Edge {
    const char* cp;
    bool in;
  } edges[] = {{"\u036f", false}, {"\u0370", true},  {"\u03ff", true},  {"\u0400", false},
               {"\u1eff", false}, {"\u1f00", true},  {"\u1fff", true},  {"\u2000", false},
               {"\u0100", false}, {"\u0f70", false}, {"\u3f70", false}, {"\U00010370", false}};
  std::string base = repeat_pieces({"α", "β", "γ"}, 64);
  for (const Edge& e : edges) {
    for (size_t at = 0; at <= base.size(); at += 2) {
      std::string t = base;
      t.insert(at, e.cp);
      EXPECT_EQ(r.pattern->full_match(t), e.in) << "U+" << show(e.cp) << " at " << at;
    }
  }
}

// Over arbitrary bytes the loop may cross bytes that are not UTF-8; the
// scanner must leave those to the DFA and still agree.
TEST(CodePointScanTest, PatternsOverBytes) {
  Options options;
  options.utf8 = false;
  for (const char* pattern : {"(?-u:[\\x80-\\xff])+", "(?-u:[\\xc0-\\xdf][\\x80-\\xbf]|a)+", "(?-u:[^\\xce])+"}) {
    auto r = compile(pattern, options);
    ASSERT_TRUE(r) << pattern;
    std::string t = repeat_pieces({"\xC3\xA9", "a", "\x80", "\xFF\xFE", "\xE1\xBC\x80"}, 80);
    for (size_t i = 0; i <= t.size(); ++i) {
      expect_agreement(*r.pattern, t.substr(0, i), pattern);
      for (const char* b : {"\x80", "\xCE", "a", "\xC3"}) {
        std::string inserted = t;
        inserted.insert(i, b);
        expect_agreement(*r.pattern, inserted, pattern);
      }
    }
  }
}

uint32_t run_dfa(const Dfa& dfa, uint32_t s, const uint8_t* p, const uint8_t* end) {
  for (; p < end; ++p) s = dfa.transitions[size_t(s) * dfa.class_count + dfa.classes[*p]];
  return s;
}

// The scanner itself: wherever it stops, the DFA run from its state over the
// skipped bytes is back in that state, and on clean text it gets to the tail.
TEST(CodePointScanTest, StopsOnlyWhereTheStateIsBack) {
  std::mt19937 rng(7);
  for (const ScanCase& c : kCases) {
    auto r = compile(c.pattern);
    ASSERT_TRUE(r);
    Dfa dfa;
    ASSERT_EQ(build_dfa(r.pattern->nfa(), DfaLimits{10000, 1 << 24}, dfa), DfaStatus::kBuilt);
    int loops = 0;
    for (uint32_t s = 0; s < dfa.state_count(); ++s) {
      CodePointLoop loop;
      if (s == dfa.dead || !build_code_point_loop(dfa, s, loop)) continue;
      ++loops;
      // Texts that keep s looping: pieces read from s that come back to it.
      std::vector<std::string> own;
      for (const std::string& piece : c.pieces) {
        auto* b = reinterpret_cast<const uint8_t*>(piece.data());
        // Four-byte sequences are left to the DFA.
        if (piece.size() < 4 && run_dfa(dfa, s, b, b + piece.size()) == s) own.push_back(piece);
      }
      if (own.empty()) continue;
      std::string clean = repeat_pieces(own, 200);
      auto* b = reinterpret_cast<const uint8_t*>(clean.data());
      EXPECT_GE(scan_code_points(loop, b, b + clean.size()), b + clean.size() - 32) << c.pattern;
      for (int k = 0; k < 400; ++k) {
        std::string t = clean;
        size_t at = rng() % t.size();
        t.replace(at, rng() % 3, kBreakers[rng() % std::size(kBreakers)]);
        auto* p = reinterpret_cast<const uint8_t*>(t.data());
        const uint8_t* q = scan_code_points(loop, p, p + t.size());
        ASSERT_LE(q, p + t.size());
        ASSERT_EQ(run_dfa(dfa, s, p, q), s) << c.pattern << " stopped at " << (q - p) << " in \"" << show(t) << "\"";
      }
    }
    EXPECT_EQ(loops > 0, c.one_code_point_loop) << c.pattern;
  }
}

// Generated patterns built from multi-byte classes, on long generated texts
// (some broken), with complete and partial DFAs.
void check_generated_patterns() {
  static const char* const kAtoms[] = {
      "[α-ω]", "\\p{Greek}", "\\w",    "[^x]",      "ж",      "[一-龥]",           "é",
      "a",     ".",          "\\p{L}", "[^\\p{L}]", "(?i:σ)", "[\\u0370-\\u037f]", "\\d"};
  static const char* const kPieces[] = {"α",  "ω",  "ς", "ж", "é",    "a",    "x",        "1",
                                        "一", "龥", "😀", "Ͱ", "\x80", "\xCE", "\xE4\xB8", "-"};
  std::mt19937 rng(20240612);
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  for (uint32_t limit : {10000u, 12u}) {
    Options options;
    options.dfa_state_limit = limit;
    for (int i = 0; i < 120; ++i) {
      std::string pattern;
      int parts = 1 + int(pick(3));
      for (int j = 0; j < parts; ++j) {
        std::string atom = kAtoms[pick(std::size(kAtoms))];
        if (pick(2)) atom = "(?:" + atom + "|" + kAtoms[pick(std::size(kAtoms))] + ")";
        pattern += atom + (pick(3) ? "+" : "*");
      }
      auto r = compile(pattern, options);
      ASSERT_TRUE(r) << pattern;
      for (int k = 0; k < 60; ++k) {
        // Mostly pieces of one or two kinds, so that long runs stay in a loop.
        const char* a = kPieces[pick(std::size(kPieces) - 3)];
        const char* b = kPieces[pick(std::size(kPieces))];
        std::string t;
        size_t n = 20 + pick(120);
        for (size_t m = 0; m < n; ++m) t += pick(20) ? a : b;
        expect_agreement(*r.pattern, t, pattern.c_str());
      }
    }
  }
}

TEST(CodePointScanTest, GeneratedPatternsAgreeOnLongTexts) { check_generated_patterns(); }

// The portable masks, which CPUs without SSE2 run, forced on this one.
TEST(CodePointScanTest, PortableMasksAgreeToo) {
  bool before = force_portable_code_point_scan(true);
  check_generated_patterns();
  force_portable_code_point_scan(before);
}

#if defined(__SSE2__)
TEST(CodePointScanTest, PortableAndSse2MasksAreEqual) {
  auto r = compile(kCases[0].pattern);
  ASSERT_TRUE(r);
  Dfa dfa;
  ASSERT_EQ(build_dfa(r.pattern->nfa(), DfaLimits{10000, 1 << 24}, dfa), DfaStatus::kBuilt);
  CodePointLoop loop;
  uint32_t looping = 0;
  while (looping < dfa.state_count() && (looping == dfa.dead || !build_code_point_loop(dfa, looping, loop))) ++looping;
  ASSERT_LT(looping, dfa.state_count());
  std::mt19937 rng(7);
  uint8_t chunk[32];
  for (int i = 0; i < 20000; ++i) {
    for (uint8_t& b : chunk) b = uint8_t(rng());
    auto a = code_point_scan_detail::chunk_masks_portable(chunk, loop);
    auto b = code_point_scan_detail::chunk_masks_sse2(chunk, loop);
    ASSERT_EQ(a.cont, b.cont);
    ASSERT_EQ(a.other, b.other);
    ASSERT_EQ(a.lead, b.lead);
    ASSERT_EQ(a.lead3, b.lead3);
    ASSERT_EQ(a.lead4, b.lead4);
  }
}
#endif

}  // namespace
}  // namespace tessolin::pattern

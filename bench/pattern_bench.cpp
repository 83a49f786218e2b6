// Full-match throughput of the pattern engine.
// Build by hand (not a CMake target), from the repository root:
//   g++ -std=c++20 -O2 -DNDEBUG -Icore/src bench/pattern_bench.cpp core/src/pattern/*.cpp \
//       -licuuc -licui18n -o /tmp/pattern_bench && /tmp/pattern_bench
// bench/bench_patterns.py compares against Python's re.fullmatch in one run.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "pattern/pattern.hpp"

using tessolin::pattern::compile;

namespace {

std::string cycle(const std::vector<std::string>& pieces, size_t chars) {
  std::string out;
  size_t n = 0;
  for (size_t i = 0; n < chars; ++i, ++n) out += pieces[i % pieces.size()];
  return out;
}

std::string words(size_t chars) {
  static const char* const kWords[] = {"apple", "BANANA", "Cherry", "durian"};
  std::string out;
  size_t i = 0;
  while (out.size() < chars) out += kWords[i++ % 4];
  return out;
}

struct Case {
  const char* name;
  const char* pattern;
  std::string (*text)(size_t chars);
};

std::string word_text(size_t n) { return cycle({"a", "b", "c", "d", "e", "f", "_", "1"}, n); }
std::string email_text(size_t n) { return std::string(n > 12 ? n - 12 : 1, 'x') + "@example.com"; }
std::string greek_text(size_t n) { return cycle({"α", "β", "γ", "δ", "ε", "Ω"}, n); }
std::string long_word_text(size_t n) { return cycle({"é", "b", "c"}, n < 64 ? n : 64); }
std::string greek_ext_text(size_t n) { return cycle({"α", "β", "γ", "δ", "ε", "Ω", "ἀ"}, n); }
std::string cyrillic_text(size_t n) { return cycle({"ж", "и", "з", "н", "ь", "Я"}, n); }
std::string cjk_text(size_t n) { return cycle({"漢", "字", "文", "化", "の", "한"}, n); }
std::string mixed_word_text(size_t n) { return cycle({"a", "b", "c", "d", "é", "f", "_", "1"}, n); }

}  // namespace

int main() {
  const Case cases[] = {
      {"word", "\\w+", word_text},
      {"email", "[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,}", email_text},
      {"unicode-class", "\\p{L}+", greek_text},
      {"icase-alternation", "(?i)(?:apple|banana|cherry|durian)+", words},
      {"bounded-word", "\\w{1,64}", long_word_text},
      {"greek-class", "[\\u0370-\\u03ff\\u1f00-\\u1fff]+", greek_ext_text},
      {"letters-cyrillic", "\\p{L}+", cyrillic_text},
      {"letters-cjk", "\\p{L}+", cjk_text},
      {"word-greek", "\\w+", greek_ext_text},
      {"word-cyrillic", "\\w+", cyrillic_text},
      {"word-cjk", "\\w+", cjk_text},
      {"word-mixed", "\\w+", mixed_word_text},
  };
  std::printf("%-22s %8s %8s %12s %10s %s\n", "case", "chars", "bytes", "ns/call", "ns/byte", "engine");
  for (const Case& c : cases) {
    auto compiled = compile(c.pattern);
    if (!compiled) {
      std::printf("%s: %s\n", c.name, compiled.error.message.c_str());
      return 1;
    }
    for (size_t chars : {10, 100, 10000}) {
      std::string text = c.text(chars);
      if (!compiled.pattern->full_match(text)) {
        std::printf("%s: text does not match\n", c.name);
        return 1;
      }
      size_t iters = std::max<size_t>(2000, 20000000 / (text.size() + 16));
      volatile bool sink = false;
      auto t0 = std::chrono::steady_clock::now();
      for (size_t i = 0; i < iters; ++i) sink = sink ^ compiled.pattern->full_match(text);
      auto t1 = std::chrono::steady_clock::now();
      double ns = std::chrono::duration<double, std::nano>(t1 - t0).count() / double(iters);
      std::printf("%-22s %8zu %8zu %12.1f %10.3f %s\n", c.name, chars, text.size(), ns, ns / double(text.size()),
                  compiled.pattern->has_dfa() ? "dfa" : "nfa");
    }
  }
  return 0;
}

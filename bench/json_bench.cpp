// Throughput of the JSON parser on generated multi-megabyte documents.
// Build by hand from the repository root:
//   g++ -std=c++20 -O2 -DNDEBUG -Icore/src bench/json_bench.cpp core/src/json/*.cpp -o /tmp/json_bench
// Prints MB/s for the value document and for a builder that discards events
// (the grammar and string checks alone).

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "json/json_document.hpp"
#include "json/json_parser.hpp"

namespace {

using namespace tessolin::json;

struct DiscardingBuilder {
  std::size_t events = 0;
  bool note() { return ++events != 0; }
  bool begin_array() { return note(); }
  bool end_array(std::size_t) { return note(); }
  bool begin_object() { return note(); }
  bool end_object(std::size_t) { return note(); }
  bool key(const JsonString&) { return note(); }
  bool string(const JsonString&) { return note(); }
  bool integer(std::int64_t) { return note(); }
  bool big_integer(std::string_view) { return note(); }
  bool float64(double) { return note(); }
  bool boolean(bool) { return note(); }
  bool null() { return note(); }
};

// Records resembling API payloads: short keys, mixed scalars, some text.
std::string records_document(std::size_t target) {
  std::mt19937 rng(1);
  std::string out = "[\n";
  for (int i = 0; out.size() < target; ++i) {
    if (i) out += ",\n";
    out += "  {\"id\": " + std::to_string(rng()) + ", \"name\": \"user_" + std::to_string(i) +
           "\", \"score\": " + std::to_string(rng() % 100000) + "." + std::to_string(rng() % 1000) +
           ", \"active\": " + (rng() % 2 ? "true" : "false") + ", \"tags\": [\"alpha\", \"beta\", \"gamma\"]" +
           ", \"bio\": \"Lorem ipsum dolor sit amet, consectetur adipiscing elit \\\"quoted\\\" caf\xC3\xA9\"" +
           ", \"parent\": null}";
  }
  out += "\n]\n";
  return out;
}

// Long strings: the string scanner dominates.
std::string strings_document(std::size_t target) {
  std::string out = "[";
  std::string text(1000, 'x');
  for (std::size_t i = 0; i < text.size(); i += 97) text[i] = ' ';
  for (int i = 0; out.size() < target; ++i) out += (i ? ",\"" : "\"") + text + "\"";
  out += "]";
  return out;
}

// Numbers only.
std::string numbers_document(std::size_t target) {
  std::mt19937_64 rng(2);
  std::string out = "[";
  for (int i = 0; out.size() < target; ++i) {
    if (i) out += ',';
    out += i % 2 ? std::to_string(static_cast<std::int64_t>(rng() >> (rng() % 60)))
                 : std::to_string(rng() % 1000000) + "." + std::to_string(rng() % 1000000) + "e-3";
  }
  out += "]";
  return out;
}

template <class Run>
double megabytes_per_second(const std::string& text, Run run) {
  using clock = std::chrono::steady_clock;
  run();  // warm up
  int rounds = 0;
  const auto start = clock::now();
  double seconds = 0;
  do {
    run();
    ++rounds;
    seconds = std::chrono::duration<double>(clock::now() - start).count();
  } while (seconds < 1.0);
  return static_cast<double>(text.size()) * rounds / seconds / 1e6;
}

void measure(const char* name, const std::string& text) {
  JsonDocument document;
  const double values = megabytes_per_second(text, [&] {
    if (parse_json_document(text, document)) std::abort();
  });
  const double grammar = megabytes_per_second(text, [&] {
    DiscardingBuilder b;
    if (parse_json(text, b)) std::abort();
  });
  std::printf("%-8s %6.1f MB  values %7.1f MB/s  grammar only %7.1f MB/s\n", name, text.size() / 1e6, values, grammar);
}

}  // namespace

int main() {
  const std::size_t size = 16u << 20;
  measure("records", records_document(size));
  measure("strings", strings_document(size));
  measure("numbers", numbers_document(size));
}

// The pattern engine's entry point: compile a pattern once, then test whole
// texts against it from any number of threads.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "pattern/code_point_scan.hpp"
#include "pattern/dfa.hpp"
#include "pattern/nfa.hpp"
#include "pattern/options.hpp"

namespace tessolin::pattern {

class Pattern {
 public:
  // True when the whole of `text` (UTF-8) matches. Thread-safe.
  bool full_match(std::string_view text) const;

  bool utf8() const { return utf8_; }
  bool has_dfa() const { return dfa_.has_value(); }
  // A partial DFA hands texts that leave its built part to the NFA simulation.
  bool dfa_is_complete() const { return dfa_.has_value() && dfa_->complete; }
  const Nfa& nfa() const { return nfa_; }
  // Same answer as full_match, always by simulating the NFA (for testing).
  bool full_match_by_nfa(std::string_view text) const;

 private:
  friend struct PatternBuilder;
  // The matcher's form of the DFA: states renumbered so that one comparison
  // tells the kind of a state (looping through code points below cp_end,
  // accelerated below accel_end, dead or unbuilt from special on), targets
  // premultiplied by a power-of-two stride.
  struct MatchDfa {
    std::array<uint8_t, 256> classes;
    uint32_t shift;
    std::vector<uint32_t> table;
    std::vector<uint8_t> accepting;       // by state number
    std::vector<uint8_t> stay;            // 256 per accelerated state: bytes that loop back
    std::vector<CodePointLoop> cp_loops;  // by state number, below cp_end
    uint32_t start;
    uint32_t cp_end;
    uint32_t accel_end;
    uint32_t special;
    uint32_t dead;  // UINT32_MAX when absent
    bool complete;  // no unbuilt state
    // Some state loops on many single bytes; otherwise texts too short for
    // the code point scanner take the plain loop.
    bool byte_loops;
  };
  Nfa nfa_;
  std::optional<MatchDfa> dfa_;
  bool utf8_ = true;
};

struct CompileResult {
  std::shared_ptr<const Pattern> pattern;  // null on failure
  PatternError error;                      // set when pattern is null
  explicit operator bool() const { return pattern != nullptr; }
};

// Parses `source` on its own, anchored at both ends of the text. Never throws
// for bad input (only std::bad_alloc).
CompileResult compile(std::string_view source, const Options& options = {});

}  // namespace tessolin::pattern

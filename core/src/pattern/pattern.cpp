#include "pattern/pattern.hpp"

#include "pattern/nfa_simulation.hpp"
#include "pattern/parser.hpp"

namespace tessolin::pattern {

namespace {

// A state worth scanning with its own byte table: it loops to itself on many
// bytes (the body of a `[...]+`), so runs of such bytes need no transitions.
constexpr uint32_t kMinLoopBytes = 8;
constexpr uint32_t kMaxAcceleratedStates = 256;
// States looping through multi-byte code points get a larger table (8 KiB);
// the few nearest the start are where such loops sit in practice.
constexpr uint32_t kMaxCodePointStates = 8;
constexpr uint32_t kCodePointCandidates = 64;

// Kept out of the byte loop, whose registers it would otherwise take.
[[gnu::noinline]] const uint8_t* scan_code_points_out_of_line(const CodePointLoop& loop, const uint8_t* p,
                                                              const uint8_t* end) {
  return scan_code_points(loop, p, end);
}

}  // namespace

struct PatternBuilder {
  static void attach_dfa(Pattern& p, const Dfa& dfa) {
    uint32_t n = dfa.state_count();
    uint32_t k = dfa.class_count;
    auto target = [&](uint32_t s, uint8_t b) { return dfa.transitions[size_t(s) * k + dfa.classes[b]]; };
    auto special = [&](uint32_t s) { return s == dfa.dead || s == dfa.unbuilt; };
    std::vector<uint32_t> order;
    std::vector<uint8_t> placed(n, 0);
    std::vector<CodePointLoop> loops;
    for (uint32_t s = 0; s < n && s < kCodePointCandidates && loops.size() < kMaxCodePointStates; ++s) {
      if (special(s)) continue;
      CodePointLoop loop;
      if (!build_code_point_loop(dfa, s, loop)) continue;
      loops.push_back(std::move(loop));
      placed[s] = 1;
      order.push_back(s);
    }
    uint32_t cp_count = uint32_t(order.size());
    bool cp_byte_loops = false;  // a code point state also loops on many bytes
    for (uint32_t s = 0; s < n && order.size() < kMaxAcceleratedStates; ++s) {
      if (special(s)) continue;
      uint32_t loops_back = 0;
      for (unsigned b = 0; b < 256; ++b) loops_back += target(s, uint8_t(b)) == s;
      if (loops_back >= kMinLoopBytes) cp_byte_loops = cp_byte_loops || placed[s];
      if (loops_back >= kMinLoopBytes && !placed[s]) {
        placed[s] = 1;
        order.push_back(s);
      }
    }
    uint32_t accel_count = uint32_t(order.size());
    bool byte_loops = cp_byte_loops || accel_count > cp_count;
    for (uint32_t s = 0; s < n; ++s)
      if (!placed[s] && !special(s)) order.push_back(s);
    uint32_t special_from = uint32_t(order.size());
    if (dfa.dead != UINT32_MAX) order.push_back(dfa.dead);
    if (dfa.unbuilt != UINT32_MAX) order.push_back(dfa.unbuilt);
    std::vector<uint32_t> renumber(n);
    for (uint32_t i = 0; i < n; ++i) renumber[order[i]] = i;

    Pattern::MatchDfa m;
    m.classes = dfa.classes;
    m.shift = 0;
    while ((1u << m.shift) < k) ++m.shift;
    uint32_t stride = 1u << m.shift;
    m.table.assign(size_t(n) * stride, 0);
    m.accepting.resize(n);
    for (uint32_t s = 0; s < n; ++s) {
      uint32_t ns = renumber[s];
      m.accepting[ns] = dfa.accepting[s];
      for (uint32_t c = 0; c < k; ++c)
        m.table[size_t(ns) * stride + c] = renumber[dfa.transitions[size_t(s) * k + c]] * stride;
    }
    m.stay.resize(size_t(accel_count) * 256);
    for (uint32_t i = 0; i < accel_count; ++i)
      for (unsigned b = 0; b < 256; ++b) m.stay[size_t(i) * 256 + b] = target(order[i], uint8_t(b)) == order[i];
    m.cp_loops = std::move(loops);
    m.start = renumber[0] * stride;
    m.cp_end = cp_count * stride;
    m.byte_loops = byte_loops;
    m.accel_end = accel_count * stride;
    m.special = special_from * stride;
    m.dead = dfa.dead == UINT32_MAX ? UINT32_MAX : renumber[dfa.dead] * stride;
    m.complete = dfa.unbuilt == UINT32_MAX;
    p.dfa_ = std::move(m);
  }
  static Nfa& nfa(Pattern& p) { return p.nfa_; }
  static void set_utf8(Pattern& p, bool v) { p.utf8_ = v; }
};

bool Pattern::full_match(std::string_view text) const {
  if (!dfa_) return nfa_full_match(nfa_, text);
  const MatchDfa& d = *dfa_;
  const uint32_t* table = d.table.data();
  const uint8_t* classes = d.classes.data();
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const uint8_t* end = p + text.size();
  uint32_t s = d.start;
  if (d.accel_end == 0 || (text.size() < 32 && !d.byte_loops)) {
    // Special states loop to themselves, so testing every fourth byte is enough.
    while (end - p >= 4) {
      s = table[s + classes[p[0]]];
      s = table[s + classes[p[1]]];
      s = table[s + classes[p[2]]];
      s = table[s + classes[p[3]]];
      p += 4;
      if (s >= d.special) break;
    }
    while (p < end && s < d.special) s = table[s + classes[*p++]];
  } else {
    // After the code point scanner gives up, bytes before this go through
    // the DFA, so that one odd code point costs one chunk check, not sixteen.
    const uint8_t* scan_from = p;
    for (;;) {
      if (s < d.accel_end) {
        const uint8_t* stay = d.stay.data() + (size_t(s >> d.shift) << 8);
        for (;;) {
          while (end - p >= 4 && (stay[p[0]] & stay[p[1]] & stay[p[2]] & stay[p[3]])) p += 4;
          while (p < end && stay[*p]) ++p;
          if (end - p < 32 || s >= d.cp_end || *p < 0x80 || p < scan_from) break;
          const uint8_t* q = scan_code_points_out_of_line(d.cp_loops[s >> d.shift], p, end);
          if (q == p) {
            scan_from = p + 16;
            break;
          }
          p = q;
        }
      }
      if (p == end) break;
      s = table[s + classes[*p++]];
      if (s >= d.special) break;
    }
  }
  if (s >= d.special) {
    if (s == d.dead) return false;
    return nfa_full_match(nfa_, text);  // left the part of the DFA that was built
  }
  return d.accepting[s >> d.shift] != 0;
}

bool Pattern::full_match_by_nfa(std::string_view text) const { return nfa_full_match(nfa_, text); }

CompileResult compile(std::string_view source, const Options& options) {
  CompileResult result;
  SyntaxTree tree;
  if (!parse_pattern(source, options, tree, result.error)) return result;
  auto pattern = std::make_shared<Pattern>();
  PatternBuilder::set_utf8(*pattern, options.utf8);
  if (!compile_nfa(tree, options, PatternBuilder::nfa(*pattern), result.error)) return result;
  if (options.dfa_state_limit > 0) {
    Dfa dfa;
    DfaLimits limits{options.dfa_state_limit, options.dfa_table_limit};
    limits.partial = true;
    limits.ascii_first = true;
    if (build_dfa(pattern->nfa(), limits, dfa) == DfaStatus::kBuilt) PatternBuilder::attach_dfa(*pattern, dfa);
  }
  result.pattern = std::move(pattern);
  return result;
}

}  // namespace tessolin::pattern

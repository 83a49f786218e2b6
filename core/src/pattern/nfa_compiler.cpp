#include "pattern/nfa.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "pattern/utf8.hpp"

namespace tessolin::pattern {
namespace {

constexpr uint32_t kFinal = UINT32_MAX;

// The byte-level trie of one Unicode class with shared suffixes; nodes are
// ordered children first, the last node is the entry.
struct ClassTemplate {
  std::vector<std::vector<NfaTransition>> nodes;  // next: a node index or kFinal
};

ClassTemplate build_template(const CodepointSet& set) {
  std::vector<std::vector<NfaTransition>> trie(1);
  for (const Utf8Sequence& seq : utf8_sequences(set)) {
    uint32_t cur = 0;
    for (uint8_t i = 0; i < seq.length; ++i) {
      ByteRange r = seq.ranges[i];
      bool last = i + 1 == seq.length;
      auto& edges = trie[cur];
      if (!last && !edges.empty() && edges.back().lo == r.lo && edges.back().hi == r.hi &&
          edges.back().next != kFinal) {
        cur = edges.back().next;
        continue;
      }
      if (last) {
        edges.push_back({r.lo, r.hi, kFinal});
      } else {
        uint32_t child = uint32_t(trie.size());
        edges.push_back({r.lo, r.hi, child});
        trie.emplace_back();
        cur = child;
      }
    }
  }
  // Children were created after their parents: a reverse walk sees every
  // child before its parent, so equal subtrees merge bottom-up.
  ClassTemplate out;
  std::vector<uint32_t> canon(trie.size(), kFinal);
  std::map<std::vector<std::tuple<uint8_t, uint8_t, uint32_t>>, uint32_t> seen;
  for (size_t k = trie.size(); k-- > 0;) {
    std::vector<std::tuple<uint8_t, uint8_t, uint32_t>> key;
    std::vector<NfaTransition> edges;
    for (const NfaTransition& e : trie[k]) {
      uint32_t next = e.next == kFinal ? kFinal : canon[e.next];
      key.emplace_back(e.lo, e.hi, next);
      edges.push_back({e.lo, e.hi, next});
    }
    auto [it, inserted] = seen.emplace(std::move(key), uint32_t(out.nodes.size()));
    if (inserted) out.nodes.push_back(std::move(edges));
    canon[k] = it->second;
  }
  // The root (trie node 0) is the last one canonicalised; make it last.
  uint32_t root = canon[0];
  if (root + 1 != out.nodes.size()) {
    // It can only be an earlier node when it equals a subtree; keep it valid.
    out.nodes.push_back(out.nodes[root]);
  }
  return out;
}

struct SizeExceeded {};

class Compiler {
 public:
  Compiler(const SyntaxTree& tree, const Options& options, Nfa& nfa)
      : tree_(tree), options_(options), nfa_(nfa), templates_(tree.sets.size()) {}

  void run() {
    uint32_t match = add_state(NfaState{NfaKind::kMatch});
    nfa_.start = compile(tree_.root, match);
  }

 private:
  void charge(size_t bytes) {
    used_ += bytes;
    if (used_ > options_.size_limit) throw SizeExceeded{};
  }

  uint32_t add_state(NfaState s) {
    charge(32);
    nfa_.states.push_back(s);
    return uint32_t(nfa_.states.size() - 1);
  }

  uint32_t byte_range(uint8_t lo, uint8_t hi, uint32_t next) {
    NfaState s{NfaKind::kByteRange};
    s.lo = lo;
    s.hi = hi;
    s.next = next;
    return add_state(s);
  }

  uint32_t sparse(const std::vector<NfaTransition>& edges) {
    if (edges.empty()) return add_state(NfaState{NfaKind::kFail});
    if (edges.size() == 1) return byte_range(edges[0].lo, edges[0].hi, edges[0].next);
    charge(8 * edges.size());
    NfaState s{NfaKind::kSparse};
    s.begin = uint32_t(nfa_.transitions.size());
    nfa_.transitions.insert(nfa_.transitions.end(), edges.begin(), edges.end());
    s.end = uint32_t(nfa_.transitions.size());
    return add_state(s);
  }

  // A union whose alternatives are filled in later (loops point back at it).
  uint32_t reserve_union(size_t n) {
    charge(4 * n);
    NfaState s{NfaKind::kUnion};
    s.begin = uint32_t(nfa_.alternatives.size());
    nfa_.alternatives.resize(nfa_.alternatives.size() + n, 0);
    s.end = uint32_t(nfa_.alternatives.size());
    return add_state(s);
  }

  uint32_t unicode_class(uint32_t set_index, uint32_t target) {
    const CodepointSet& set = tree_.sets[set_index];
    if (set.empty()) return add_state(NfaState{NfaKind::kFail});
    if (!templates_[set_index]) templates_[set_index] = build_template(set);
    const ClassTemplate& t = *templates_[set_index];
    std::vector<uint32_t> ids(t.nodes.size());
    std::vector<NfaTransition> edges;
    for (size_t k = 0; k < t.nodes.size(); ++k) {
      edges.clear();
      for (const NfaTransition& e : t.nodes[k]) edges.push_back({e.lo, e.hi, e.next == kFinal ? target : ids[e.next]});
      ids[k] = sparse(edges);
    }
    return ids.back();
  }

  uint32_t byte_class(uint32_t set_index, uint32_t target) {
    std::vector<NfaTransition> edges;
    for (const CodepointRange& r : tree_.sets[set_index].ranges())
      edges.push_back({uint8_t(r.lo), uint8_t(std::min<uint32_t>(r.hi, 0xFF)), target});
    return sparse(edges);
  }

  uint32_t compile(uint32_t id, uint32_t target) {
    const SyntaxNode& n = tree_.nodes[id];
    switch (n.kind) {
      case NodeKind::kEmpty: return target;
      case NodeKind::kUnicodeClass: return unicode_class(n.set, target);
      case NodeKind::kByteClass: return byte_class(n.set, target);
      case NodeKind::kLook: {
        note_look(n.look);
        NfaState s{NfaKind::kLook};
        s.look = n.look;
        s.next = target;
        return add_state(s);
      }
      case NodeKind::kConcat:
        for (size_t k = n.children.size(); k-- > 0;) target = compile(n.children[k], target);
        return target;
      case NodeKind::kAlternate: {
        std::vector<uint32_t> entries;
        for (uint32_t child : n.children) entries.push_back(compile(child, target));
        uint32_t u = reserve_union(entries.size());
        std::copy(entries.begin(), entries.end(), nfa_.alternatives.begin() + nfa_.states[u].begin);
        return u;
      }
      case NodeKind::kRepeat: return repeat(n, target);
    }
    return target;
  }

  uint32_t repeat(const SyntaxNode& n, uint32_t target) {
    uint32_t sub = n.children[0];
    uint32_t cur = target;
    uint32_t required = n.min;
    if (n.max == kUnbounded) {
      // The last required copy (or none) loops back through a union.
      uint32_t u = reserve_union(2);
      uint32_t body = compile(sub, u);
      uint32_t b = nfa_.states[u].begin;
      nfa_.alternatives[b] = body;
      nfa_.alternatives[b + 1] = target;
      if (required == 0) return u;
      cur = body;
      required -= 1;
    } else {
      // Optional copies nest: each may stop straight at the target.
      for (uint64_t k = n.min; k < n.max; ++k) {
        uint32_t body = compile(sub, cur);
        uint32_t u = reserve_union(2);
        uint32_t b = nfa_.states[u].begin;
        nfa_.alternatives[b] = body;
        nfa_.alternatives[b + 1] = target;
        cur = u;
      }
    }
    for (uint32_t k = 0; k < required; ++k) cur = compile(sub, cur);
    return cur;
  }

  void note_look(LookKind k) {
    LookNeeds& nd = nfa_.needs;
    nd.any = true;
    switch (k) {
      case LookKind::kStartText: nd.start = true; break;
      case LookKind::kEndText: break;
      case LookKind::kStartLF: nd.start = nd.line_feed = true; break;
      case LookKind::kEndLF: nd.line_feed = true; break;
      case LookKind::kStartCRLF:
      case LookKind::kEndCRLF: nd.start = nd.line_feed = nd.carriage_return = true; break;
      default:
        if (is_unicode_word_look(k))
          nd.unicode_word = true;
        else
          nd.ascii_word = true;
        break;
    }
  }

  const SyntaxTree& tree_;
  const Options& options_;
  Nfa& nfa_;
  std::vector<std::optional<ClassTemplate>> templates_;
  size_t used_ = 0;
};

}  // namespace

bool compile_nfa(const SyntaxTree& tree, const Options& options, Nfa& nfa, PatternError& error) {
  nfa = Nfa{};
  try {
    Compiler(tree, options, nfa).run();
  } catch (const SizeExceeded&) {
    nfa = Nfa{};
    error.message = "the compiled pattern exceeds the size limit of " + std::to_string(options.size_limit) + " bytes";
    return false;
  }
  return true;
}

}  // namespace tessolin::pattern

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "pattern/dfa.hpp"
#include "pattern/look.hpp"

namespace tessolin::pattern {
namespace {

// A DFA state: the context byte before the position, then the sorted NFA
// states entered by the last byte (or the start state).
using StateKey = std::vector<uint32_t>;

struct KeyHash {
  size_t operator()(const StateKey& k) const noexcept {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint32_t v : k) {
      h ^= v;
      h *= 0x100000001b3ull;
    }
    return size_t(h ^ (h >> 29));
  }
};

struct WorkExceeded {};

class Builder {
 public:
  Builder(const Nfa& nfa, const DfaLimits& limits, Dfa& out)
      : nfa_(nfa), limits_(limits), out_(out), mark_(nfa.states.size(), 0) {}

  DfaStatus run() {
    if (nfa_.needs.unicode_word) return DfaStatus::kUnicodeWordAssertion;
    make_classes();
    out_.transitions.clear();
    out_.accepting.clear();
    out_.dead = UINT32_MAX;
    StateKey start{project(kEdge), nfa_.start};
    if (!intern(std::move(start))) return status_;
    std::vector<std::vector<uint32_t>> targets(out_.class_count);
    std::vector<uint32_t> closure;
    try {
      for (uint32_t s = 0;; ++s) {
        if (s == keys_.size()) {
          if (deferred_.empty()) break;
          resolve_deferred();
          if (s == keys_.size()) break;
        }
        const StateKey kernel = *keys_[s];  // copy: interning may rehash
        auto before = ByteContext(kernel[0]);
        closure_of(kernel, before, kEdge, closure);
        bool accepts = false;
        for (uint32_t id : closure)
          if (nfa_.states[id].kind == NfaKind::kMatch) accepts = true;
        out_.accepting[s] = accepts;
        for (auto& t : targets) t.clear();
        for (int ctx = 1; ctx < kByteContextCount; ++ctx) {
          if (!context_present_[ctx]) continue;
          closure_of(kernel, before, ByteContext(ctx), closure);
          step(closure, ByteContext(ctx), targets);
        }
        for (uint32_t c = 0; c < out_.class_count; ++c) {
          std::vector<uint32_t>& t = targets[c];
          std::sort(t.begin(), t.end());
          t.erase(std::unique(t.begin(), t.end()), t.end());
          size_t slot = size_t(s) * out_.class_count + c;
          if (t.empty() && out_.dead != UINT32_MAX) {
            out_.transitions[slot] = out_.dead;
            continue;
          }
          StateKey key;
          key.reserve(t.size() + 1);
          key.push_back(t.empty() ? 0 : project(class_context_[c]));
          key.insert(key.end(), t.begin(), t.end());
          if (limits_.ascii_first && !class_is_ascii_[c] && !ids_.count(key)) {
            deferred_.push_back({slot, std::move(key)});
            continue;
          }
          uint32_t target;
          if (!intern(std::move(key), &target)) {
            if (!limits_.partial) return status_;
            target = kUnbuiltMark;
          }
          out_.transitions[slot] = target;
        }
      }
    } catch (const WorkExceeded&) {
      return DfaStatus::kTooLarge;
    }
    finish_unbuilt();
    merge_classes();
    return DfaStatus::kBuilt;
  }

 private:
  static constexpr uint32_t kUnbuiltMark = UINT32_MAX;

  struct Deferred {
    size_t slot;
    StateKey key;
  };

  void resolve_deferred() {
    std::vector<Deferred> pending = std::move(deferred_);
    deferred_.clear();
    for (Deferred& d : pending) {
      uint32_t target;
      if (!intern(std::move(d.key), &target)) target = kUnbuiltMark;
      out_.transitions[d.slot] = target;
    }
  }

  // Transitions that were never built lead to one extra state that loops to
  // itself and never accepts.
  void finish_unbuilt() {
    bool any = false;
    for (uint32_t t : out_.transitions) any = any || t == kUnbuiltMark;
    if (!any) return;
    uint32_t id = uint32_t(out_.accepting.size());
    out_.accepting.push_back(0);
    out_.transitions.resize(out_.transitions.size() + out_.class_count, id);
    for (uint32_t& t : out_.transitions)
      if (t == kUnbuiltMark) t = id;
    out_.unbuilt = id;
  }

  uint8_t project(ByteContext c) const {
    const LookNeeds& nd = nfa_.needs;
    switch (c) {
      case kEdge: return nd.start ? kEdge : kOtherByte;
      case kLineFeed: return nd.line_feed ? kLineFeed : kOtherByte;
      case kCarriageReturn: return nd.carriage_return ? kCarriageReturn : kOtherByte;
      case kAsciiWord: return nd.ascii_word ? kAsciiWord : kOtherByte;
      default: return kOtherByte;
    }
  }

  void make_classes() {
    std::array<bool, 257> boundary{};
    auto cut = [&](unsigned lo, unsigned hi) {
      boundary[lo] = true;
      boundary[hi + 1] = true;
    };
    for (const NfaState& s : nfa_.states)
      if (s.kind == NfaKind::kByteRange) cut(s.lo, s.hi);
    for (const NfaTransition& t : nfa_.transitions) cut(t.lo, t.hi);
    const LookNeeds& nd = nfa_.needs;
    if (nd.line_feed) cut('\n', '\n');
    if (nd.carriage_return) cut('\r', '\r');
    if (nd.ascii_word) {
      cut('0', '9');
      cut('A', 'Z');
      cut('_', '_');
      cut('a', 'z');
    }
    uint32_t cls = 0;
    class_context_.clear();
    for (unsigned b = 0; b < 256; ++b) {
      if (b > 0 && boundary[b]) ++cls;
      out_.classes[b] = uint8_t(cls);
      if (class_context_.size() == cls) {
        class_is_ascii_.push_back(b < 0x80);
        ByteContext ctx = ByteContext(project(context_of_byte(uint8_t(b))));
        class_context_.push_back(ctx);
        context_present_[ctx] = true;
      }
    }
    out_.class_count = cls + 1;
  }

  // Classes whose columns agree in every state become one; new numbers follow
  // the first byte, so breadth-first numbering of states is unchanged.
  void merge_classes() {
    uint32_t n = out_.state_count();
    uint32_t k = out_.class_count;
    std::unordered_map<StateKey, uint32_t, KeyHash> columns;
    std::vector<uint32_t> renumber(k);
    std::vector<uint32_t> first_of;  // new class -> old class
    for (uint32_t c = 0; c < k; ++c) {
      StateKey column(n);
      for (uint32_t s = 0; s < n; ++s) column[s] = out_.transitions[size_t(s) * k + c];
      auto [it, inserted] = columns.emplace(std::move(column), uint32_t(first_of.size()));
      if (inserted) first_of.push_back(c);
      renumber[c] = it->second;
    }
    uint32_t merged = uint32_t(first_of.size());
    if (merged == k) return;
    std::vector<uint32_t> table(size_t(n) * merged);
    for (uint32_t s = 0; s < n; ++s)
      for (uint32_t c = 0; c < merged; ++c)
        table[size_t(s) * merged + c] = out_.transitions[size_t(s) * k + first_of[c]];
    for (auto& b : out_.classes) b = uint8_t(renumber[b]);
    out_.transitions = std::move(table);
    out_.class_count = merged;
  }

  bool intern(StateKey key, uint32_t* id = nullptr) {
    auto it = ids_.find(key);
    if (it != ids_.end()) {
      if (id) *id = it->second;
      return true;
    }
    uint32_t next = uint32_t(keys_.size());
    if (next >= limits_.max_states) {
      status_ = DfaStatus::kTooManyStates;
      return false;
    }
    size_t table = (size_t(next) + 1) * out_.class_count * sizeof(uint32_t);
    if (table > limits_.max_table_bytes) {
      status_ = DfaStatus::kTooLarge;
      return false;
    }
    bool is_dead = key.size() == 1;
    auto [pos, inserted] = ids_.emplace(std::move(key), next);
    keys_.push_back(&pos->first);
    out_.accepting.push_back(0);
    out_.transitions.resize(out_.transitions.size() + out_.class_count, 0);
    if (is_dead) out_.dead = next;
    if (id) *id = next;
    return true;
  }

  // The NFA states reachable from the kernel through unions and assertions
  // that hold between `before` and `after`; keeps the byte and match states.
  void closure_of(const StateKey& kernel, ByteContext before, ByteContext after, std::vector<uint32_t>& out) {
    out.clear();
    if (++generation_ == 0) {
      std::fill(mark_.begin(), mark_.end(), 0);
      generation_ = 1;
    }
    stack_.assign(kernel.begin() + 1, kernel.end());
    while (!stack_.empty()) {
      uint32_t id = stack_.back();
      stack_.pop_back();
      if (mark_[id] == generation_) continue;
      mark_[id] = generation_;
      if (++work_ > limits_.max_work) throw WorkExceeded{};
      const NfaState& s = nfa_.states[id];
      switch (s.kind) {
        case NfaKind::kUnion:
          for (uint32_t k = s.end; k-- > s.begin;) stack_.push_back(nfa_.alternatives[k]);
          break;
        case NfaKind::kLook:
          if (look_holds(s.look, before, after)) stack_.push_back(s.next);
          break;
        case NfaKind::kFail: break;
        default: out.push_back(id); break;
      }
    }
  }

  void step(const std::vector<uint32_t>& closure, ByteContext ctx, std::vector<std::vector<uint32_t>>& targets) {
    auto add = [&](uint8_t lo, uint8_t hi, uint32_t next) {
      for (uint32_t c = out_.classes[lo]; c <= out_.classes[hi]; ++c)
        if (class_context_[c] == ctx) targets[c].push_back(next);
    };
    for (uint32_t id : closure) {
      const NfaState& s = nfa_.states[id];
      if (s.kind == NfaKind::kByteRange) {
        add(s.lo, s.hi, s.next);
      } else if (s.kind == NfaKind::kSparse) {
        for (uint32_t k = s.begin; k < s.end; ++k) {
          const NfaTransition& t = nfa_.transitions[k];
          add(t.lo, t.hi, t.next);
        }
      }
      work_ += 1;
    }
  }

  const Nfa& nfa_;
  const DfaLimits& limits_;
  Dfa& out_;
  std::vector<uint32_t> mark_;
  uint32_t generation_ = 0;
  std::vector<uint32_t> stack_;
  std::vector<ByteContext> class_context_;
  std::vector<bool> class_is_ascii_;
  std::vector<Deferred> deferred_;
  bool context_present_[kByteContextCount] = {};
  std::unordered_map<StateKey, uint32_t, KeyHash> ids_;
  std::vector<const StateKey*> keys_;
  uint64_t work_ = 0;
  DfaStatus status_ = DfaStatus::kBuilt;
};

}  // namespace

DfaStatus build_dfa(const Nfa& nfa, const DfaLimits& limits, Dfa& out) {
  out = Dfa{};
  Builder builder(nfa, limits, out);
  DfaStatus status = builder.run();
  if (status != DfaStatus::kBuilt) out = Dfa{};
  return status;
}

}  // namespace tessolin::pattern

#include "pattern/nfa_simulation.hpp"

#include <memory>
#include <vector>

#include "pattern/look.hpp"
#include "pattern/unicode_data.hpp"
#include "pattern/utf8.hpp"

namespace tessolin::pattern {
namespace {

class SparseSet {
 public:
  void reset(size_t capacity) {
    if (sparse_.size() < capacity) {
      sparse_.resize(capacity);
      dense_.resize(capacity);
    }
    size_ = 0;
  }
  bool contains(uint32_t v) const { return sparse_[v] < size_ && dense_[sparse_[v]] == v; }
  void insert(uint32_t v) {
    sparse_[v] = size_;
    dense_[size_++] = v;
  }
  void clear() { size_ = 0; }
  uint32_t size() const { return size_; }
  uint32_t operator[](uint32_t i) const { return dense_[i]; }

 private:
  std::vector<uint32_t> sparse_;
  std::vector<uint32_t> dense_;
  uint32_t size_ = 0;
};

struct Scratch {
  SparseSet current;
  SparseSet next;
  std::vector<uint32_t> stack;
};

// Per-thread scratch: the pointer and state byte are trivially destructible,
// so a use during thread teardown sees kTornDown instead of a dead object.
enum : uint8_t { kNone = 0, kLive = 1, kTornDown = 2 };
thread_local Scratch* tl_scratch = nullptr;
thread_local uint8_t tl_state = kNone;

struct ScratchGuard {
  ~ScratchGuard() {
    delete tl_scratch;
    tl_scratch = nullptr;
    tl_state = kTornDown;
  }
};
thread_local ScratchGuard tl_guard;

class Simulation {
 public:
  Simulation(const Nfa& nfa, std::string_view text, Scratch& scratch) : nfa_(nfa), text_(text), s_(scratch) {}

  bool run() {
    size_t n = nfa_.states.size();
    s_.current.reset(n);
    s_.next.reset(n);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text_.data());
    add(s_.current, nfa_.start, 0);
    for (size_t pos = 0; pos < text_.size(); ++pos) {
      if (s_.current.size() == 0) return false;
      uint8_t b = bytes[pos];
      s_.next.clear();
      for (uint32_t i = 0; i < s_.current.size(); ++i) {
        const NfaState& st = nfa_.states[s_.current[i]];
        if (st.kind == NfaKind::kByteRange) {
          if (b >= st.lo && b <= st.hi) add(s_.next, st.next, pos + 1);
        } else if (st.kind == NfaKind::kSparse) {
          for (uint32_t k = st.begin; k < st.end; ++k) {
            const NfaTransition& t = nfa_.transitions[k];
            if (b < t.lo) break;
            if (b <= t.hi) {
              add(s_.next, t.next, pos + 1);
              break;
            }
          }
        }
      }
      std::swap(s_.current, s_.next);
    }
    for (uint32_t i = 0; i < s_.current.size(); ++i)
      if (nfa_.states[s_.current[i]].kind == NfaKind::kMatch) return true;
    return false;
  }

 private:
  bool look_at(LookKind k, size_t pos) const {
    if (is_unicode_word_look(k)) {
      int32_t before = decode_backward(text_, pos);
      int32_t after = decode_forward(text_, pos);
      bool wb = before >= 0 && is_unicode_word_char(uint32_t(before));
      bool wa = after >= 0 && is_unicode_word_char(uint32_t(after));
      return unicode_word_look_holds(k, wb, wa);
    }
    ByteContext before = pos == 0 ? kEdge : context_of_byte(uint8_t(text_[pos - 1]));
    ByteContext after = pos == text_.size() ? kEdge : context_of_byte(uint8_t(text_[pos]));
    return look_holds(k, before, after);
  }

  void add(SparseSet& set, uint32_t id, size_t pos) {
    std::vector<uint32_t>& stack = s_.stack;
    stack.clear();
    stack.push_back(id);
    while (!stack.empty()) {
      uint32_t cur = stack.back();
      stack.pop_back();
      if (set.contains(cur)) continue;
      set.insert(cur);
      const NfaState& st = nfa_.states[cur];
      if (st.kind == NfaKind::kUnion) {
        for (uint32_t k = st.end; k-- > st.begin;) stack.push_back(nfa_.alternatives[k]);
      } else if (st.kind == NfaKind::kLook) {
        if (look_at(st.look, pos)) stack.push_back(st.next);
      }
    }
  }

  const Nfa& nfa_;
  std::string_view text_;
  Scratch& s_;
};

}  // namespace

bool nfa_full_match(const Nfa& nfa, std::string_view text) {
  (void)&tl_guard;  // registers the per-thread cleanup
  if (tl_state == kLive) return Simulation(nfa, text, *tl_scratch).run();
  if (tl_state == kNone) {
    tl_scratch = new Scratch();
    tl_state = kLive;
    return Simulation(nfa, text, *tl_scratch).run();
  }
  Scratch local;  // the thread is being torn down: no cache any more
  return Simulation(nfa, text, local).run();
}

}  // namespace tessolin::pattern

// A slow, independent full-match test for the matcher tests: evaluates the
// syntax tree directly as sets of text positions (no NFA, no backtracking).
#pragma once

#include <set>
#include <string_view>
#include <vector>

#include "pattern/look.hpp"
#include "pattern/syntax_tree.hpp"
#include "pattern/unicode_data.hpp"
#include "pattern/utf8.hpp"

namespace tessolin::pattern::testing {

class TreeOracle {
 public:
  TreeOracle(const SyntaxTree& tree, std::string_view text) : tree_(tree), text_(text) {}

  bool full_match() {
    Positions end = eval(tree_.root, Positions{0});
    return end.count(text_.size()) > 0;
  }

 private:
  using Positions = std::set<size_t>;

  bool look(LookKind k, size_t p) const {
    if (is_unicode_word_look(k)) {
      int32_t b = decode_backward(text_, p), a = decode_forward(text_, p);
      return unicode_word_look_holds(k, b >= 0 && is_unicode_word_char(uint32_t(b)),
                                     a >= 0 && is_unicode_word_char(uint32_t(a)));
    }
    ByteContext before = p == 0 ? kEdge : context_of_byte(uint8_t(text_[p - 1]));
    ByteContext after = p == text_.size() ? kEdge : context_of_byte(uint8_t(text_[p]));
    return look_holds(k, before, after);
  }

  Positions eval(uint32_t id, const Positions& in) {
    const SyntaxNode& n = tree_.nodes[id];
    Positions out;
    switch (n.kind) {
      case NodeKind::kEmpty: return in;
      case NodeKind::kUnicodeClass:
        for (size_t p : in) {
          int32_t c = decode_forward(text_, p);
          if (c < 0 || !tree_.sets[n.set].contains(uint32_t(c))) continue;
          std::string enc;
          append_utf8(enc, uint32_t(c));
          out.insert(p + enc.size());
        }
        return out;
      case NodeKind::kByteClass:
        for (size_t p : in)
          if (p < text_.size() && tree_.sets[n.set].contains(uint8_t(text_[p]))) out.insert(p + 1);
        return out;
      case NodeKind::kLook:
        for (size_t p : in)
          if (look(n.look, p)) out.insert(p);
        return out;
      case NodeKind::kConcat: {
        Positions cur = in;
        for (uint32_t c : n.children) cur = eval(c, cur);
        return cur;
      }
      case NodeKind::kAlternate:
        for (uint32_t c : n.children) {
          Positions r = eval(c, in);
          out.insert(r.begin(), r.end());
        }
        return out;
      case NodeKind::kRepeat: {
        Positions cur = in;
        for (uint32_t k = 0; k < n.min; ++k) cur = eval(n.children[0], cur);
        out = cur;
        for (uint64_t k = n.min; k < n.max; ++k) {
          cur = eval(n.children[0], cur);
          size_t before = out.size();
          out.insert(cur.begin(), cur.end());
          if (out.size() == before) break;  // nothing new: a fixpoint
        }
        return out;
      }
    }
    return out;
  }

  const SyntaxTree& tree_;
  std::string_view text_;
};

}  // namespace tessolin::pattern::testing

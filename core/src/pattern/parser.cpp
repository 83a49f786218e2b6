#include "pattern/parser.hpp"

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pattern/unicode_data.hpp"
#include "pattern/utf8.hpp"

namespace tessolin::pattern {
namespace {

constexpr uint32_t kNoNode = UINT32_MAX;

struct Flags {
  bool i = false;  // case-insensitive
  bool m = false;  // multi-line anchors
  bool s = false;  // dot matches LF
  bool R = false;  // CRLF line ends
  bool U = false;  // swap greed (no effect on full matches)
  bool u = true;   // Unicode mode
  bool x = false;  // verbose
};

// Thrown inside the parser only; parse_pattern turns it into the error value.
struct Failure {
  std::string message;
  size_t position;
};

// One element of a concatenation with the nesting depth of its syntax.
struct Item {
  uint32_t node = kNoNode;
  uint32_t depth = 0;
  bool is_flags = false;  // a bare (?flags) item: no operand for a repetition
};

struct Frame {
  Flags saved;
  std::vector<Item> alternatives;
  std::vector<Item> concat;
  size_t open_pos = 0;
};

enum class PrimKind { kLiteral, kDot, kAssertion, kPerl, kUnicode };
enum class Assertion {
  kStartLine,
  kEndLine,
  kStartText,
  kEndText,
  kWord,
  kNotWord,
  kWordStart,
  kWordEnd,
  kWordStartHalf,
  kWordEndHalf
};
enum class PerlKind { kDigit, kSpace, kWord };

struct Primitive {
  PrimKind kind = PrimKind::kLiteral;
  size_t start = 0;
  char32_t c = 0;
  bool hex_byte = false;  // written \xHH: a raw byte when Unicode mode is off
  Assertion assertion = Assertion::kStartText;
  PerlKind perl = PerlKind::kDigit;
  bool negated = false;
  std::string name;
  std::string value;
  bool has_value = false;
};

// A bracket class under construction: the union of its items so far.
struct UnionAcc {
  CodepointSet set;
  uint32_t count = 0;
  uint32_t max_depth = 0;
};

struct ClassVal {
  CodepointSet set;
  uint32_t depth = 0;
};

enum class ClassOp { kIntersection, kDifference, kSymmetricDifference };

struct ClassFrame {
  bool is_op = false;
  // open bracket
  UnionAcc parent;
  bool negated = false;
  size_t start = 0;
  // pending operator
  ClassOp op = ClassOp::kIntersection;
  ClassVal lhs;
};

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool is_hex(char32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

uint32_t hex_value(char32_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

bool is_meta(char32_t c) {
  switch (c) {
    case '\\':
    case '.':
    case '+':
    case '*':
    case '?':
    case '(':
    case ')':
    case '|':
    case '[':
    case ']':
    case '{':
    case '}':
    case '^':
    case '$':
    case '#':
    case '&':
    case '-':
    case '~': return true;
    default: return false;
  }
}

bool is_escapeable(char32_t c) {
  if (is_meta(c)) return true;
  if (c > 0x7F) return false;
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
  return c != '<' && c != '>';
}

bool is_scalar(uint64_t v) { return v <= kMaxScalar && !(v >= kSurrogateLo && v <= kSurrogateHi); }

std::string to_utf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) append_utf8(out, uint32_t(c));
  return out;
}

CodepointSet ascii_class(std::string_view name, bool& found) {
  found = true;
  if (name == "alnum") return {{'0', '9'}, {'A', 'Z'}, {'a', 'z'}};
  if (name == "alpha") return {{'A', 'Z'}, {'a', 'z'}};
  if (name == "ascii") return {{0x00, 0x7F}};
  if (name == "blank") return {{'\t', '\t'}, {' ', ' '}};
  if (name == "cntrl") return {{0x00, 0x1F}, {0x7F, 0x7F}};
  if (name == "digit") return {{'0', '9'}};
  if (name == "graph") return {{0x21, 0x7E}};
  if (name == "lower") return {{'a', 'z'}};
  if (name == "print") return {{0x20, 0x7E}};
  if (name == "punct") return {{0x21, 0x2F}, {0x3A, 0x40}, {0x5B, 0x60}, {0x7B, 0x7E}};
  if (name == "space") return {{'\t', '\r'}, {' ', ' '}};
  if (name == "upper") return {{'A', 'Z'}};
  if (name == "word") return {{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}};
  if (name == "xdigit") return {{'0', '9'}, {'A', 'F'}, {'a', 'f'}};
  found = false;
  return {};
}

CodepointSet ascii_perl_set(PerlKind k) {
  switch (k) {
    case PerlKind::kDigit: return {{'0', '9'}};
    case PerlKind::kSpace: return {{'\t', '\r'}, {' ', ' '}};
    case PerlKind::kWord: return {{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}};
  }
  return {};
}

void fold_ascii(CodepointSet& set) {
  CodepointSet extra;
  for (const CodepointRange& r : set.ranges()) {
    uint32_t lo = std::max<uint32_t>(r.lo, 'a'), hi = std::min<uint32_t>(r.hi, 'z');
    if (lo <= hi) extra.add(lo - 32, hi - 32);
    lo = std::max<uint32_t>(r.lo, 'A');
    hi = std::min<uint32_t>(r.hi, 'Z');
    if (lo <= hi) extra.add(lo + 32, hi + 32);
  }
  set.union_with(extra);
}

class Parser {
 public:
  Parser(std::u32string text, const Options& options, SyntaxTree& tree)
      : p_(std::move(text)), options_(options), tree_(tree) {}

  void run() {
    frames_.push_back(Frame{flags_, {}, {}, 0});
    for (;;) {
      if (eof()) break;
      bump_space();
      if (eof()) break;
      switch (ch()) {
        case '(': push_group(); break;
        case ')': pop_group(); break;
        case '|': push_alternate(); break;
        case '[': concat().push_back(parse_set_class()); break;
        case '?': uncounted_repetition(0, 1); break;
        case '*': uncounted_repetition(0, kUnbounded); break;
        case '+': uncounted_repetition(1, kUnbounded); break;
        case '{': counted_repetition(); break;
        default: concat().push_back(primitive_item(parse_primitive())); break;
      }
    }
    if (frames_.size() > 1) fail("unclosed group", frames_.back().open_pos);
    Item root = finish_frame(frames_.back());
    tree_.root = root.node == kNoNode ? empty_node() : root.node;
  }

 private:
  // ---- cursor -------------------------------------------------------------
  bool eof() const { return pos_ >= p_.size(); }
  char32_t ch() const { return p_[pos_]; }
  bool bump() {
    if (!eof()) ++pos_;
    return !eof();
  }
  bool bump_if(std::u32string_view s) {
    if (p_.compare(pos_, s.size(), s) == 0 && pos_ + s.size() <= p_.size()) {
      pos_ += s.size();
      return true;
    }
    return false;
  }
  char32_t peek() const { return pos_ + 1 < p_.size() ? p_[pos_ + 1] : 0; }
  bool has_peek() const { return pos_ + 1 < p_.size(); }

  void bump_space() {
    if (!flags_.x) return;
    while (!eof()) {
      if (is_white_space(ch())) {
        bump();
      } else if (ch() == '#') {
        while (!eof()) {
          char32_t c = ch();
          bump();
          if (c == '\n') break;
        }
      } else {
        break;
      }
    }
  }
  bool bump_and_bump_space() {
    if (!bump()) return false;
    bump_space();
    return !eof();
  }
  // The character after the current one, skipping verbose-mode space. The
  // quirks of this scan (a comment's text is not skipped) are deliberate: they
  // decide whether `-` starts a range exactly as the syntax reference does.
  bool peek_space(char32_t& out) const {
    if (!flags_.x) {
      if (!has_peek()) return false;
      out = peek();
      return true;
    }
    if (eof()) return false;
    size_t start = pos_ + 1;
    bool in_comment = false;
    for (size_t i = pos_ + 1; i < p_.size(); ++i) {
      char32_t c = p_[i];
      if (is_white_space(c)) continue;
      if (!in_comment && c == '#') {
        in_comment = true;
      } else if (in_comment && c == '\n') {
        in_comment = false;
      } else {
        start = i;
        break;
      }
    }
    if (start >= p_.size()) return false;
    out = p_[start];
    return true;
  }

  [[noreturn]] void fail(std::string message, size_t position) const { throw Failure{std::move(message), position}; }

  // ---- tree building --------------------------------------------------------
  std::vector<Item>& concat() { return frames_.back().concat; }

  void check_depth(uint64_t depth) const {
    if (depth + options_.wrapper_depth > options_.nest_limit) {
      fail("pattern nests deeper than the limit of " + std::to_string(options_.nest_limit) +
               " levels of groups, repetitions and classes",
           pos_ > 0 ? pos_ - 1 : 0);
    }
  }

  uint32_t add_node(SyntaxNode node) {
    tree_.nodes.push_back(std::move(node));
    return uint32_t(tree_.nodes.size() - 1);
  }

  uint32_t empty_node() {
    if (empty_ == kNoNode) empty_ = add_node(SyntaxNode{});
    return empty_;
  }

  uint32_t class_node(CodepointSet set, bool unicode) {
    set.normalize();
    SyntaxNode n;
    n.kind = unicode ? NodeKind::kUnicodeClass : NodeKind::kByteClass;
    n.zero_width = false;
    n.set = uint32_t(tree_.sets.size());
    tree_.sets.push_back(std::move(set));
    return add_node(std::move(n));
  }

  uint32_t look_node(LookKind k) {
    SyntaxNode n;
    n.kind = NodeKind::kLook;
    n.look = k;
    return add_node(std::move(n));
  }

  uint32_t node_of(const Item& it) { return it.node == kNoNode ? empty_node() : it.node; }

  Item collapse_concat(std::vector<Item>& items) {
    if (items.empty()) return Item{empty_node(), 0, false};
    if (items.size() == 1) return Item{node_of(items[0]), items[0].depth, items[0].is_flags};
    uint32_t max_depth = 0;
    std::vector<uint32_t> kids;
    bool zero = true;
    for (const Item& it : items) {
      max_depth = std::max(max_depth, it.depth);
      if (it.is_flags) continue;
      kids.push_back(it.node);
      zero = zero && tree_.nodes[it.node].zero_width;
    }
    check_depth(uint64_t(max_depth) + 1);
    uint32_t node;
    if (kids.empty())
      node = empty_node();
    else if (kids.size() == 1)
      node = kids[0];
    else {
      SyntaxNode n;
      n.kind = NodeKind::kConcat;
      n.zero_width = zero;
      n.children = std::move(kids);
      node = add_node(std::move(n));
    }
    return Item{node, max_depth + 1, false};
  }

  Item finish_frame(Frame& f) {
    Item last = collapse_concat(f.concat);
    if (f.alternatives.empty()) return last;
    f.alternatives.push_back(last);
    uint32_t max_depth = 0;
    bool zero = true;
    SyntaxNode n;
    n.kind = NodeKind::kAlternate;
    for (const Item& it : f.alternatives) {
      max_depth = std::max(max_depth, it.depth);
      uint32_t node = node_of(it);
      zero = zero && tree_.nodes[node].zero_width;
      n.children.push_back(node);
    }
    check_depth(uint64_t(max_depth) + 1);
    n.zero_width = zero;
    return Item{add_node(std::move(n)), max_depth + 1, false};
  }

  // ---- groups and flags -----------------------------------------------------
  void push_group() {
    size_t open = pos_;
    bump();
    bump_space();
    if (bump_if(U"?=") || bump_if(U"?!") || bump_if(U"?<=") || bump_if(U"?<!")) {
      fail("look-around, including look-ahead and look-behind, is not supported", open);
    }
    Flags group_flags = flags_;
    if (bump_if(U"?P<") || bump_if(U"?<")) {
      parse_capture_name();
    } else if (bump_if(U"?")) {
      if (eof()) fail("unclosed group", open);
      std::vector<std::pair<char32_t, bool>> items = parse_flags();
      char32_t end = ch();
      bump();
      if (end == ')') {
        if (items.empty()) fail("repetition operator missing expression", open);
        apply_flags(flags_, items);
        concat().push_back(Item{kNoNode, 0, true});
        return;
      }
      apply_flags(group_flags, items);
    }
    if (frames_.size() + options_.wrapper_depth > options_.nest_limit) check_depth(frames_.size());
    frames_.push_back(Frame{flags_, {}, {}, open});
    flags_ = group_flags;
  }

  void pop_group() {
    if (frames_.size() == 1) fail("unopened group", pos_);
    Frame f = std::move(frames_.back());
    frames_.pop_back();
    Item inner = finish_frame(f);
    flags_ = f.saved;
    bump();
    check_depth(uint64_t(inner.depth) + 1);
    concat().push_back(Item{node_of(inner), inner.depth + 1, false});
  }

  void push_alternate() {
    Frame& f = frames_.back();
    f.alternatives.push_back(collapse_concat(f.concat));
    f.concat.clear();
    bump();
  }

  std::vector<std::pair<char32_t, bool>> parse_flags() {
    std::vector<std::pair<char32_t, bool>> items;
    bool negation = false;
    bool last_was_negation = false;
    size_t negation_pos = 0;
    while (ch() != ':' && ch() != ')') {
      if (ch() == '-') {
        if (negation) fail("flag negation operator repeated", pos_);
        negation = true;
        last_was_negation = true;
        negation_pos = pos_;
      } else {
        last_was_negation = false;
        char32_t c = ch();
        if (c != 'i' && c != 'm' && c != 's' && c != 'U' && c != 'u' && c != 'R' && c != 'x')
          fail("unrecognized flag", pos_);
        for (const auto& [f, v] : items)
          if (f == c) fail("duplicate flag", pos_);
        items.emplace_back(c, !negation);
      }
      if (!bump()) fail("expected flag but the pattern ended", pos_);
    }
    if (last_was_negation) fail("dangling flag negation operator", negation_pos);
    return items;
  }

  static void apply_flags(Flags& f, const std::vector<std::pair<char32_t, bool>>& items) {
    for (const auto& [c, v] : items) {
      switch (c) {
        case 'i': f.i = v; break;
        case 'm': f.m = v; break;
        case 's': f.s = v; break;
        case 'U': f.U = v; break;
        case 'u': f.u = v; break;
        case 'R': f.R = v; break;
        case 'x': f.x = v; break;
        default: break;
      }
    }
  }

  void parse_capture_name() {
    if (eof()) fail("unclosed capture group name", pos_);
    size_t start = pos_;
    for (;;) {
      if (ch() == '>') break;
      char32_t c = ch();
      bool first = pos_ == start;
      bool ok = c == '_' || is_unicode_alphabetic(c) ||
                (!first && (c == '.' || c == '[' || c == ']' || is_unicode_numeric(c)));
      if (!ok) fail("invalid capture group character", pos_);
      if (!bump()) break;
    }
    if (eof()) fail("unclosed capture group name", start);
    std::u32string name = p_.substr(start, pos_ - start);
    bump();
    if (name.empty()) fail("empty capture group name", start);
    if (!capture_names_.insert(name).second) fail("duplicate capture group name", start);
  }

  // ---- repetition -----------------------------------------------------------
  Item pop_operand(size_t at) {
    if (concat().empty() || concat().back().is_flags) fail("repetition operator missing expression", at);
    Item it = concat().back();
    concat().pop_back();
    return it;
  }

  void push_repetition(Item it, uint32_t min, uint64_t max) {
    check_depth(uint64_t(it.depth) + 1);
    uint32_t sub = node_of(it);
    bool zero = tree_.nodes[sub].zero_width;
    if (zero) {
      // Only the empty string: more than one copy adds nothing.
      min = std::min<uint32_t>(min, 1);
      max = std::min<uint64_t>(max, 1);
    }
    uint32_t node;
    if (min == 0 && max == 0) {
      node = empty_node();
    } else if (min == 1 && max == 1) {
      node = sub;
    } else {
      SyntaxNode n;
      n.kind = NodeKind::kRepeat;
      n.min = min;
      n.max = max;
      n.zero_width = zero;
      n.children.push_back(sub);
      node = add_node(std::move(n));
    }
    concat().push_back(Item{node, it.depth + 1, false});
  }

  void uncounted_repetition(uint32_t min, uint64_t max) {
    Item it = pop_operand(pos_);
    if (bump() && ch() == '?') bump();  // lazy: same set of full matches
    push_repetition(it, min, max);
  }

  uint32_t parse_decimal() {
    while (!eof() && is_white_space(ch())) bump();
    size_t start = pos_;
    uint64_t value = 0;
    bool any = false, overflow = false;
    while (!eof() && ch() >= '0' && ch() <= '9') {
      any = true;
      value = value * 10 + (ch() - '0');
      if (value > UINT32_MAX) {
        overflow = true;
        value = UINT32_MAX;
      }
      bump_and_bump_space();
    }
    while (!eof() && is_white_space(ch())) bump_and_bump_space();
    if (!any) fail("repetition quantifier expects a valid decimal", start);
    if (overflow) fail("repetition count is too large (the limit is 4294967295)", start);
    return uint32_t(value);
  }

  void counted_repetition() {
    size_t start = pos_;
    Item it = pop_operand(start);
    if (!bump_and_bump_space()) fail("unclosed counted repetition", start);
    uint32_t min = parse_decimal();
    uint64_t max = min;
    if (eof()) fail("unclosed counted repetition", start);
    if (ch() == ',') {
      if (!bump_and_bump_space()) fail("unclosed counted repetition", start);
      if (ch() != '}')
        max = parse_decimal();
      else
        max = kUnbounded;
    }
    if (eof() || ch() != '}') fail("unclosed counted repetition", start);
    if (bump_and_bump_space() && ch() == '?') bump();
    if (max != kUnbounded && min > max) fail("invalid repetition count range, the start must be <= the end", start);
    push_repetition(it, min, max);
  }

  // ---- primitives -----------------------------------------------------------
  Primitive parse_primitive() {
    Primitive prim;
    prim.start = pos_;
    switch (ch()) {
      case '\\': return parse_escape();
      case '.': prim.kind = PrimKind::kDot; break;
      case '^':
        prim.kind = PrimKind::kAssertion;
        prim.assertion = Assertion::kStartLine;
        break;
      case '$':
        prim.kind = PrimKind::kAssertion;
        prim.assertion = Assertion::kEndLine;
        break;
      default:
        prim.kind = PrimKind::kLiteral;
        prim.c = ch();
        break;
    }
    bump();
    return prim;
  }

  Primitive parse_escape() {
    Primitive prim;
    size_t start = pos_;
    prim.start = start;
    if (!bump()) fail("incomplete escape sequence, reached end of pattern prematurely", start);
    char32_t c = ch();
    if (c >= '0' && c <= '9') fail("backreferences are not supported", start);
    if (c == 'x' || c == 'u' || c == 'U') return parse_hex(start);
    if (c == 'p' || c == 'P') return parse_unicode_class(start);
    if (c == 'd' || c == 's' || c == 'w' || c == 'D' || c == 'S' || c == 'W') {
      bump();
      prim.kind = PrimKind::kPerl;
      prim.perl = (c == 'd' || c == 'D')   ? PerlKind::kDigit
                  : (c == 's' || c == 'S') ? PerlKind::kSpace
                                           : PerlKind::kWord;
      prim.negated = c == 'D' || c == 'S' || c == 'W';
      return prim;
    }
    bump();
    prim.kind = PrimKind::kLiteral;
    if (is_escapeable(c)) {
      prim.c = c;
      return prim;
    }
    switch (c) {
      case 'a': prim.c = 0x07; return prim;
      case 'f': prim.c = 0x0C; return prim;
      case 't': prim.c = '\t'; return prim;
      case 'n': prim.c = '\n'; return prim;
      case 'r': prim.c = '\r'; return prim;
      case 'v': prim.c = 0x0B; return prim;
      default: break;
    }
    prim.kind = PrimKind::kAssertion;
    switch (c) {
      case 'A': prim.assertion = Assertion::kStartText; return prim;
      case 'z': prim.assertion = Assertion::kEndText; return prim;
      case 'B': prim.assertion = Assertion::kNotWord; return prim;
      case '<': prim.assertion = Assertion::kWordStart; return prim;
      case '>': prim.assertion = Assertion::kWordEnd; return prim;
      case 'b':
        prim.assertion = Assertion::kWord;
        if (!eof() && ch() == '{') maybe_special_word_boundary(prim);
        return prim;
      default: break;
    }
    fail("unrecognized escape sequence", start);
  }

  void maybe_special_word_boundary(Primitive& prim) {
    auto valid = [](char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-'; };
    size_t brace = pos_;
    if (!bump_and_bump_space())
      fail("found the start of a special word boundary or a counted repetition after \\b, but no closing brace", brace);
    if (!valid(ch())) {
      pos_ = brace;  // a counted repetition of \b
      return;
    }
    std::string name;
    while (!eof() && valid(ch())) {
      name.push_back(char(ch()));
      bump_and_bump_space();
    }
    if (eof() || ch() != '}')
      fail("special word boundary assertion is either unclosed or contains an invalid character", brace);
    bump();
    if (name == "start")
      prim.assertion = Assertion::kWordStart;
    else if (name == "end")
      prim.assertion = Assertion::kWordEnd;
    else if (name == "start-half")
      prim.assertion = Assertion::kWordStartHalf;
    else if (name == "end-half")
      prim.assertion = Assertion::kWordEndHalf;
    else
      fail("unrecognized special word boundary assertion, valid choices are: start, end, start-half or end-half",
           brace);
  }

  Primitive parse_hex(size_t start) {
    Primitive prim;
    prim.kind = PrimKind::kLiteral;
    prim.start = start;
    char32_t kind = ch();
    int digits = kind == 'x' ? 2 : kind == 'u' ? 4 : 8;
    if (!bump_and_bump_space()) fail("incomplete escape sequence, reached end of pattern prematurely", start);
    uint64_t value = 0;
    if (ch() == '{') {
      size_t count = 0;
      bool overflow = false;
      while (bump_and_bump_space() && ch() != '}') {
        if (!is_hex(ch())) fail("invalid hexadecimal digit", pos_);
        if (!overflow) {
          value = value * 16 + hex_value(ch());
          if (value > UINT32_MAX) overflow = true;
        }
        ++count;
      }
      if (eof()) fail("incomplete escape sequence, reached end of pattern prematurely", start);
      bump_and_bump_space();
      if (count == 0) fail("hexadecimal literal empty", start);
      if (overflow || !is_scalar(value)) fail("hexadecimal literal is not a Unicode scalar value", start);
    } else {
      for (int i = 0; i < digits; ++i) {
        if (i > 0 && !bump_and_bump_space())
          fail("incomplete escape sequence, reached end of pattern prematurely", start);
        if (!is_hex(ch())) fail("invalid hexadecimal digit", pos_);
        value = value * 16 + hex_value(ch());
      }
      bump_and_bump_space();
      if (!is_scalar(value)) fail("hexadecimal literal is not a Unicode scalar value", start);
      prim.hex_byte = kind == 'x';
    }
    prim.c = char32_t(value);
    return prim;
  }

  Primitive parse_unicode_class(size_t start) {
    Primitive prim;
    prim.kind = PrimKind::kUnicode;
    prim.start = start;
    prim.negated = ch() == 'P';
    if (!bump_and_bump_space()) fail("incomplete escape sequence, reached end of pattern prematurely", start);
    if (ch() == '{') {
      std::u32string body;
      while (bump_and_bump_space() && ch() != '}') body.push_back(ch());
      if (eof()) fail("incomplete escape sequence, reached end of pattern prematurely", start);
      bump();
      size_t at;
      if ((at = body.find(U"!=")) != std::u32string::npos) {
        prim.name = to_utf8(body.substr(0, at));
        prim.value = to_utf8(body.substr(at + 2));
        prim.has_value = true;
        prim.negated = !prim.negated;
      } else if ((at = body.find(U':')) != std::u32string::npos || (at = body.find(U'=')) != std::u32string::npos) {
        prim.name = to_utf8(body.substr(0, at));
        prim.value = to_utf8(body.substr(at + 1));
        prim.has_value = true;
      } else {
        prim.name = to_utf8(body);
      }
    } else {
      char32_t c = ch();
      if (c == '\\') fail("invalid Unicode character class", start);
      bump_and_bump_space();
      prim.name = to_utf8(std::u32string(1, c));
    }
    return prim;
  }

  // ---- translation of primitives ----------------------------------------------
  void require_utf8_safe(const CodepointSet& set, size_t at) const {
    if (options_.utf8 && set.max_member() > 0x7F) fail("pattern can match invalid UTF-8", at);
  }

  // Fold and negate a class whose members are code points (Unicode mode) or
  // bytes (Unicode mode off); in str mode a byte class must stay ASCII.
  void fold_and_negate(CodepointSet& set, bool negated, size_t at) const {
    set.normalize();
    if (flags_.u) {
      if (flags_.i) add_case_orbits(set);
      if (negated) set.negate(kMaxScalar, true);
    } else {
      if (flags_.i) fold_ascii(set);
      if (negated) set.negate(0xFF, false);
      require_utf8_safe(set, at);
    }
  }

  CodepointSet unicode_property(const Primitive& prim) const {
    if (!flags_.u) fail("Unicode not allowed here", prim.start);
    CodepointSet set;
    switch (lookup_unicode_property(prim.name, prim.has_value, prim.value, set)) {
      case PropertyLookup::kFound: break;
      case PropertyLookup::kPropertyNotFound: fail("Unicode property not found", prim.start);
      case PropertyLookup::kValueNotFound: fail("Unicode property value not found", prim.start);
    }
    fold_and_negate(set, prim.negated, prim.start);
    return set;
  }

  CodepointSet perl_set(const Primitive& prim) const {
    if (flags_.u) {
      CodepointSet set = prim.perl == PerlKind::kDigit   ? unicode_digit_set()
                         : prim.perl == PerlKind::kSpace ? unicode_space_set()
                                                         : unicode_word_set();
      if (prim.negated) set.negate(kMaxScalar, true);
      return set;
    }
    CodepointSet set = ascii_perl_set(prim.perl);
    if (prim.negated) set.negate(0xFF, false);
    require_utf8_safe(set, prim.start);
    return set;
  }

  Item primitive_item(const Primitive& prim) {
    switch (prim.kind) {
      case PrimKind::kLiteral: return Item{literal_node(prim), 0, false};
      case PrimKind::kDot: return Item{dot_node(prim), 0, false};
      case PrimKind::kAssertion: return Item{look_node(look_kind(prim.assertion)), 0, false};
      case PrimKind::kPerl: return Item{class_node(perl_set(prim), flags_.u), 0, false};
      case PrimKind::kUnicode: return Item{class_node(unicode_property(prim), true), 0, false};
    }
    return Item{};
  }

  uint32_t literal_node(const Primitive& prim) {
    uint32_t c = prim.c;
    if (!flags_.u && prim.hex_byte && c > 0x7F) {
      if (options_.utf8) fail("pattern can match invalid UTF-8", prim.start);
      return class_node(CodepointSet::single(c), false);  // a raw byte
    }
    if (flags_.i) {
      if (flags_.u) {
        if (range_has_case_orbit(c, c)) {
          CodepointSet set = CodepointSet::single(c);
          add_case_orbits(set);
          return class_node(std::move(set), true);
        }
      } else if (c < 0x80) {
        CodepointSet set = CodepointSet::single(c);
        fold_ascii(set);
        return class_node(std::move(set), false);
      }
    }
    // A literal stands for its UTF-8 even with Unicode mode off.
    return class_node(CodepointSet::single(c), true);
  }

  uint32_t dot_node(const Primitive& prim) {
    if (flags_.u) {
      CodepointSet set{{0, kMaxScalar}};
      if (!flags_.s) {
        set.subtract(CodepointSet::single('\n'));
        if (flags_.R) set.subtract(CodepointSet::single('\r'));
      }
      set.remove_surrogates();
      return class_node(std::move(set), true);
    }
    if (options_.utf8) fail("pattern can match invalid UTF-8", prim.start);
    CodepointSet set{{0, 0xFF}};
    if (!flags_.s) {
      set.subtract(CodepointSet::single('\n'));
      if (flags_.R) set.subtract(CodepointSet::single('\r'));
    }
    return class_node(std::move(set), false);
  }

  LookKind look_kind(Assertion a) const {
    bool u = flags_.u;
    switch (a) {
      case Assertion::kStartText: return LookKind::kStartText;
      case Assertion::kEndText: return LookKind::kEndText;
      case Assertion::kStartLine:
        return !flags_.m ? LookKind::kStartText : flags_.R ? LookKind::kStartCRLF : LookKind::kStartLF;
      case Assertion::kEndLine:
        return !flags_.m ? LookKind::kEndText : flags_.R ? LookKind::kEndCRLF : LookKind::kEndLF;
      case Assertion::kWord: return u ? LookKind::kWordUnicode : LookKind::kWordAscii;
      case Assertion::kNotWord: return u ? LookKind::kNotWordUnicode : LookKind::kNotWordAscii;
      case Assertion::kWordStart: return u ? LookKind::kWordStartUnicode : LookKind::kWordStartAscii;
      case Assertion::kWordEnd: return u ? LookKind::kWordEndUnicode : LookKind::kWordEndAscii;
      case Assertion::kWordStartHalf: return u ? LookKind::kWordStartHalfUnicode : LookKind::kWordStartHalfAscii;
      case Assertion::kWordEndHalf: return u ? LookKind::kWordEndHalfUnicode : LookKind::kWordEndHalfAscii;
    }
    return LookKind::kStartText;
  }

  // ---- bracket classes ------------------------------------------------------
  uint32_t class_literal_member(const Primitive& prim) const {
    if (flags_.u) return prim.c;
    if (prim.hex_byte && prim.c > 0x7F) {
      if (options_.utf8) fail("pattern can match invalid UTF-8", prim.start);
      return prim.c;
    }
    if (prim.c > 0x7F) fail("Unicode not allowed here", prim.start);
    return prim.c;
  }

  void add_literal(UnionAcc& un, char32_t c) {
    un.set.add(c, c);
    ++un.count;
  }

  void add_class_item(UnionAcc& un, const Primitive& prim) {
    switch (prim.kind) {
      case PrimKind::kLiteral: {
        uint32_t m = class_literal_member(prim);
        un.set.add(m, m);
        break;
      }
      case PrimKind::kPerl: un.set.add_set(perl_set(prim)); break;
      case PrimKind::kUnicode: un.set.add_set(unicode_property(prim)); break;
      default: fail("invalid escape sequence found in character class", prim.start);
    }
    ++un.count;
  }

  ClassVal collapse_union(UnionAcc& un) {
    ClassVal v;
    un.set.normalize();
    v.set = std::move(un.set);
    v.depth = un.count >= 2 ? un.max_depth + 1 : un.count == 1 ? un.max_depth : 0;
    check_depth(v.depth);
    un = UnionAcc{};
    return v;
  }

  ClassVal pop_class_op(std::vector<ClassFrame>& stack, ClassVal rhs) {
    if (stack.empty() || !stack.back().is_op) return rhs;
    ClassFrame f = std::move(stack.back());
    stack.pop_back();
    ClassVal lhs = std::move(f.lhs);
    if (flags_.i) {
      if (flags_.u) {
        add_case_orbits(lhs.set);
        add_case_orbits(rhs.set);
      } else {
        fold_ascii(lhs.set);
        fold_ascii(rhs.set);
      }
    }
    switch (f.op) {
      case ClassOp::kIntersection: lhs.set.intersect_with(rhs.set); break;
      case ClassOp::kDifference: lhs.set.subtract(rhs.set); break;
      case ClassOp::kSymmetricDifference: lhs.set.symmetric_difference_with(rhs.set); break;
    }
    lhs.depth = std::max(lhs.depth, rhs.depth) + 1;
    check_depth(lhs.depth);
    return lhs;
  }

  void open_class(std::vector<ClassFrame>& stack, UnionAcc& un) {
    size_t start = pos_;
    if (stack.size() + options_.wrapper_depth + 1 > options_.nest_limit) check_depth(stack.size() + 1);
    if (!bump_and_bump_space()) fail("unclosed character class", start);
    bool negated = false;
    if (ch() == '^') {
      negated = true;
      if (!bump_and_bump_space()) fail("unclosed character class", start);
    }
    ClassFrame f;
    f.parent = std::move(un);
    f.negated = negated;
    f.start = start;
    stack.push_back(std::move(f));
    un = UnionAcc{};
    while (ch() == '-') {
      add_literal(un, '-');
      if (!bump_and_bump_space()) fail("unclosed character class", start);
    }
    if (un.count == 0 && ch() == ']') {
      add_literal(un, ']');
      if (!bump_and_bump_space()) fail("unclosed character class", start);
    }
  }

  bool maybe_ascii_class(UnionAcc& un) {
    size_t start = pos_;
    auto back_up = [&] {
      pos_ = start;
      return false;
    };
    if (!bump() || ch() != ':') return back_up();
    if (!bump()) return back_up();
    bool negated = false;
    if (ch() == '^') {
      negated = true;
      if (!bump()) return back_up();
    }
    size_t name_start = pos_;
    while (ch() != ':' && bump()) {
    }
    if (eof()) return back_up();
    std::u32string name32 = p_.substr(name_start, pos_ - name_start);
    if (!bump_if(U":]")) return back_up();
    bool found = false;
    CodepointSet set = ascii_class(to_utf8(name32), found);
    if (!found) return back_up();
    fold_and_negate(set, negated, start);
    un.set.add_set(set);
    ++un.count;
    return true;
  }

  void class_range(UnionAcc& un) {
    Primitive p1 = parse_class_item();
    bump_space();
    if (eof()) fail("unclosed character class", p1.start);
    char32_t next = 0;
    bool has_next = peek_space(next);
    if (ch() != '-' || (has_next && (next == ']' || next == '-'))) {
      add_class_item(un, p1);
      return;
    }
    if (!bump_and_bump_space()) fail("unclosed character class", p1.start);
    Primitive p2 = parse_class_item();
    if (p1.kind != PrimKind::kLiteral || p2.kind != PrimKind::kLiteral)
      fail("invalid range boundary, must be a literal", p1.kind != PrimKind::kLiteral ? p1.start : p2.start);
    if (p1.c > p2.c) fail("invalid range, the start must be <= the end", p1.start);
    uint32_t lo = class_literal_member(p1);
    uint32_t hi = class_literal_member(p2);
    un.set.add(lo, hi);
    ++un.count;
  }

  Primitive parse_class_item() {
    if (ch() == '\\') return parse_escape();
    Primitive prim;
    prim.kind = PrimKind::kLiteral;
    prim.start = pos_;
    prim.c = ch();
    bump();
    return prim;
  }

  Item parse_set_class() {
    std::vector<ClassFrame> stack;
    UnionAcc un;
    size_t outer = pos_;
    for (;;) {
      bump_space();
      if (eof()) fail("unclosed character class", stack.empty() ? outer : stack.back().start);
      char32_t c = ch();
      if (c == '[') {
        if (!stack.empty() && maybe_ascii_class(un)) continue;
        open_class(stack, un);
      } else if (c == ']') {
        ClassVal v = pop_class_op(stack, collapse_union(un));
        ClassFrame open = std::move(stack.back());
        stack.pop_back();
        bump();
        fold_and_negate(v.set, open.negated, open.start);
        uint32_t depth = v.depth + 1;
        check_depth(depth);
        if (stack.empty()) {
          if (!flags_.u) require_utf8_safe(v.set, open.start);
          return Item{class_node(std::move(v.set), flags_.u), depth, false};
        }
        un = std::move(open.parent);
        un.set.add_set(v.set);
        ++un.count;
        un.max_depth = std::max(un.max_depth, depth);
      } else if ((c == '&' || c == '-' || c == '~') && has_peek() && peek() == c) {
        pos_ += 2;
        ClassVal lhs = pop_class_op(stack, collapse_union(un));
        ClassFrame f;
        f.is_op = true;
        f.op = c == '&' ? ClassOp::kIntersection : c == '-' ? ClassOp::kDifference : ClassOp::kSymmetricDifference;
        f.lhs = std::move(lhs);
        stack.push_back(std::move(f));
      } else {
        class_range(un);
      }
    }
  }

  std::u32string p_;
  const Options& options_;
  SyntaxTree& tree_;
  size_t pos_ = 0;
  Flags flags_;
  std::vector<Frame> frames_;
  std::set<std::u32string> capture_names_;
  uint32_t empty_ = kNoNode;
};

}  // namespace

bool parse_pattern(std::string_view source, const Options& options, SyntaxTree& tree, PatternError& error) {
  std::u32string text;
  if (!decode_utf8(source, text)) {
    error.message = "the pattern is not valid UTF-8";
    return false;
  }
  tree = SyntaxTree{};
  try {
    Parser parser(std::move(text), options, tree);
    parser.run();
  } catch (const Failure& f) {
    error.message = f.message + " at position " + std::to_string(f.position);
    tree = SyntaxTree{};
    return false;
  }
  return true;
}

}  // namespace tessolin::pattern

#include "compile/annotated/pattern_compatibility.hpp"

#include <string>
#include <vector>

#include "binding/error.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

constexpr const char* kClassSetReason =
    "this is a class-set operator here and a literal character to `re`, so the two read the pattern as different "
    "sets. Escape the characters to mean them literally, or write the classes out.";
constexpr const char* kPossessiveReason =
    "`re` reads this as a possessive quantifier and this engine as a repetition of a repetition, so the two match "
    "different texts. Drop the + to repeat once, or group the inner repetition, as in (?:a*)+, to repeat it again.";
constexpr const char* kWordBoundaryReason =
    "this is a word-boundary assertion here and literal text to `re`, so the two match different texts. Leave out "
    "the backslash, or escape the brace, to mean the characters literally.";
constexpr const char* kSpacedCountReason =
    "this is a counted repetition here and literal text to `re`, which reads a count only without blanks, so the "
    "two match different texts. Write the count without blanks, or escape the braces to mean them literally.";
constexpr const char* kEndAnchorReason =
    "without the multiline flag `re` also matches $ just before a final line feed, which the pattern after it can "
    "match, so the two match different texts. Put the $ at the end of the pattern or of a top-level alternative, "
    "or leave it out: the whole text is matched anyway.";
constexpr const char* kLeadingRangeReason =
    "`re` reads a leading ] followed by - as the start of a range and this engine as the members ] and -, so the two "
    "read the pattern as different sets. Escape the - or put it last to mean it as a member.";
constexpr const char* kVerboseBlankReason =
    "under the verbose flag this engine skips every Unicode blank and `re` only the ASCII ones, reading this one as "
    "a literal character, so the two match different texts. Escape it to mean it literally.";
constexpr const char* kCommentEscapeReason =
    "under the verbose flag `re` lets a backslash escape the line feed that would end a comment, so its comment "
    "runs on into the next line, while this engine ends the comment at the line feed; the two match different "
    "texts. Drop the backslash or end the comment with another character.";
constexpr const char* kVerboseClassReason =
    "under the verbose flag this is skipped inside a class here and a member to `re`, so the two read the pattern "
    "as different sets. Escape it to mean it as a member.";

// Code points of valid UTF-8 (the text came from a str).
std::u32string code_points(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t c;
    size_t len;
    if (b < 0x80) {
      c = b;
      len = 1;
    } else if (b < 0xE0) {
      c = b & 0x1F;
      len = 2;
    } else if (b < 0xF0) {
      c = b & 0x0F;
      len = 3;
    } else {
      c = b & 0x07;
      len = 4;
    }
    for (size_t k = 1; k < len && i + k < text.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    out.push_back(c);
    i += len;
  }
  return out;
}

[[noreturn]] void refuse(const char* what, size_t position, std::string_view text, const char* reason) {
  py::raise_value_error(std::string("possible ") + what + " at position " + std::to_string(position) + " in " +
                        py::quote_text(text) + ": " + reason);
}

const char* pair_operator(char32_t c) noexcept {
  switch (c) {
    case U'&': return "set intersection";
    case U'-': return "set difference";
    case U'~': return "set symmetric difference";
    default: return nullptr;
  }
}

// The blanks the engine skips under the verbose flag (White_Space).
bool is_white_space(char32_t c) noexcept {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool is_ascii_letter(char32_t c) noexcept { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }

bool is_flag_letter(char32_t c) noexcept {
  switch (c) {
    case U'i':
    case U'm':
    case U's':
    case U'R':
    case U'U':
    case U'u':
    case U'x':
    case U'-': return true;
    default: return false;
  }
}

// Reads a verbose comment from its `#` at `from` as `re` does, where a
// backslash escapes the next character: a backslash escaping the line feed
// that ends the comment for the engine is refused. Returns the position of
// that line feed (or the end), where the comment ends for both.
size_t check_comment(const std::u32string& cp, size_t from, std::string_view text) {
  const size_t n = cp.size();
  size_t k = from + 1;
  for (; k < n && cp[k] != U'\n'; ++k) {
    if (cp[k] != U'\\') continue;
    if (k + 1 < n && cp[k + 1] == U'\n') refuse("escaped line feed", k, text, kCommentEscapeReason);
    ++k;
  }
  return k;
}

// Whether nothing after a `$` at `from` can consume text: only closing
// groups, further `$`, optional marks and (verbose) blanks and comments up
// to the end of the pattern or a top-level `|`. A repetition could come
// back round to consume the final line feed, so it does not count.
// `verbose` holds, per open group from the outermost, whether the verbose
// flag is surely on there: a closing group leaves its scope, so blanks after
// it are text again.
bool ends_the_match(const std::u32string& cp, size_t from, const std::vector<bool>& verbose) {
  const size_t n = cp.size();
  size_t level = verbose.size() - 1;
  size_t k = from;
  while (k < n) {
    const char32_t c = cp[k];
    if (c == U'|') return level == 0;
    if (c == U')') {
      if (level > 0) --level;
      ++k;
    } else if (c == U'$' || c == U'?' || (verbose[level] && is_white_space(c))) {
      ++k;
    } else if (verbose[level] && c == U'#') {
      while (k < n && cp[k] != U'\n') ++k;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

void scan_divergent_spellings(std::string_view text) {
  const std::u32string cp = code_points(text);
  const size_t n = cp.size();
  auto at = [&](size_t k) -> char32_t { return k < n ? cp[k] : U'\0'; };
  bool in_class = false;
  size_t content_start = 0;  // where the current class's members begin
  // Set once a flag group turns verbose mode on anywhere before; never
  // cleared, so a scoped or cancelled flag still counts (refusing more).
  bool verbose = false;
  // Whether verbose mode is surely on, per open group from the outermost:
  // what lets blanks and comments count as nothing (accepting more) must
  // follow the flag's scope exactly. Its size is one more than the number
  // of open groups.
  std::vector<bool> surely_verbose{false};
  // Set when the pattern opens with flag groups turning multiline mode on
  // (where `$` means the same to both); cleared for good by any group that
  // turns it off.
  bool multiline = false;
  bool leading = true;  // nothing but bare flag groups so far
  // Where the last verbose comment read ends.
  size_t comment_end = 0;
  // Outside classes: where the quantifier that ends the last item began.
  size_t quantifier = kNone;
  size_t i = 0;
  while (i < n) {
    const char32_t c = cp[i];
    if (in_class) {
      if (c == U'\\') {
        i += 2;
        continue;
      }
      if (c == U']') {
        in_class = false;
        ++i;
        continue;
      }
      // Every `[` here opens a nested class for the engine; `re` reads
      // it as a member, `[:` included ([[:alpha:]] is `[[:alph]` and `]`).
      if (c == U'[') refuse("nested set", i, text, kClassSetReason);
      // Even where a pair opens the members, the engine reads an
      // operator with an empty side ([&&b] matches nothing) or a range
      // differently ([--a] is `-` and `a` here, a range to `re`).
      if (const char* op = pair_operator(c); op != nullptr && at(i + 1) == c) {
        // A pair that opens the members is skipped and the scan goes
        // on from its second character, so a third one is reported
        // there ([&&&] at 2).
        if (i == content_start && at(i + 2) == c) refuse(op, i + 1, text, kClassSetReason);
        refuse(op, i, text, kClassSetReason);
      }
      if (verbose && (is_white_space(c) || c == U'#')) {
        refuse(c == U'#' ? "comment" : "skipped blank", i, text, kVerboseClassReason);
      }
      ++i;
      continue;
    }
    const bool was_leading = leading;
    leading = false;
    switch (c) {
      case U'\\': {
        const char32_t e = at(i + 1);
        if (e == U'<' || e == U'>') refuse("word-boundary assertion", i, text, kWordBoundaryReason);
        if (e == U'b' && at(i + 2) == U'{' && is_ascii_letter(at(i + 3))) {
          refuse("word-boundary assertion", i, text, kWordBoundaryReason);
        }
        quantifier = kNone;
        i += 2;
        // The braces of \x{..}, \u{..}, \U{..}, \p{..}, \P{..} belong to the escape.
        if ((e == U'x' || e == U'u' || e == U'U' || e == U'p' || e == U'P') && at(i) == U'{') {
          while (i < n && cp[i] != U'}') ++i;
          ++i;
        }
        continue;
      }
      case U'[': {
        size_t j = i + 1;
        if (at(j) == U'^') ++j;
        content_start = j;
        if (at(j) == U']') {
          ++j;  // a member, not the end
          // `re` reads `]-a` as a range from `]`; `]-]` is two members to both.
          if (at(j) == U'-' && j + 1 < n && cp[j + 1] != U']') refuse("range", j - 1, text, kLeadingRangeReason);
        }
        in_class = true;
        quantifier = kNone;
        i = j;
        continue;
      }
      case U'(': {
        quantifier = kNone;
        if (at(i + 1) != U'?') {
          surely_verbose.push_back(surely_verbose.back());
          break;
        }
        // A flag group: (?x) or (?x:...) may turn verbose mode on.
        size_t j = i + 2;
        bool negated = false;
        bool sets_verbose = false;
        bool clears_verbose = false;
        bool sets_multiline = false;
        bool clears_multiline = false;
        for (; j < n && is_flag_letter(cp[j]); ++j) {
          if (cp[j] == U'-') negated = true;
          if (cp[j] == U'x') (negated ? clears_verbose : sets_verbose) = true;
          if (cp[j] == U'm') (negated ? clears_multiline : sets_multiline) = true;
        }
        const bool bare = at(j) == U')';
        if ((bare || at(j) == U':') && sets_verbose) verbose = true;
        if ((bare || at(j) == U':') && clears_multiline) multiline = false;
        if (bare) {
          // Only leading bare groups set a flag for the whole pattern.
          if (was_leading && sets_multiline) multiline = true;
          if (sets_verbose || clears_verbose) surely_verbose.back() = was_leading && sets_verbose && !clears_verbose;
          leading = was_leading;
          i = j + 1;
          continue;
        }
        bool inner = surely_verbose.back();
        if (at(j) == U':' && (sets_verbose || clears_verbose)) inner = sets_verbose && !clears_verbose;
        surely_verbose.push_back(inner);
        i += 2;  // the `?` is no quantifier
        continue;
      }
      case U')':
        if (surely_verbose.size() > 1) surely_verbose.pop_back();
        break;
      case U'#':
        // A `#` inside a comment already read starts none.
        if (verbose && i >= comment_end) comment_end = check_comment(cp, i, text);
        break;
      case U'$':
        if (!multiline && !ends_the_match(cp, i + 1, surely_verbose)) {
          refuse("end anchor", i, text, kEndAnchorReason);
        }
        break;
      case U'*':
      case U'+':
      case U'?':
        // A `+` straight after a quantifier (its lazy `?` included)
        // is possessive to `re`, a further repetition here.
        if (c == U'+' && quantifier != kNone) refuse("possessive quantifier", quantifier, text, kPossessiveReason);
        if (quantifier == kNone) quantifier = i;
        ++i;
        continue;
      case U'{': {
        // Always a count to the engine; `re` reads one only as digits
        // with at most one comma, and any other braces as literal text.
        size_t j = i + 1;
        bool spaced = false;
        bool other = false;
        bool comment = false;  // the engine skips it under the verbose flag
        for (; j < n && cp[j] != U'}'; ++j) {
          if (is_white_space(cp[j])) {
            spaced = true;
          } else if (verbose && cp[j] == U'#') {
            comment = true;
          } else if (!((cp[j] >= U'0' && cp[j] <= U'9') || cp[j] == U',')) {
            other = true;
          }
        }
        if (j == n) {
          quantifier = kNone;
          ++i;
          continue;
        }
        if (comment || (spaced && !other)) refuse("counted repetition", i, text, kSpacedCountReason);
        if (quantifier == kNone) quantifier = i;
        i = j + 1;
        continue;
      }
      default:
        if (verbose && c >= 0x80 && is_white_space(c)) refuse("skipped blank", i, text, kVerboseBlankReason);
        break;
    }
    quantifier = kNone;
    ++i;
  }
}

}  // namespace tessolin::build

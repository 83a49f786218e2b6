#include "pattern/utf8.hpp"

namespace tessolin::pattern {

void append_utf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
  } else if (c < 0x800) {
    out.push_back(char(0xC0 | (c >> 6)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(char(0xE0 | (c >> 12)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (c >> 18)));
    out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  }
}

int32_t decode_forward(std::string_view text, size_t pos) {
  if (pos >= text.size()) return -1;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  uint32_t b0 = s[pos];
  if (b0 < 0x80) return int32_t(b0);
  size_t len;
  uint32_t c, min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    c = b0 & 0x1F;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    c = b0 & 0x0F;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    c = b0 & 0x07;
    min = 0x10000;
  } else
    return -1;
  if (pos + len > n) return -1;
  for (size_t i = 1; i < len; ++i) {
    uint32_t b = s[pos + i];
    if ((b & 0xC0) != 0x80) return -1;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > kMaxScalar || (c >= kSurrogateLo && c <= kSurrogateHi)) return -1;
  return int32_t(c);
}

int32_t decode_backward(std::string_view text, size_t pos) {
  if (pos == 0 || pos > text.size()) return -1;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t start = pos - 1;
  size_t limit = pos >= 4 ? pos - 4 : 0;
  while (start > limit && (s[start] & 0xC0) == 0x80) --start;
  int32_t c = decode_forward(text, start);
  if (c < 0) return -1;
  uint32_t u = uint32_t(c);
  size_t len = u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
  return start + len == pos ? c : -1;
}

bool decode_utf8(std::string_view in, std::u32string& out) {
  out.clear();
  out.reserve(in.size());
  size_t pos = 0;
  while (pos < in.size()) {
    int32_t c = decode_forward(in, pos);
    if (c < 0) return false;
    out.push_back(char32_t(c));
    uint32_t u = uint32_t(c);
    pos += u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
  }
  return true;
}

namespace {

size_t encode(uint32_t c, uint8_t* out) {
  std::string s;
  append_utf8(s, c);
  for (size_t i = 0; i < s.size(); ++i) out[i] = uint8_t(s[i]);
  return s.size();
}

}  // namespace

std::vector<Utf8Sequence> utf8_sequences(const CodepointSet& set) {
  std::vector<Utf8Sequence> out;
  std::vector<CodepointRange> stack;
  for (auto it = set.ranges().rbegin(); it != set.ranges().rend(); ++it) stack.push_back(*it);
  while (!stack.empty()) {
    CodepointRange r = stack.back();
    stack.pop_back();
    for (;;) {
      // Surrogates have no UTF-8 form: split around them.
      if (r.lo < 0xE000 && r.hi > 0xD7FF) {
        if (r.hi >= 0xE000) stack.push_back({0xE000, r.hi});
        if (r.lo > 0xD7FF) break;
        r.hi = 0xD7FF;
        continue;
      }
      if (r.lo > r.hi) break;
      // Split where the encoded length changes.
      bool split = false;
      for (uint32_t max : {0x7Fu, 0x7FFu, 0xFFFFu}) {
        if (r.lo <= max && max < r.hi) {
          stack.push_back({max + 1, r.hi});
          r.hi = max;
          split = true;
          break;
        }
      }
      if (split) continue;
      if (r.hi <= 0x7F) {
        Utf8Sequence seq;
        seq.length = 1;
        seq.ranges[0] = {uint8_t(r.lo), uint8_t(r.hi)};
        out.push_back(seq);
        break;
      }
      // Split until every continuation byte spans a full or aligned range.
      for (uint32_t i = 1; i < 4; ++i) {
        uint32_t m = (1u << (6 * i)) - 1;
        if ((r.lo & ~m) != (r.hi & ~m)) {
          if ((r.lo & m) != 0) {
            stack.push_back({(r.lo | m) + 1, r.hi});
            r.hi = r.lo | m;
            split = true;
            break;
          }
          if ((r.hi & m) != m) {
            stack.push_back({r.hi & ~m, r.hi});
            r.hi = (r.hi & ~m) - 1;
            split = true;
            break;
          }
        }
      }
      if (split) continue;
      uint8_t a[4], b[4];
      size_t n = encode(r.lo, a);
      encode(r.hi, b);
      Utf8Sequence seq;
      seq.length = uint8_t(n);
      for (size_t i = 0; i < n; ++i) seq.ranges[i] = {a[i], b[i]};
      out.push_back(seq);
      break;
    }
  }
  return out;
}

}  // namespace tessolin::pattern

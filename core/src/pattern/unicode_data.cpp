#include "pattern/unicode_data.hpp"

#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessolin::pattern {
namespace {

struct USetCloser {
  void operator()(USet* s) const { uset_close(s); }
};
using USetPtr = std::unique_ptr<USet, USetCloser>;

USetPtr open_empty() { return USetPtr(uset_openEmpty()); }

CodepointSet to_codepoint_set(const USet* s) {
  CodepointSet out;
  UErrorCode ec = U_ZERO_ERROR;
  int32_t n = uset_getItemCount(s);
  for (int32_t i = 0; i < n; ++i) {
    UChar32 lo = 0, hi = 0;
    ec = U_ZERO_ERROR;
    int32_t len = uset_getItem(s, i, &lo, &hi, nullptr, 0, &ec);
    if (len != 0) continue;  // a string item
    out.add(uint32_t(lo), uint32_t(hi));
  }
  out.normalize();
  out.remove_surrogates();
  return out;
}

CodepointSet int_property_set(UProperty prop, int32_t value) {
  USetPtr s = open_empty();
  UErrorCode ec = U_ZERO_ERROR;
  uset_applyIntPropertyValue(s.get(), prop, value, &ec);
  if (U_FAILURE(ec)) return {};
  return to_codepoint_set(s.get());
}

CodepointSet gc_mask_set(int32_t mask) { return int_property_set(UCHAR_GENERAL_CATEGORY_MASK, mask); }
CodepointSet binary_set(UProperty prop) { return int_property_set(prop, 1); }

CodepointSet unite(std::initializer_list<CodepointSet> sets) {
  CodepointSet out;
  for (const CodepointSet& s : sets) out.add_set(s);
  out.normalize();
  return out;
}

CodepointSet minus(CodepointSet a, const CodepointSet& b) {
  a.subtract(b);
  return a;
}

// ---------------------------------------------------------------------------
// Case orbits: every code point whose case-insensitive closure has more than
// one member, with the index of its orbit.

struct CaseOrbits {
  std::vector<std::pair<uint32_t, uint32_t>> member_to_orbit;  // sorted by code point
  std::vector<std::vector<uint32_t>> orbits;
};

CaseOrbits build_case_orbits() {
  CaseOrbits out;
  CodepointSet candidates =
      unite({binary_set(UCHAR_CHANGES_WHEN_CASEMAPPED), binary_set(UCHAR_CHANGES_WHEN_CASEFOLDED)});
  std::map<uint32_t, uint32_t> seen;
  for (const CodepointRange& r : candidates.ranges()) {
    for (uint32_t c = r.lo; c <= r.hi; ++c) {
      if (seen.count(c)) continue;
      USetPtr s = open_empty();
      uset_add(s.get(), UChar32(c));
      uset_closeOver(s.get(), USET_CASE_INSENSITIVE);
      uset_removeAllStrings(s.get());
      CodepointSet orbit = to_codepoint_set(s.get());
      if (orbit.size() < 2) continue;
      uint32_t id = uint32_t(out.orbits.size());
      std::vector<uint32_t> members;
      for (const CodepointRange& m : orbit.ranges())
        for (uint32_t x = m.lo; x <= m.hi; ++x) members.push_back(x);
      for (uint32_t x : members) seen.emplace(x, id);
      out.orbits.push_back(std::move(members));
    }
  }
  out.member_to_orbit.assign(seen.begin(), seen.end());
  return out;
}

const CaseOrbits& case_orbits() {
  static const CaseOrbits orbits = build_case_orbits();
  return orbits;
}

// ---------------------------------------------------------------------------
// Binary properties accepted by name, with their aliases (normalised).

enum class Derived {
  kNone,
  kOtherAlphabetic,
  kOtherDefaultIgnorable,
  kOtherGraphemeExtend,
  kOtherIdContinue,
  kOtherIdStart,
  kOtherLowercase,
  kOtherMath,
  kOtherUppercase,
  kIdsUnaryOperator,
  kIdCompatMathStart,
  kIdCompatMathContinue,
  kModifierCombiningMark,
};

struct BinaryProperty {
  const char* aliases;  // space separated, normalised
  UProperty icu;
  Derived derived;
};

const BinaryProperty kBinaryProperties[] = {
    {"asciihexdigit ahex", UCHAR_ASCII_HEX_DIGIT, Derived::kNone},
    {"alphabetic alpha", UCHAR_ALPHABETIC, Derived::kNone},
    {"bidicontrol bidic", UCHAR_BIDI_CONTROL, Derived::kNone},
    {"bidimirrored bidim", UCHAR_BIDI_MIRRORED, Derived::kNone},
    {"caseignorable ci", UCHAR_CASE_IGNORABLE, Derived::kNone},
    {"cased", UCHAR_CASED, Derived::kNone},
    {"changeswhencasefolded cwcf", UCHAR_CHANGES_WHEN_CASEFOLDED, Derived::kNone},
    {"changeswhencasemapped cwcm", UCHAR_CHANGES_WHEN_CASEMAPPED, Derived::kNone},
    {"changeswhenlowercased cwl", UCHAR_CHANGES_WHEN_LOWERCASED, Derived::kNone},
    {"changeswhentitlecased cwt", UCHAR_CHANGES_WHEN_TITLECASED, Derived::kNone},
    {"changeswhenuppercased cwu", UCHAR_CHANGES_WHEN_UPPERCASED, Derived::kNone},
    {"dash", UCHAR_DASH, Derived::kNone},
    {"defaultignorablecodepoint di", UCHAR_DEFAULT_IGNORABLE_CODE_POINT, Derived::kNone},
    {"deprecated dep", UCHAR_DEPRECATED, Derived::kNone},
    {"diacritic dia", UCHAR_DIACRITIC, Derived::kNone},
    {"emoji", UCHAR_EMOJI, Derived::kNone},
    {"emojicomponent ecomp", UCHAR_EMOJI_COMPONENT, Derived::kNone},
    {"emojimodifier emod", UCHAR_EMOJI_MODIFIER, Derived::kNone},
    {"emojimodifierbase ebase", UCHAR_EMOJI_MODIFIER_BASE, Derived::kNone},
    {"emojipresentation epres", UCHAR_EMOJI_PRESENTATION, Derived::kNone},
    {"extendedpictographic extpict", UCHAR_EXTENDED_PICTOGRAPHIC, Derived::kNone},
    {"extender ext", UCHAR_EXTENDER, Derived::kNone},
    {"graphemebase grbase", UCHAR_GRAPHEME_BASE, Derived::kNone},
    {"graphemeextend grext", UCHAR_GRAPHEME_EXTEND, Derived::kNone},
    {"graphemelink grlink", UCHAR_GRAPHEME_LINK, Derived::kNone},
    {"hexdigit hex", UCHAR_HEX_DIGIT, Derived::kNone},
    {"hyphen", UCHAR_HYPHEN, Derived::kNone},
    {"idsbinaryoperator idsb", UCHAR_IDS_BINARY_OPERATOR, Derived::kNone},
    {"idstrinaryoperator idst", UCHAR_IDS_TRINARY_OPERATOR, Derived::kNone},
    {"idsunaryoperator idsu", UCHAR_INVALID_CODE, Derived::kIdsUnaryOperator},
    {"idcompatmathcontinue", UCHAR_INVALID_CODE, Derived::kIdCompatMathContinue},
    {"idcompatmathstart", UCHAR_INVALID_CODE, Derived::kIdCompatMathStart},
    {"idcontinue idc", UCHAR_ID_CONTINUE, Derived::kNone},
    {"idstart ids", UCHAR_ID_START, Derived::kNone},
    {"ideographic ideo", UCHAR_IDEOGRAPHIC, Derived::kNone},
    {"joincontrol joinc", UCHAR_JOIN_CONTROL, Derived::kNone},
    {"logicalorderexception loe", UCHAR_LOGICAL_ORDER_EXCEPTION, Derived::kNone},
    {"lowercase lower", UCHAR_LOWERCASE, Derived::kNone},
    {"math", UCHAR_MATH, Derived::kNone},
    {"modifiercombiningmark mcm", UCHAR_INVALID_CODE, Derived::kModifierCombiningMark},
    {"noncharactercodepoint nchar", UCHAR_NONCHARACTER_CODE_POINT, Derived::kNone},
    {"otheralphabetic oalpha", UCHAR_INVALID_CODE, Derived::kOtherAlphabetic},
    {"otherdefaultignorablecodepoint odi", UCHAR_INVALID_CODE, Derived::kOtherDefaultIgnorable},
    {"othergraphemeextend ogrext", UCHAR_INVALID_CODE, Derived::kOtherGraphemeExtend},
    {"otheridcontinue oidc", UCHAR_INVALID_CODE, Derived::kOtherIdContinue},
    {"otheridstart oids", UCHAR_INVALID_CODE, Derived::kOtherIdStart},
    {"otherlowercase olower", UCHAR_INVALID_CODE, Derived::kOtherLowercase},
    {"othermath omath", UCHAR_INVALID_CODE, Derived::kOtherMath},
    {"otheruppercase oupper", UCHAR_INVALID_CODE, Derived::kOtherUppercase},
    {"patternsyntax patsyn", UCHAR_PATTERN_SYNTAX, Derived::kNone},
    {"patternwhitespace patws", UCHAR_PATTERN_WHITE_SPACE, Derived::kNone},
    {"prependedconcatenationmark pcm", UCHAR_PREPENDED_CONCATENATION_MARK, Derived::kNone},
    {"quotationmark qmark", UCHAR_QUOTATION_MARK, Derived::kNone},
    {"radical", UCHAR_RADICAL, Derived::kNone},
    {"regionalindicator ri", UCHAR_REGIONAL_INDICATOR, Derived::kNone},
    {"sentenceterminal sterm", UCHAR_S_TERM, Derived::kNone},
    {"softdotted sd", UCHAR_SOFT_DOTTED, Derived::kNone},
    {"terminalpunctuation term", UCHAR_TERMINAL_PUNCTUATION, Derived::kNone},
    {"unifiedideograph uideo", UCHAR_UNIFIED_IDEOGRAPH, Derived::kNone},
    {"uppercase upper", UCHAR_UPPERCASE, Derived::kNone},
    {"variationselector vs", UCHAR_VARIATION_SELECTOR, Derived::kNone},
    {"whitespace wspace space", UCHAR_WHITE_SPACE, Derived::kNone},
    {"xidcontinue xidc", UCHAR_XID_CONTINUE, Derived::kNone},
    {"xidstart xids", UCHAR_XID_START, Derived::kNone},
};

const BinaryProperty* find_binary_property(const std::string& norm) {
  for (const BinaryProperty& p : kBinaryProperties) {
    std::string_view aliases = p.aliases;
    while (!aliases.empty()) {
      size_t sp = aliases.find(' ');
      std::string_view one = aliases.substr(0, sp);
      if (one == norm) return &p;
      if (sp == std::string_view::npos) break;
      aliases.remove_prefix(sp + 1);
    }
  }
  return nullptr;
}

// ICU exposes none of the contributory Other_* properties and lacks a few
// recent ones; they are derived from what it has (or listed by hand) so that
// their names resolve like every other binary property.
CodepointSet derived_property_set(Derived d) {
  const CodepointSet letters = gc_mask_set(U_GC_L_MASK);
  switch (d) {
    case Derived::kOtherAlphabetic:
      return minus(minus(binary_set(UCHAR_ALPHABETIC), letters), gc_mask_set(U_GC_NL_MASK));
    case Derived::kOtherDefaultIgnorable:
      return minus(minus(binary_set(UCHAR_DEFAULT_IGNORABLE_CODE_POINT), gc_mask_set(U_GC_CF_MASK)),
                   binary_set(UCHAR_VARIATION_SELECTOR));
    case Derived::kOtherGraphemeExtend:
      return minus(binary_set(UCHAR_GRAPHEME_EXTEND), gc_mask_set(U_GC_ME_MASK | U_GC_MN_MASK));
    case Derived::kOtherIdContinue:
      return minus(minus(binary_set(UCHAR_ID_CONTINUE), binary_set(UCHAR_ID_START)),
                   gc_mask_set(U_GC_MN_MASK | U_GC_MC_MASK | U_GC_ND_MASK | U_GC_PC_MASK));
    case Derived::kOtherIdStart: return minus(minus(binary_set(UCHAR_ID_START), letters), gc_mask_set(U_GC_NL_MASK));
    case Derived::kOtherLowercase: return minus(binary_set(UCHAR_LOWERCASE), gc_mask_set(U_GC_LL_MASK));
    case Derived::kOtherMath: return minus(binary_set(UCHAR_MATH), gc_mask_set(U_GC_SM_MASK));
    case Derived::kOtherUppercase: return minus(binary_set(UCHAR_UPPERCASE), gc_mask_set(U_GC_LU_MASK));
    case Derived::kIdsUnaryOperator: return CodepointSet{{0x2FFE, 0x2FFF}};
    case Derived::kIdCompatMathStart:
      return CodepointSet{{0x2202, 0x2202},   {0x2207, 0x2207},   {0x221E, 0x221E},   {0x1D6C1, 0x1D6C1},
                          {0x1D6DB, 0x1D6DB}, {0x1D6FB, 0x1D6FB}, {0x1D715, 0x1D715}, {0x1D735, 0x1D735},
                          {0x1D74F, 0x1D74F}, {0x1D76F, 0x1D76F}, {0x1D789, 0x1D789}, {0x1D7A9, 0x1D7A9},
                          {0x1D7C3, 0x1D7C3}};
    case Derived::kIdCompatMathContinue: {
      CodepointSet s = derived_property_set(Derived::kIdCompatMathStart);
      s.union_with(
          CodepointSet{{0x00B2, 0x00B3}, {0x00B9, 0x00B9}, {0x2070, 0x2070}, {0x2074, 0x207E}, {0x2080, 0x208E}});
      return s;
    }
    case Derived::kModifierCombiningMark:
      return CodepointSet{{0x0654, 0x0655}, {0x0658, 0x0658}, {0x06DC, 0x06DC}, {0x06E3, 0x06E3}, {0x06E7, 0x06E8},
                          {0x08CA, 0x08CB}, {0x08CD, 0x08CF}, {0x08D3, 0x08D3}, {0x08F3, 0x08F3}};
    case Derived::kNone: break;
  }
  return {};
}

// Scripts added after the Unicode version of the ICU in use: their names are
// accepted, their (unknown here) members are not.
bool is_recent_script_name(const std::string& n) {
  static const char* const kNames[] = {"garay",  "gara",   "gurungkhema",  "gukh",    "kiratrai",
                                       "krai",   "olonal", "onao",         "sunuwar", "sunu",
                                       "todhri", "todr",   "tulutigalari", "tutg"};
  for (const char* k : kNames)
    if (n == k) return true;
  return false;
}

enum class GcLookup { kFound, kUnknown, kNoData };

GcLookup lookup_general_category(const std::string& n, CodepointSet& out) {
  if (n == "any") {
    out = CodepointSet{{0, kMaxScalar}};
    out.remove_surrogates();
    return GcLookup::kFound;
  }
  if (n == "ascii") {
    out = CodepointSet{{0, 0x7F}};
    return GcLookup::kFound;
  }
  if (n == "assigned") {
    out = gc_mask_set(U_GC_CN_MASK);
    out.negate(kMaxScalar, true);
    return GcLookup::kFound;
  }
  int32_t mask = UCHAR_INVALID_CODE;
  if (n == "digit")
    mask = U_GC_ND_MASK;
  else if (n == "punct")
    mask = U_GC_P_MASK;
  else if (n == "cntrl")
    mask = U_GC_CC_MASK;
  else if (n == "combiningmark")
    mask = U_GC_M_MASK;
  else
    mask = u_getPropertyValueEnum(UCHAR_GENERAL_CATEGORY_MASK, n.c_str());
  if (mask == UCHAR_INVALID_CODE || mask == 0) return GcLookup::kUnknown;
  // Surrogates are no scalar values: the category exists but has no members here.
  if (mask == int32_t(U_GC_CS_MASK)) return GcLookup::kNoData;
  out = gc_mask_set(mask);
  return GcLookup::kFound;
}

enum class ScriptLookup { kFound, kUnknownName, kNoData };

ScriptLookup lookup_script(const std::string& n, UProperty prop, CodepointSet& out) {
  if (is_recent_script_name(n)) {
    out = {};
    return ScriptLookup::kFound;
  }
  int32_t sc = u_getPropertyValueEnum(UCHAR_SCRIPT, n.c_str());
  if (sc == UCHAR_INVALID_CODE) return ScriptLookup::kUnknownName;
  if (sc == USCRIPT_UNKNOWN || sc == USCRIPT_KATAKANA_OR_HIRAGANA) return ScriptLookup::kNoData;
  out = int_property_set(prop, sc);
  if (prop == UCHAR_SCRIPT_EXTENSIONS && out.empty()) {
    // ICU answers scx only for scripts that occur in Scripts.txt; an empty set
    // means a code ICU knows from ISO 15924 alone.
    return ScriptLookup::kNoData;
  }
  if (out.empty()) return ScriptLookup::kNoData;
  return ScriptLookup::kFound;
}

bool lookup_age(const std::string& n, CodepointSet& out) {
  static const char* const kAges[] = {"1.1",  "2.0",  "2.1",  "3.0",  "3.1",  "3.2",  "4.0",  "4.1",  "5.0",
                                      "5.1",  "5.2",  "6.0",  "6.1",  "6.2",  "6.3",  "7.0",  "8.0",  "9.0",
                                      "10.0", "11.0", "12.0", "12.1", "13.0", "14.0", "15.0", "15.1", "16.0"};
  for (const char* age : kAges) {
    std::string dotted = age;
    std::string v = "v";
    for (char c : dotted)
      if (c != '.') v += c;
    if (n != dotted && n != v) continue;
    // The ICU in use stops at 15.0; later ages add nothing it knows of.
    std::string query = dotted;
    if (query == "15.1" || query == "16.0") query = "15.0";
    std::u16string uq(query.begin(), query.end());
    USetPtr s = open_empty();
    UErrorCode ec = U_ZERO_ERROR;
    uset_applyPropertyAlias(s.get(), u"age", -1, uq.c_str(), int32_t(uq.size()), &ec);
    if (U_FAILURE(ec)) return false;
    out = to_codepoint_set(s.get());
    return true;
  }
  return false;
}

bool lookup_enumerated(UProperty prop, const std::string& n, CodepointSet& out) {
  int32_t v = u_getPropertyValueEnum(prop, n.c_str());
  if (v == UCHAR_INVALID_CODE) return false;
  out = int_property_set(prop, v);
  return true;
}

PropertyLookup resolve(const std::string& name, bool has_value, const std::string& value, CodepointSet& out) {
  if (!has_value) {
    if (name != "cf" && name != "sc" && name != "lc") {
      if (const BinaryProperty* p = find_binary_property(name)) {
        out = p->derived == Derived::kNone ? binary_set(p->icu) : derived_property_set(p->derived);
        return PropertyLookup::kFound;
      }
      if (u_getPropertyEnum(name.c_str()) != UCHAR_INVALID_CODE) return PropertyLookup::kPropertyNotFound;
    }
    switch (lookup_general_category(name, out)) {
      case GcLookup::kFound: return PropertyLookup::kFound;
      case GcLookup::kNoData: return PropertyLookup::kValueNotFound;
      case GcLookup::kUnknown: break;
    }
    switch (lookup_script(name, UCHAR_SCRIPT, out)) {
      case ScriptLookup::kFound: return PropertyLookup::kFound;
      case ScriptLookup::kNoData: return PropertyLookup::kValueNotFound;
      case ScriptLookup::kUnknownName: break;
    }
    return PropertyLookup::kPropertyNotFound;
  }
  auto script_like = [&](UProperty prop) {
    switch (lookup_script(value, prop, out)) {
      case ScriptLookup::kFound: return PropertyLookup::kFound;
      default: return PropertyLookup::kValueNotFound;
    }
  };
  auto found = [](bool ok) { return ok ? PropertyLookup::kFound : PropertyLookup::kValueNotFound; };
  if (name == "generalcategory" || name == "gc") {
    // The specials Any, ASCII and Assigned are general-category names here too.
    return found(lookup_general_category(value, out) == GcLookup::kFound);
  }
  if (name == "script" || name == "sc") return script_like(UCHAR_SCRIPT);
  if (name == "scriptextensions" || name == "scx") return script_like(UCHAR_SCRIPT_EXTENSIONS);
  if (name == "age") return found(lookup_age(value, out));
  if (name == "graphemeclusterbreak" || name == "gcb")
    return found(lookup_enumerated(UCHAR_GRAPHEME_CLUSTER_BREAK, value, out));
  if (name == "wordbreak" || name == "wb") return found(lookup_enumerated(UCHAR_WORD_BREAK, value, out));
  if (name == "sentencebreak" || name == "sb") return found(lookup_enumerated(UCHAR_SENTENCE_BREAK, value, out));
  if (find_binary_property(name) || u_getPropertyEnum(name.c_str()) != UCHAR_INVALID_CODE)
    return PropertyLookup::kValueNotFound;
  return PropertyLookup::kPropertyNotFound;
}

struct PropertyCache {
  std::mutex mutex;
  std::unordered_map<std::string, std::pair<PropertyLookup, std::shared_ptr<const CodepointSet>>> entries;
};

PropertyCache& property_cache() {
  static PropertyCache cache;
  return cache;
}

}  // namespace

std::string normalize_property_name(std::string_view raw) {
  size_t start = 0;
  bool starts_with_is = false;
  if (raw.size() >= 2 && (raw[0] == 'i' || raw[0] == 'I') && (raw[1] == 's' || raw[1] == 'S')) {
    starts_with_is = true;
    start = 2;
  }
  std::string out;
  for (size_t i = start; i < raw.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(raw[i]);
    if (b == ' ' || b == '_' || b == '-') continue;
    if (b >= 'A' && b <= 'Z')
      out.push_back(char(b + ('a' - 'A')));
    else if (b <= 0x7F)
      out.push_back(char(b));
  }
  if (starts_with_is && out == "c") out = "isc";
  return out;
}

const CodepointSet& unicode_digit_set() {
  static const CodepointSet set = gc_mask_set(U_GC_ND_MASK);
  return set;
}

const CodepointSet& unicode_space_set() {
  static const CodepointSet set = binary_set(UCHAR_WHITE_SPACE);
  return set;
}

const CodepointSet& unicode_word_set() {
  static const CodepointSet set =
      unite({binary_set(UCHAR_ALPHABETIC), gc_mask_set(U_GC_M_MASK | U_GC_ND_MASK | U_GC_PC_MASK),
             binary_set(UCHAR_JOIN_CONTROL)});
  return set;
}

bool is_unicode_word_char(uint32_t c) {
  if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  return unicode_word_set().contains(c);
}

bool is_unicode_white_space(uint32_t c) { return unicode_space_set().contains(c); }

bool is_unicode_alphabetic(uint32_t c) { return u_hasBinaryProperty(UChar32(c), UCHAR_ALPHABETIC); }

bool is_unicode_numeric(uint32_t c) { return (U_GET_GC_MASK(UChar32(c)) & U_GC_N_MASK) != 0; }

void add_case_orbits(CodepointSet& set) {
  set.normalize();
  const CaseOrbits& co = case_orbits();
  if (set.empty()) return;
  CodepointSet extra;
  for (const auto& [c, orbit] : co.member_to_orbit) {
    if (c > set.max_member()) break;
    if (!set.contains(c)) continue;
    for (uint32_t m : co.orbits[orbit]) extra.add(m, m);
  }
  set.union_with(extra);
}

bool range_has_case_orbit(uint32_t lo, uint32_t hi) {
  const auto& m = case_orbits().member_to_orbit;
  auto it = std::lower_bound(m.begin(), m.end(), std::make_pair(lo, uint32_t(0)));
  return it != m.end() && it->first <= hi;
}

PropertyLookup lookup_unicode_property(std::string_view name, bool has_value, std::string_view value,
                                       CodepointSet& out) {
  std::string n = normalize_property_name(name);
  std::string v = has_value ? normalize_property_name(value) : std::string();
  std::string key = n;
  key.push_back(has_value ? '=' : '\0');
  key += v;
  PropertyCache& cache = property_cache();
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.entries.find(key);
    if (it != cache.entries.end()) {
      if (it->second.second) out = *it->second.second;
      return it->second.first;
    }
  }
  CodepointSet set;
  PropertyLookup result = resolve(n, has_value, v, set);
  set.normalize();
  set.remove_surrogates();
  std::shared_ptr<const CodepointSet> shared;
  if (result == PropertyLookup::kFound) shared = std::make_shared<const CodepointSet>(set);
  {
    // Bounded so that a stream of distinct property names cannot grow it forever.
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.entries.size() < 4096) cache.entries.emplace(key, std::make_pair(result, shared));
  }
  if (result == PropertyLookup::kFound) out = std::move(set);
  return result;
}

}  // namespace tessolin::pattern

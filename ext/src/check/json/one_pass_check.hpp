// Checking a JSON document against a plan (json_plan.hpp) while reading it:
// one pass, no value tree, memory bounded by nesting. The schema drives the
// reading: each value is read against the plan node that must take it, its
// kind settled by its first byte, a record's keys found in its key table.
//
// The answer is "proved a member" or not. Not proved covers a non-member, a
// malformed document, a duplicate declared key, and anything the plan gives
// up on; the caller then takes the exact road (parse, then walk), which
// alone decides answers, errors, positions and the last-duplicate-wins
// rule. Proving is exact: a proved document is a member on the exact road.
//
// A sink receives what is proved, as it is proved: NoValues (membership
// only; touches no Python object, so it runs without the interpreter lock)
// or the Python object builder of load (python_builder.hpp). A sink is a
// JsonBuilder, so values taken whole (Any, open records) go through the
// parser itself.
//
// Limits mirror the exact road: JSON nesting (kMaxJsonNesting), the walk's
// depth (kMaxWalkDepth, counting every plan node on the path at least as
// often as the walk counts nodes) and its recursion guard (one entry per
// reference on the path; a value's identity is its offset). Backtracking
// (unions with several alternatives for one container, intersections of
// containers) is budgeted by bytes re-read. Tested by
// tests/test_json_one_pass.py.
#pragma once

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "check/json/json_plan.hpp"
#include "check/precompute.hpp"
#include "check/walk_context.hpp"
#include "json/json_cursor.hpp"
#include "json/json_parser.hpp"
#include "json/json_value.hpp"

namespace tessolin::check {

enum class Verdict : uint8_t { No, Yes, Unknown };

// The sink of a membership check: proves, makes nothing.
struct NoValues {
  static constexpr bool kMakesValues = false;
  size_t last_array_count = 0;

  bool begin_array() noexcept { return true; }
  bool end_array(size_t count) noexcept {
    last_array_count = count;
    return true;
  }
  bool begin_object() noexcept { return true; }
  bool end_object(size_t) noexcept { return true; }
  bool key(const json::JsonString&) noexcept { return true; }
  bool string(const json::JsonString&) noexcept { return true; }
  bool integer(int64_t) noexcept { return true; }
  bool big_integer(std::string_view) noexcept { return true; }
  bool float64(double) noexcept { return true; }
  bool boolean(bool) noexcept { return true; }
  bool null() noexcept { return true; }

  bool known_key(PyObject*, const json::JsonString&) noexcept { return true; }
  bool scalar(const json::JsonValue&) noexcept { return true; }
  size_t mark() const noexcept { return 0; }
  void rollback(size_t) noexcept {}
};

template <class Sink>
class OnePassCheck {
 public:
  OnePassCheck(const JsonPlan& plan, std::string_view text, Sink& sink)
      : in_(text),
        whole_(in_, sink),
        plan_(plan),
        sink_(sink),
        rescan_budget_(static_cast<int64_t>(text.size()) * 2 + 4096) {
    const size_t slots = plan.order_slots();
    if (slots > kInlineOrderSlots) {
      order_heap_.resize(slots);
      order_ = order_heap_.data();
    }
    std::fill(order_, order_ + slots, kUnlearned);
  }

  // True when the text is exactly one value (blanks around it allowed)
  // that passes the plan's root.
  bool run() {
    if (!value(plan_.root())) return false;
    in_.skip_blank();
    return in_.at_end();
  }

 private:
  static constexpr size_t kSeenWords = 4;  // fields of a plan record, at most 64 each

  // Counts one level of the walk's depth for as long as it lives.
  class WalkLevel {
   public:
    explicit WalkLevel(uint64_t& depth) noexcept : depth_(depth) { ++depth_; }
    ~WalkLevel() { --depth_; }
    WalkLevel(const WalkLevel&) = delete;
    WalkLevel& operator=(const WalkLevel&) = delete;
    bool too_deep() const noexcept { return depth_ > kMaxWalkDepth; }

   private:
    uint64_t& depth_;
  };

  // One open container for as long as it lives.
  class Nesting {
   public:
    explicit Nesting(unsigned& open) noexcept : open_(open), around_(open) { ++open_; }
    ~Nesting() { --open_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    // Containers around this one: the parser refuses a container that
    // would make more than the limit.
    bool too_deep() const noexcept { return around_ >= json::kMaxJsonNesting; }

   private:
    unsigned& open_;
    unsigned around_;
  };

  uint64_t offset() const noexcept { return static_cast<uint64_t>(in_.position() - in_.begin()); }

  // The value at the cursor against node `n`; the cursor ends past it.
  [[gnu::always_inline]] bool value(uint32_t n) {
    in_.skip_blank();
    if (in_.at_end()) return false;
    const char c = in_.peek();
    if (c == '[' || c == '{') return container(n, c);
    const PlanNode& node = plan_.node(n);
    if (node.op == PlanOp::Kinds) {
      // Most leaves test the kind alone: no value to make unless the
      // sink keeps it, and the walk's one level checked inline.
      if (walk_depth_ >= kMaxWalkDepth) return false;
      if constexpr (!Sink::kMakesValues) {
        json::JsonKind kind;
        return scan_scalar(c, kind) && (node.kinds & json_kind_bit(kind)) != 0;
      }
    }
    const uint64_t identity = offset();
    json::JsonValue v;
    if (!read_scalar(c, v)) return false;
    if (node.op == PlanOp::Kinds) {
      if ((node.kinds & json_kind_bit(v.kind())) == 0) return false;
    } else if (scalar(n, v, identity) != Verdict::Yes) {
      return false;
    }
    return sink_.scalar(v);
  }

  // The kind of the scalar at the cursor (its first byte c), checked by
  // the grammar but not read.
  [[gnu::always_inline]] bool scan_scalar(char c, json::JsonKind& kind) {
    using json::JsonKind;
    switch (c) {
      case '"': {
        in_.advance();
        json::JsonString s;
        kind = JsonKind::String;
        return in_.parse_string(s);
      }
      case 't': kind = JsonKind::Bool; return in_.parse_literal("true", 4);
      case 'f': kind = JsonKind::Bool; return in_.parse_literal("false", 5);
      case 'n': kind = JsonKind::Null; return in_.parse_literal("null", 4);
      default: {
        if (c != '-' && static_cast<unsigned char>(c - '0') >= 10) return false;
        json::JsonNumber::Kind number;
        if (!in_.scan_number(number)) return false;
        kind = number == json::JsonNumber::Kind::Int     ? JsonKind::Int
               : number == json::JsonNumber::Kind::Float ? JsonKind::Float
                                                         : JsonKind::BigInt;
        return true;
      }
    }
  }

  // A value taken whole, checked by the grammar alone.
  bool whole_value() { return whole_.value(open_); }

  [[gnu::always_inline]] bool read_scalar(char c, json::JsonValue& v) {
    using json::JsonValue;
    switch (c) {
      case '"': {
        in_.advance();
        json::JsonString s;
        if (!in_.parse_string(s)) return false;
        v = JsonValue::string(s.utf8, s.ascii);
        return true;
      }
      case 't': v = JsonValue::boolean(true); return in_.parse_literal("true", 4);
      case 'f': v = JsonValue::boolean(false); return in_.parse_literal("false", 5);
      case 'n': v = JsonValue::null(); return in_.parse_literal("null", 4);
      default: {
        if (c != '-' && static_cast<unsigned char>(c - '0') >= 10) return false;
        json::JsonNumber number;
        if (!in_.parse_number(number)) return false;
        switch (number.kind) {
          case json::JsonNumber::Kind::Int: v = JsonValue::integer(number.integer); break;
          case json::JsonNumber::Kind::Float: v = JsonValue::real(number.real); break;
          case json::JsonNumber::Kind::BigInt: v = JsonValue::big_int(number.text); break;
        }
        return true;
      }
    }
  }

  // ---- scalars: every node answers yes, no or unknown

  Verdict scalar(uint32_t n, const json::JsonValue& v, uint64_t identity) {
    WalkLevel level(walk_depth_);
    if (level.too_deep()) return Verdict::Unknown;
    const PlanNode& node = plan_.node(n);
    switch (node.op) {
      case PlanOp::Kinds: return yes_if((node.kinds & json_kind_bit(v.kind())) != 0);
      case PlanOp::List:
      case PlanOp::Record: return Verdict::No;  // the value is no array or object
      case PlanOp::Literal: return yes_if(literal_equals(node.literal, v));
      case PlanOp::Union: return scalar_union(node, v, identity);
      case PlanOp::Intersection: {
        Verdict out = Verdict::Yes;
        for (uint32_t m : node.children) {
          const Verdict r = scalar(m, v, identity);
          if (r == Verdict::No) return Verdict::No;
          if (r == Verdict::Unknown) out = Verdict::Unknown;
        }
        return out;
      }
      case PlanOp::Complement: {
        const Verdict r = scalar(node.child, v, identity);
        return r == Verdict::Unknown ? r : yes_if(r == Verdict::No);
      }
      case PlanOp::Refinement: {
        Verdict out = scalar(node.child, v, identity);
        if (out != Verdict::Yes) return out;
        for (const PlanConstraint& c : node.constraints) {
          const Verdict r = scalar_constraint(c, v);
          if (r == Verdict::No) return Verdict::No;
          if (r == Verdict::Unknown) out = Verdict::Unknown;
        }
        return out;
      }
      case PlanOp::Reference: {
        const Verdict guard = enter_reference(identity, node.child);
        if (guard != Verdict::Yes) return guard;
        const Verdict r = scalar(node.child, v, identity);
        --references_;
        return r;
      }
      case PlanOp::GiveUp: return Verdict::Unknown;
    }
    return Verdict::Unknown;
  }

  static Verdict yes_if(bool member) noexcept { return member ? Verdict::Yes : Verdict::No; }

  Verdict scalar_union(const PlanNode& node, const json::JsonValue& v, uint64_t identity) {
    // An int within 64 bits or a str is exactly an int or str object, so
    // the union's literal sets answer as they do for Python objects.
    if (node.literals != nullptr) {
      if (v.kind() == json::JsonKind::Int) return yes_if(node.literals->ints.count(v.as_int()) != 0);
      if (v.kind() == json::JsonKind::String) return yes_if(node.literals->texts.count(v.as_string()) != 0);
    }
    Verdict out = Verdict::No;
    const JsonKinds kind = json_kind_bit(v.kind());
    for (uint32_t m : node.children) {
      if ((plan_.node(m).kinds & kind) == 0) continue;
      const Verdict r = scalar(m, v, identity);
      if (r == Verdict::Yes) return r;
      if (r == Verdict::Unknown) out = r;
    }
    return out;
  }

  static bool literal_equals(const PlanLiteral& lit, const json::JsonValue& v) noexcept {
    using json::JsonKind;
    using L = PlanLiteral::Kind;
    switch (lit.kind) {
      case L::Never: return false;
      case L::Null: return v.kind() == JsonKind::Null;
      case L::Bool: return v.kind() == JsonKind::Bool && v.as_bool() == (lit.integer != 0);
      case L::Int: return v.kind() == JsonKind::Int && v.as_int() == lit.integer;
      case L::BigInt: return v.kind() == JsonKind::BigInt && v.big_int_text() == lit.text;
      case L::Float: return v.kind() == JsonKind::Float && v.as_float() == lit.real;
      case L::String: return v.kind() == JsonKind::String && v.as_string() == lit.text;
    }
    return false;
  }

  static Verdict scalar_constraint(const PlanConstraint& c, const json::JsonValue& v) noexcept {
    using ir::ConstraintKind;
    using json::JsonKind;
    switch (c.kind) {
      case ConstraintKind::Ge:
      case ConstraintKind::Gt:
      case ConstraintKind::Le:
      case ConstraintKind::Lt: {
        // Ordering None, a bool or a number against a str raises, and
        // so does ordering None or a str against a number.
        if (c.text_bound) {
          return yes_if(v.kind() == JsonKind::String && text_order_passes(c.kind, v.as_string(), c.text));
        }
        const std::optional<Number> a = json_number(v);
        if (!a) return Verdict::No;
        const std::optional<int> order = order_numbers(*a, c.number);
        if (!order) return Verdict::Unknown;
        return yes_if(order_passes(c.kind, *order));
      }
      case ConstraintKind::MinLen:
      case ConstraintKind::MaxLen: {
        // len() of a number, bool or None raises.
        if (v.kind() != JsonKind::String) return Verdict::No;
        const uint64_t length = code_points(v.as_string(), v.is_ascii());
        return yes_if(c.kind == ConstraintKind::MinLen ? length >= c.count : length <= c.count);
      }
      case ConstraintKind::MultipleOf: {
        // None % d raises; a str % d formats a str, never equal to 0.
        const std::optional<Number> a = json_number(v);
        if (!a) return Verdict::No;
        const std::optional<bool> r = numbers_multiple_of(*a, c.number);
        return r ? yes_if(*r) : Verdict::Unknown;
      }
      case ConstraintKind::Pattern:
        return yes_if(v.kind() == JsonKind::String && c.pattern != nullptr && c.pattern->full_match(v.as_string()));
      case ConstraintKind::Predicate: return Verdict::Unknown;
    }
    return Verdict::Unknown;
  }

  // The guard of the walk's references: a value met again under the
  // same definition is a loop, and the path holds a bounded number.
  Verdict enter_reference(uint64_t identity, uint32_t definition) noexcept {
    for (uint64_t i = 0; i < references_; ++i) {
      if (guard_[i].identity == identity && guard_[i].definition == definition) return Verdict::No;
    }
    if (references_ >= kMaxRecursionEntries) return Verdict::No;
    guard_[references_++] = GuardEntry{identity, definition};
    return Verdict::Yes;
  }

  // ---- containers: proved or not; the cursor is at '[' or '{'

  [[gnu::noinline]] bool container(uint32_t n, char c) {
    WalkLevel level(walk_depth_);
    if (level.too_deep()) return false;
    const PlanNode& node = plan_.node(n);
    const JsonKinds kind = json_kind_bit(c == '[' ? json::JsonKind::Array : json::JsonKind::Object);
    switch (node.op) {
      case PlanOp::Kinds: return (node.kinds & kind) != 0 && whole_value();
      case PlanOp::List: return c == '[' && list(node);
      case PlanOp::Record: return c == '{' && record(*node.record);
      case PlanOp::Union: return container_union(node, c, kind);
      case PlanOp::Intersection: return container_intersection(node, c);
      case PlanOp::Refinement: {
        if (!container(node.child, c)) return false;
        for (const PlanConstraint& constraint : node.constraints) {
          if (!container_constraint(constraint, c)) return false;
        }
        return true;
      }
      case PlanOp::Reference: {
        if (enter_reference(offset(), node.child) != Verdict::Yes) return false;
        const bool member = container(node.child, c);
        --references_;
        return member;
      }
      case PlanOp::Literal:     // list and dict literals are left to Python
      case PlanOp::Complement:  // a non-member container is not proved
      case PlanOp::GiveUp: return false;
    }
    return false;
  }

  // Ordering, remainders and patterns refuse lists and dicts; only the
  // length of a list is read (a dict's may count duplicate keys).
  bool container_constraint(const PlanConstraint& constraint, char c) const noexcept {
    using ir::ConstraintKind;
    if (c != '[') return false;
    const uint64_t count = sink_.last_array_count;
    if (constraint.kind == ConstraintKind::MinLen) return count >= constraint.count;
    if (constraint.kind == ConstraintKind::MaxLen) return count <= constraint.count;
    return false;
  }

  // Tries again from `start` after a failed alternative, within the budget.
  bool rewind(const char* start, size_t mark) {
    rescan_budget_ -= in_.position() - start;
    if (rescan_budget_ < 0) return false;
    sink_.rollback(mark);
    in_.seek(start);
    return true;
  }

  bool container_union(const PlanNode& node, char c, JsonKinds kind) {
    const char* start = in_.position();
    const size_t mark = sink_.mark();
    bool tried = false;
    for (uint32_t m : node.children) {
      if ((plan_.node(m).kinds & kind) == 0) continue;
      if (tried && !rewind(start, mark)) return false;
      tried = true;
      if (container(m, c)) return true;
    }
    return false;
  }

  bool container_intersection(const PlanNode& node, char c) {
    const char* start = in_.position();
    const size_t mark = sink_.mark();
    for (size_t i = 0; i < node.children.size(); ++i) {
      if (i > 0 && !rewind(start, mark)) return false;
      if (!container(node.children[i], c)) return false;
    }
    return true;
  }

  // After a value inside a container: true at ',' (cursor past it, at the
  // next value), false with `closed` set at `close`, false otherwise.
  bool next_item(char close, bool& closed) {
    in_.skip_blank();
    if (in_.at_end()) return false;
    const char c = in_.peek();
    in_.advance();
    if (c == ',') return true;
    closed = c == close;
    return false;
  }

  // Past a container's opening byte and the blanks after it: true when
  // the container closes at once with `close`; false with `more` set when
  // a value follows; false with `more` clear at the end of the text.
  bool closes_at_once(char close, bool& more) {
    in_.advance();
    in_.skip_blank();
    more = !in_.at_end() && in_.peek() != close;
    if (in_.at_end() || more) return false;
    in_.advance();
    return true;
  }

  bool list(const PlanNode& node) {
    Nesting nesting(open_);
    if (nesting.too_deep()) return false;
    size_t count = 0;
    bool more = false;
    if (!closes_at_once(']', more)) {
      if (!more) return false;
      bool closed = false;
      const size_t prefix = node.children.size();
      do {
        const uint32_t item = count < prefix ? node.children[count] : node.child;
        if (item == kNoPlanNode) return false;  // more items than the schema takes
        if (!value(item)) return false;
        ++count;
      } while (next_item(']', closed));
      if (!closed) return false;
    }
    // Fewer items than the prefix names (an empty list included).
    if (count < node.children.size()) return false;
    return sink_.end_array(count);
  }

  bool record(const PlanRecord& rec) {
    Nesting nesting(open_);
    if (nesting.too_deep()) return false;
    std::array<uint64_t, kSeenWords> seen{};
    uint64_t required_seen = 0;
    size_t count = 0;
    bool more = false;
    if (!closes_at_once('}', more)) {
      if (!more) return false;
      bool closed = false;
      // Documents write their records' keys in one order: the field
      // that followed this one last time is tried first.
      int32_t* order = order_ + rec.order_slot;
      size_t previous = rec.fields.size();  // the slot of the first key
      do {
        in_.skip_blank();
        if (in_.at_end() || in_.peek() != '"') return false;
        const uint64_t key_identity = offset();
        in_.advance();
        json::JsonString key;
        if (!in_.parse_string(key)) return false;
        in_.skip_blank();
        if (in_.at_end() || in_.peek() != ':') return false;
        in_.advance();
        const int32_t guess = order[previous];
        const int32_t field = rec.names.is(guess, key.utf8) ? guess : rec.names.find(key.utf8);
        if (field != kNoName) {
          order[previous] = field;
          previous = static_cast<size_t>(field);
          uint64_t& word = seen[static_cast<size_t>(field) / 64];
          const uint64_t bit = uint64_t{1} << (field % 64);
          // A repeated key: the last one wins, which the exact road
          // settles.
          if ((word & bit) != 0) return false;
          word |= bit;
          const PlanField& f = rec.fields[static_cast<size_t>(field)];
          required_seen += f.required ? 1 : 0;
          if (!sink_.known_key(f.key, key) || !value(f.node)) return false;
        } else if (!undeclared(rec, key, key_identity)) {
          return false;
        }
        ++count;
      } while (next_item('}', closed));
      if (!closed) return false;
    }
    return required_seen == rec.required && sink_.end_object(count);
  }

  // A key no field declares, and its value.
  bool undeclared(const PlanRecord& rec, const json::JsonString& key, uint64_t key_identity) {
    switch (rec.rule) {
      case ClauseRule::Closed: return false;
      case ClauseRule::AnyValue: {
        // Without fields the walk takes such values through a clause,
        // one level deeper.
        WalkLevel level(walk_depth_);
        return !level.too_deep() && sink_.key(key) && whole_value();
      }
      case ClauseRule::ValueOnly: return sink_.key(key) && value(rec.clauses[0].second);
      case ClauseRule::Clauses: break;
    }
    // The clauses whose key schema takes the key (read now: the key's
    // text may sit in the scratch buffer that the value reuses).
    if (rec.clauses.size() > 64) return false;
    const json::JsonValue key_value = json::JsonValue::string(key.utf8, key.ascii);
    uint64_t takers = 0;
    for (size_t i = 0; i < rec.clauses.size(); ++i) {
      if (scalar(rec.clauses[i].first, key_value, key_identity) == Verdict::Yes) takers |= uint64_t{1} << i;
    }
    if (takers == 0 || !sink_.key(key)) return false;
    in_.skip_blank();
    const char* start = in_.position();
    const size_t mark = sink_.mark();
    bool tried = false;
    for (size_t i = 0; i < rec.clauses.size(); ++i) {
      if ((takers >> i & 1) == 0) continue;
      if (tried && !rewind(start, mark)) return false;
      tried = true;
      if (value(rec.clauses[i].second)) return true;
    }
    return false;
  }

  struct GuardEntry {
    uint64_t identity;
    uint32_t definition;
  };

  static constexpr int32_t kUnlearned = -1;
  static constexpr size_t kInlineOrderSlots = 64;

  json::JsonCursor in_;
  json::detail::JsonParser<Sink> whole_;
  const JsonPlan& plan_;
  Sink& sink_;
  unsigned open_ = 0;  // containers open around the cursor
  uint64_t walk_depth_ = 0;
  uint64_t references_ = 0;
  std::array<GuardEntry, kMaxRecursionEntries> guard_;
  int64_t rescan_budget_;
  int32_t order_inline_[kInlineOrderSlots];
  std::vector<int32_t> order_heap_;
  int32_t* order_ = order_inline_;
};

}  // namespace tessolin::check

// The interface through which the IR's decisions learn facts about pooled
// Python constants, and the default implementation that knows none.
//
// Every argument that names a constant is a constants-pool index. No
// operation raises; any doubt (a Python error, an index past the pool, a
// question outside what can be answered) is the non-committal answer:
// Undecided, Unordered, Declined or SlotKind::Unknown. Yes and No are proofs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "ir/node.hpp"

namespace tessolin::ir {

enum class OracleAnswer : uint8_t { No = 0, Yes = 1, Undecided = 2 };

// Read as an unsigned byte Unordered is 254 and Less 255.
enum class ConstantOrder : int8_t { Less = -1, Equal = 0, Greater = 1, Unordered = -2 };

// The single builtin kind of values; also the kind arguments of the oracle.
enum class SlotKind : uint8_t {
  None = 0,
  Bool = 1,
  Int = 2,  // includes bools where a node kind is meant
  Float = 3,
  Str = 4,
  Bytes = 5,
  List = 6,
  Tuple = 7,
  Set = 8,
  FrozenSet = 9,
  Dict = 10,
  Unknown = 255,
};

// Tag byte shared by LiteralValue and ClassAnswer.
namespace answer_tag {
inline constexpr uint8_t kBool = 11;
inline constexpr uint8_t kInt = 12;
inline constexpr uint8_t kFloat = 13;
inline constexpr uint8_t kText = 14;
inline constexpr uint8_t kNone = 15;
inline constexpr uint8_t kDeclined = 254;
inline constexpr uint8_t kNoBuiltinBase = 255;  // class answer: no builtin base
}  // namespace answer_tag

// A class id the oracle never hands out: the algebra's exact-type atom
// (descr/exact_type_atom.hpp) uses it.
inline constexpr uint32_t kExactTypeClassId = 4294967295u;

// The oracle's description of one pooled class.
struct ClassAnswer {
  std::vector<uint32_t> ids;  // sorted: the class and every class of its __mro__
  uint32_t class_id = 0;
  uint32_t base_position = 0;  // 1..9 in the probe order (int, str, bytes, float,
                               // tuple, frozenset, list, set, dict); 0 for none
  // SlotKind code of the builtin base (2..10), kNoBuiltinBase, or kDeclined.
  uint8_t tag = answer_tag::kDeclined;

  bool declined() const noexcept { return tag == answer_tag::kDeclined; }
  bool has_id(uint32_t id) const noexcept { return std::binary_search(ids.begin(), ids.end(), id); }
};

// The oracle's description of one pooled constant. Tags 0-10 and 255 mean
// the record is a class answer (see `klass`); 11-15 are values; 254 declined.
struct LiteralValue {
  uint8_t tag = answer_tag::kDeclined;
  uint8_t text_kind = 0;  // for kText: 4 (str, UTF-8) or 5 (bytes)
  bool bool_value = false;
  int64_t int_value = 0;
  double float_value = 0.0;
  std::string text;
  ClassAnswer klass;

  static LiteralValue declined() { return {}; }
  static LiteralValue none() {
    LiteralValue v;
    v.tag = answer_tag::kNone;
    return v;
  }
  static LiteralValue of_bool(bool b) {
    LiteralValue v;
    v.tag = answer_tag::kBool;
    v.bool_value = b;
    return v;
  }
  static LiteralValue of_int(int64_t i) {
    LiteralValue v;
    v.tag = answer_tag::kInt;
    v.int_value = i;
    return v;
  }
  static LiteralValue of_float(double d) {
    LiteralValue v;
    v.tag = answer_tag::kFloat;
    v.float_value = d;
    return v;
  }
  // kind: SlotKind::Str or SlotKind::Bytes.
  static LiteralValue of_text(SlotKind kind, std::string bytes) {
    LiteralValue v;
    v.tag = answer_tag::kText;
    v.text_kind = static_cast<uint8_t>(kind);
    v.text = std::move(bytes);
    return v;
  }

  bool is_declined() const noexcept { return tag == answer_tag::kDeclined; }
  bool is_value() const noexcept { return tag >= answer_tag::kBool && tag <= answer_tag::kNone; }
  bool is_class() const noexcept { return tag <= 10 || tag == answer_tag::kNoBuiltinBase; }
};

// The constants of a Literal (one, held inline) or of the Literal members
// [begin, end) of a member list, read in place: no copy of the indices. The
// view holds the list, so the list outlives it.
class LiteralMembers {
 public:
  explicit LiteralMembers(uint64_t one) noexcept : one_(one) {}
  // Every member in [begin, end) must be a Literal.
  LiteralMembers(NodeList list, size_t begin, size_t end) noexcept
      : list_(std::move(list)), begin_(begin), end_(end) {}

  bool single() const noexcept { return !list_; }
  size_t size() const noexcept { return single() ? 1 : end_ - begin_; }
  uint64_t operator[](size_t i) const noexcept { return single() ? one_ : list_[begin_ + i].number(); }
  // The list read and where in it, for an oracle that keeps what it learns
  // of a list for the rest of its query; null for a single constant.
  const NodeList* list() const noexcept { return single() ? nullptr : &list_; }
  size_t list_begin() const noexcept { return begin_; }

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = uint64_t;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = uint64_t;

    Iterator(const LiteralMembers& m, size_t i) noexcept : m_(&m), i_(i) {}
    uint64_t operator*() const noexcept { return (*m_)[i_]; }
    Iterator& operator++() noexcept {
      ++i_;
      return *this;
    }
    Iterator operator++(int) noexcept {
      Iterator before = *this;
      ++i_;
      return before;
    }
    bool operator==(const Iterator& o) const noexcept { return i_ == o.i_; }

   private:
    const LiteralMembers* m_;
    size_t i_;
  };
  Iterator begin() const noexcept { return {*this, 0}; }
  Iterator end() const noexcept { return {*this, size()}; }

 private:
  uint64_t one_ = 0;
  NodeList list_;
  size_t begin_ = 0;
  size_t end_ = 0;
};

// Fourteen operations, in their fixed slot order. An oracle serves one
// decision query on one thread; implementations may keep a class-id table,
// hence the operations are not const.
class Oracle {
 public:
  virtual ~Oracle() = default;
  // 1: value of constant i asked as a constraint's bound or divisor.
  virtual LiteralValue constraint_value(uint64_t i) = 0;
  // 2: value of constant i asked as a Literal node's constant.
  virtual LiteralValue literal_value(uint64_t i) = 0;
  // 3: class answer for constant i, tag kDeclined when it is no class.
  virtual ClassAnswer class_answer(uint64_t i) = 0;
  // 4: every value of a lies in b.
  virtual OracleAnswer decide_subset(const SchemaNode& a, const SchemaNode& b) = 0;
  // 5: order of constant i against constant j.
  virtual ConstantOrder compare_constants(uint64_t i, uint64_t j) = 0;
  // 6: no constant of a equals a constant of b. Answers must agree with the
  // pairs': Yes only when every pair of a constant of a and one of b would
  // answer Yes, No only when some pair would answer No.
  virtual OracleAnswer constants_disjoint(const LiteralMembers& a, const LiteralMembers& b) = 0;
  // 7: no integer n with i <(=) n <(=) j.
  virtual OracleAnswer integer_range_empty(uint64_t i, bool low_exclusive, uint64_t j, bool high_exclusive) = 0;
  // 8: constant i is a multiple of constant j.
  virtual OracleAnswer is_multiple(uint64_t i, uint64_t j) = 0;
  // 9: node is an Instance whose class keeps the standard instance checks.
  virtual OracleAnswer class_hooks_standard(const SchemaNode& node) = 0;
  // 10: SlotKind 0..5 when constant i is exactly None/bool/int/float/str/bytes.
  virtual SlotKind scalar_kind(uint64_t i) = 0;
  // 11: class constant i has the kind as builtin base (int also matches Bool);
  // Undecided when it has no builtin base.
  virtual OracleAnswer class_kind_matches(uint64_t i, SlotKind kind) = 0;
  // 12: as 11, but No when the class has no builtin base.
  virtual OracleAnswer class_kind_matches_strict(uint64_t i, SlotKind kind) = 0;
  // 13: every value of the builtin kind is an instance of class constant i.
  virtual OracleAnswer builtin_within_class(SlotKind kind, uint64_t i) = 0;
  // 14: constants i and j are different values.
  virtual OracleAnswer constants_distinct(uint64_t i, uint64_t j) = 0;
};

// Knows no constant: every answer is the non-committal one. Stateless.
class NoOracle final : public Oracle {
 public:
  LiteralValue constraint_value(uint64_t) override { return LiteralValue::declined(); }
  LiteralValue literal_value(uint64_t) override { return LiteralValue::declined(); }
  ClassAnswer class_answer(uint64_t) override { return {}; }
  OracleAnswer decide_subset(const SchemaNode&, const SchemaNode&) override { return OracleAnswer::Undecided; }
  ConstantOrder compare_constants(uint64_t, uint64_t) override { return ConstantOrder::Unordered; }
  OracleAnswer constants_disjoint(const LiteralMembers&, const LiteralMembers&) override {
    return OracleAnswer::Undecided;
  }
  OracleAnswer integer_range_empty(uint64_t, bool, uint64_t, bool) override { return OracleAnswer::Undecided; }
  OracleAnswer is_multiple(uint64_t, uint64_t) override { return OracleAnswer::Undecided; }
  OracleAnswer class_hooks_standard(const SchemaNode&) override { return OracleAnswer::Undecided; }
  SlotKind scalar_kind(uint64_t) override { return SlotKind::Unknown; }
  OracleAnswer class_kind_matches(uint64_t, SlotKind) override { return OracleAnswer::Undecided; }
  OracleAnswer class_kind_matches_strict(uint64_t, SlotKind) override { return OracleAnswer::Undecided; }
  OracleAnswer builtin_within_class(SlotKind, uint64_t) override { return OracleAnswer::Undecided; }
  OracleAnswer constants_distinct(uint64_t, uint64_t) override { return OracleAnswer::Undecided; }
};

// A process-wide NoOracle for callers that need one by reference.
Oracle& no_oracle() noexcept;

}  // namespace tessolin::ir

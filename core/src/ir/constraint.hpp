// One restriction of a refinement node.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tessolin::ir {

// Variants in their canonical rank.
enum class ConstraintKind : uint8_t {
  Ge = 0,          // value >= bound (pool index)
  Gt = 1,          // value > bound (pool index)
  Le = 2,          // value <= bound (pool index)
  Lt = 3,          // value < bound (pool index)
  MinLen = 4,      // length >= count
  MaxLen = 5,      // length <= count
  MultipleOf = 6,  // value % divisor == 0 (pool index)
  Predicate = 7,   // callable returns true (pool index)
  Pattern = 8,     // text matches the owned pattern in full
};

// Variants Ge..Predicate carry one word; Pattern owns its text.
class Constraint {
 public:
  Constraint() noexcept = default;  // Ge(0); only as a placeholder value
  Constraint(ConstraintKind kind, uint64_t word) : kind_(kind), word_(word) {}

  static Constraint ge(uint64_t bound) { return {ConstraintKind::Ge, bound}; }
  static Constraint gt(uint64_t bound) { return {ConstraintKind::Gt, bound}; }
  static Constraint le(uint64_t bound) { return {ConstraintKind::Le, bound}; }
  static Constraint lt(uint64_t bound) { return {ConstraintKind::Lt, bound}; }
  static Constraint min_len(uint64_t count) { return {ConstraintKind::MinLen, count}; }
  static Constraint max_len(uint64_t count) { return {ConstraintKind::MaxLen, count}; }
  static Constraint multiple_of(uint64_t divisor) { return {ConstraintKind::MultipleOf, divisor}; }
  static Constraint predicate(uint64_t callable) { return {ConstraintKind::Predicate, callable}; }
  static Constraint pattern(std::string text) {
    Constraint c;
    c.kind_ = ConstraintKind::Pattern;
    c.text_ = std::move(text);
    return c;
  }

  ConstraintKind kind() const noexcept { return kind_; }
  uint8_t rank() const noexcept { return static_cast<uint8_t>(kind_); }
  // Pool index or count; 0 for a Pattern.
  uint64_t word() const noexcept { return word_; }
  // The pattern source; empty for other variants.
  std::string_view pattern_text() const noexcept { return text_; }

  // Whether word() is a constants-pool index (bounds, divisors, predicates).
  bool holds_pool_index() const noexcept {
    return kind_ <= ConstraintKind::Lt || kind_ == ConstraintKind::MultipleOf || kind_ == ConstraintKind::Predicate;
  }
  // The same variant with another word (pool-index renumbering).
  Constraint with_word(uint64_t w) const {
    Constraint c = *this;
    c.word_ = w;
    return c;
  }

 private:
  ConstraintKind kind_ = ConstraintKind::Ge;
  uint64_t word_ = 0;
  std::string text_;
};

}  // namespace tessolin::ir

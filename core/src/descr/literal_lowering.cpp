// Literal descriptors. Tested by core/tests/descr_lowering.
#include "descr/literal_lowering.hpp"

#include <cmath>

#include "descr/class_lowering.hpp"
#include "descr/exact_type_atom.hpp"

namespace tessolin::descr {

namespace {

constexpr uint8_t code_of(SlotKind kind) noexcept { return static_cast<uint8_t>(kind); }

Descriptor single_line(SlotKind kind, Domain domain) {
  Descriptor d;
  set_single_line(d, code_of(kind), std::move(domain));
  return d;
}

// A literal admits only values of exactly the constant's type; bool and
// None have no subclasses, so theirs need no clause.
Descriptor exact_line(SlotKind kind, Domain domain) {
  Descriptor d;
  d.slot(kind) = restrict_domain(std::move(domain), {exact_type_clause()}, 0);
  return d;
}

}  // namespace

Descriptor bool_literal_descriptor(bool value) {
  return single_line(SlotKind::Bool, BoolMaskDomain{static_cast<uint8_t>(value ? 2 : 1)});
}

Descriptor int_literal_descriptor(int64_t v) { return exact_line(SlotKind::Int, integer_set_single(v)); }

Descriptor float_literal_descriptor(double x) {
  // NaN equals nothing, itself included: the literal admits no value.
  if (std::isnan(x)) return empty_descriptor();
  return exact_line(SlotKind::Float, float_set_point(x));
}

Outcome<Descriptor> text_literal_descriptor(std::string_view bytes, SlotKind kind) {
  if (kind != SlotKind::Str && kind != SlotKind::Bytes) return kGaveUp;
  // A literal of n bytes needs n + 2 states, and any product with it at
  // least n + 1 pairs: past the product limit it could only give up later,
  // after building an automaton as large as the text times its byte classes.
  if (bytes.size() + 1 > kMaxProductStates) return kGaveUp;
  return exact_line(kind, AutomatonDomain{literal_automaton(bytes)});
}

Outcome<Descriptor> lower_literal(const ir::LiteralValue& value) {
  namespace tag = ir::answer_tag;
  switch (value.tag) {
    case tag::kBool: return bool_literal_descriptor(value.bool_value);
    case tag::kInt: return int_literal_descriptor(value.int_value);
    case tag::kFloat: return float_literal_descriptor(value.float_value);
    case tag::kText: return text_literal_descriptor(value.text, static_cast<SlotKind>(value.text_kind));
    case tag::kNone: return kind_top_descriptor(code_of(SlotKind::None));
    default: return kGaveUp;  // a class constant or a declined answer
  }
}

}  // namespace tessolin::descr

// Text length and pattern descriptors. Tested by core/tests/descr_lowering.
#include "descr/text_lowering.hpp"

#include <utility>

namespace tessolin::descr {

namespace {

using AutomatonBuilder = Outcome<AutomatonHandle> (*)(uint64_t n, bool is_bytes);

Outcome<Descriptor> length_text(uint64_t n, uint8_t code, AutomatonBuilder build) {
  const bool is_bytes = code == static_cast<uint8_t>(SlotKind::Bytes);
  if (!is_bytes && code != static_cast<uint8_t>(SlotKind::Str)) return kGaveUp;
  Outcome<AutomatonHandle> automaton = build(n, is_bytes);
  if (!automaton) return kGaveUp;
  Descriptor d;
  set_single_line(d, code, AutomatonDomain{std::move(*automaton)});
  return d;
}

}  // namespace

Outcome<Descriptor> max_length_text(uint64_t n, uint8_t code) { return length_text(n, code, &max_length_automaton); }

Outcome<Descriptor> min_length_text(uint64_t n, uint8_t code) { return length_text(n, code, &min_length_automaton); }

Outcome<Descriptor> pattern_descriptor(std::string_view pattern) {
  Outcome<AutomatonHandle> automaton = compile_pattern(pattern, /*is_bytes=*/false);
  if (!automaton) return kGaveUp;
  Descriptor d;
  set_single_line(d, static_cast<uint8_t>(SlotKind::Str), AutomatonDomain{std::move(*automaton)});
  return d;
}

}  // namespace tessolin::descr

// The answer of an inclusion question.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessolin::decide {

// Subset and NotSubset are proofs; Undecided claims nothing.
enum class Relation : uint8_t { Subset = 0, NotSubset = 1, Undecided = 2 };

// "subset", "not_subset", "undecided": the texts relation_to reports.
constexpr std::string_view relation_text(Relation r) noexcept {
  switch (r) {
    case Relation::Subset: return "subset";
    case Relation::NotSubset: return "not_subset";
    default: return "undecided";
  }
}

}  // namespace tessolin::decide

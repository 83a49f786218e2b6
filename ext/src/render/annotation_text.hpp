// Schemas written back as annotation text: the repr of a Validator.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "binding/ref.hpp"
#include "ir/node.hpp"
#include "limits/limits.hpp"

namespace tessolin::py {

// Output past this many bytes is cut: every further part is written as the
// elision marker, so text of shared parts written out at each place they are
// reached stays bounded.
inline constexpr std::size_t kAnnotationTextLimit = limits::kAnnotationTextBytes;
inline constexpr const char* kElision = "<...>";
// Nodes nested deeper than this are elided.
inline constexpr uint64_t kRenderDepthLimit = limits::kAnnotationTextDepth;

// The annotation text of `node` with its pool objects and definitions, at
// depth 0 with no open recursive definition. Never raises; leaves no Python
// error pending.
std::string render_node(const ir::SchemaNode& node, std::span<const PyRef> pool,
                        std::span<const ir::SchemaNode> definitions);

// "X", "Y", "Z", then "T3", "T4", ...
std::string recursion_variable_name(uint64_t n);
// safe_repr / class_name of pool entry i; "<unknown>" when out of range.
std::string constant_repr_text(std::span<const PyRef> pool, uint64_t i);
std::string constant_name_text(std::span<const PyRef> pool, uint64_t i);

}  // namespace tessolin::py

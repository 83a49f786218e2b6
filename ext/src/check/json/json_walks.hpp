// The JSON column of the walk: parsed JSON values checked in place, without
// making Python objects, except where a check must call into a pooled
// Python object (predicates, odd constants), and then at most once per
// value and node.
//
// A JSON value stands for the Python object json.loads would make: null is
// None, true/false are bool, integers of any size are int, numbers with a
// fraction or exponent are float, strings are str, arrays are list, objects
// are dict with str keys. Every answer equals the answer of the walk over
// that object.
#pragma once

#include <cstdint>

#include "check/json/json_number_order.hpp"
#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "ir/node.hpp"
#include "json/json_value.hpp"

namespace tessolin::check {

// The scalar test of tags 0..7 for a JSON value, recording nothing.
inline bool json_scalar_matches(uint8_t tag, const json::JsonValue& value) noexcept {
    using json::JsonKind;
    const JsonKind kind = value.kind();
    switch (tag) {
        case 0: return true;
        case 1: return false;
        case 2: return kind == JsonKind::Null;
        case 3: return kind == JsonKind::Bool;
        case 4: return kind == JsonKind::Int || kind == JsonKind::Bool || kind == JsonKind::BigInt;
        case 5: return kind == JsonKind::Float;
        case 6: return kind == JsonKind::String;
        default: return false;  // no JSON value is bytes
    }
}

// An exact int, bool or float constant as a Number; nothing for any other
// type (its comparisons are Python's business).
std::optional<Number> constant_number(PyObject* c) noexcept;

// The builtin type of the Python object a JSON value of `kind` stands for.
PyTypeObject* json_python_type(json::JsonKind kind) noexcept;

bool walk_json_sequence(ir::SequenceKind kind, const ir::NodeList& prefix, const ir::NodeRef& tail,
                        WalkInput input, const WalkContext& ctx);
bool walk_json_set(ir::CollectionKind kind, WalkInput input, const WalkContext& ctx);
bool walk_json_record(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx);
bool walk_json_union(const ir::NodeList& members, WalkInput input, const WalkContext& ctx);
bool check_json_literal(uint64_t pool_index, WalkInput input, const WalkContext& ctx);
bool check_json_instance(uint64_t pool_index, WalkInput input, const WalkContext& ctx);
bool walk_json_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints, WalkInput input,
                          const WalkContext& ctx);

}  // namespace tessolin::check

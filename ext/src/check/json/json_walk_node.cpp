// walk_node's dispatch for a JSON input (depth and abort already handled).
#include "check/json_input.hpp"
#include "check/json/json_walks.hpp"
#include "check/recording.hpp"
#include "check/walk/walks.hpp"
#include "json/json_value_to_object.hpp"

namespace tessolin::check {

py::PyRef json_input_to_object(WalkInput input) noexcept { return py::json_value_to_object(*input.json_value()); }

PyTypeObject* json_python_type(json::JsonKind kind) noexcept {
    using json::JsonKind;
    switch (kind) {
        case JsonKind::Null: return Py_TYPE(Py_None);
        case JsonKind::Bool: return &PyBool_Type;
        case JsonKind::Int:
        case JsonKind::BigInt: return &PyLong_Type;
        case JsonKind::Float: return &PyFloat_Type;
        case JsonKind::String: return &PyUnicode_Type;
        case JsonKind::Array: return &PyList_Type;
        case JsonKind::Object: return &PyDict_Type;
    }
    return Py_TYPE(Py_None);
}

bool walk_json_node(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx) {
    using K = ir::NodeKind;
    switch (node.kind()) {
        case K::Anything: return true;
        case K::Nothing:
        case K::None:
        case K::Bool:
        case K::Int:
        case K::Float:
        case K::Str:
        case K::Bytes:
            if (json_scalar_matches(node.tag(), *input.json_value())) return true;
            if (ctx.collecting()) push_type_violation(node, input, ctx);
            return false;
        case K::Literal: return check_json_literal(node.number(), input, ctx);
        case K::Sequence:
            return walk_json_sequence(node.sequence_kind(), node.prefix(), node.tail(), input, ctx);
        case K::Collection: return walk_json_set(node.collection_kind(), input, ctx);
        case K::Record: return walk_json_record(node, input, ctx);
        case K::Union: return walk_json_union(node.members(), input, ctx);
        // These only walk their children and record through the input's
        // rendering, which serves JSON values too.
        case K::Intersection: return walk_intersection(node.members(), input, ctx);
        case K::Complement: return walk_complement(*node.inner(), input, ctx);
        case K::Reference: return walk_reference(node.number(), input, ctx);
        case K::Instance: return check_json_instance(node.number(), input, ctx);
        // Attributes are read from the converted object.
        case K::Object: return walk_object(node.attributes(), input, ctx);
        case K::Refinement: return walk_json_refinement(*node.base(), node.constraints(), input, ctx);
        case K::Placeholder:
            push_violation("unresolved_recursion", "a resolved recursive value", input, ctx);
            return false;
    }
    return false;
}

}  // namespace tessolin::check

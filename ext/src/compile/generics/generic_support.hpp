// Helpers shared by the compilers of generic aliases and of records.
#pragma once

#include <Python.h>

#include <string>

#include "binding/ref.hpp"
#include "compile/compile_context.hpp"
#include "ir/node.hpp"

namespace tessolin::build {

// Hints of the single-argument check, by form.
inline constexpr const char* kListArgumentHint =
    "write the element type on its own, or a list of fixed length as the list literal [A, B]";
inline constexpr const char* kSetArgumentHint =
    "write the element type on its own -- a set schema is homogeneous, so several element types are their union, "
    "set[A | B]";
inline constexpr const char* kUnpackArgumentHint = "write the one tuple type it unpacks";
inline constexpr const char* kQualifierArgumentHint = "write the one type it qualifies";

// Raises NotImplementedError with `text` (thrown as PythonError).
[[noreturn]] void refuse_form(const std::string& text);

// The one item of `args` (a tuple), or the NotImplementedError naming the
// alias, the number of arguments and the hint.
py::PyRef single_type_argument(PyObject* args, PyObject* alias, const char* hint);

// A Refinement carrying a constraint, at the node or inside a union,
// intersection or complement of it. References are not followed.
bool has_refinement(const ir::SchemaNode& node);

// Refuses a map key schema that narrows its keys with a constraint.
void refuse_refined_key(const ir::SchemaNode& key, PyObject* key_object);

// tuple[...] from its get_args tuple.
ir::SchemaNode compile_tuple_form(CompileContext& ctx, PyObject* args);

// Literal[...] from its get_args tuple.
ir::SchemaNode compile_literal_form(CompileContext& ctx, PyObject* args);

}  // namespace tessolin::build

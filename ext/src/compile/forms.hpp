// The forms that compile_annotation hands over to their own compilers.
// Each writes into the build's context, returns one node, and throws
// py::PythonError with the Python exception pending on failure.
#pragma once

#include <Python.h>

#include "compile/compile_context.hpp"
#include "ir/node.hpp"

namespace tessolin::build {

// A class object (its type is type or a subtype).
ir::SchemaNode compile_class(CompileContext& ctx, PyObject* cls);
// A parameterised alias with its origin and its get_args tuple (borrowed).
ir::SchemaNode compile_generic(CompileContext& ctx, PyObject* x, PyObject* origin, PyObject* args);
// A list literal ([A], [A, B], [A, B, ...]).
ir::SchemaNode compile_list_literal(CompileContext& ctx, PyObject* list);
// A dict literal: a record.
ir::SchemaNode compile_record_literal(CompileContext& ctx, PyObject* dict);
// A typing.TypeAliasType.
ir::SchemaNode compile_type_alias(CompileContext& ctx, PyObject* x);
// A Validator used as an annotation: its pool and definitions are imported.
ir::SchemaNode embed_validator(CompileContext& ctx, PyObject* validator);
// Annotated[origin, *metadata]; metadata_tuple is a tuple (or subclass).
ir::SchemaNode compile_annotated(CompileContext& ctx, PyObject* origin, PyObject* metadata_tuple);

}  // namespace tessolin::build

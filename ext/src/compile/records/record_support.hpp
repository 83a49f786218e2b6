// Records with named fields: record literals (compile_record_literal in
// compile/forms.hpp) and TypedDict classes.
#pragma once

#include <Python.h>

#include <string_view>
#include <vector>

#include "compile/compile_context.hpp"
#include "ir/node.hpp"

namespace tessolin::build {

// The UTF-8 text of a str (or subclass), valid while the object lives;
// ValueError for text holding a lone surrogate.
std::string_view record_key_text(PyObject* str);

// A class with __required_keys__.
ir::SchemaNode compile_typed_dict(CompileContext& ctx, PyObject* cls);

// The catch-all clauses a TypedDict's closedness attributes give: none when
// closed, (str, extra items) when it names them, else (str, anything).
std::vector<ir::CatchAll> typed_dict_extra_items(CompileContext& ctx, PyObject* cls);

}  // namespace tessolin::build

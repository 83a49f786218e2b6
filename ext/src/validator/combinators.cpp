// Validators made from others: union, intersection, complement and
// recursive as module functions; `|`; and the rewrites open, close and the
// deprecated simplify. Every result is finalised like any other validator,
// so it is renumbered and meets the size limits; operands never change.
#include <vector>

#include "binding/args.hpp"
#include "binding/error.hpp"
#include "binding/module_add.hpp"
#include "binding/trampoline.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/member_gathering.hpp"
#include "compile/recursion/recursion.hpp"
#include "ir/constructors.hpp"
#include "ir/negation_normal_form.hpp"
#include "ir/open_close.hpp"
#include "validator/combinators.hpp"
#include "validator/validator_data.hpp"
#include "validator/validator_methods.hpp"

namespace tessolin::py {

namespace {

using build::Gathered;

PyRef finish(ir::SchemaNode root, build::ConstantsPool& pool, std::vector<ir::SchemaNode>& definitions) {
  return new_validator_object(finalise_schema(std::move(root), pool.take_objects(), std::move(definitions)));
}

PyRef combine(PyObject* const* schemas, Py_ssize_t count, Gathered op) {
  build::ConstantsPool pool;
  std::vector<ir::SchemaNode> definitions;
  ir::SchemaNode root;
  {
    build::CompileContext ctx{pool, definitions};
    build::MemberGathering members(ctx, op, static_cast<size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) members.add(build::compile_annotation(ctx, schemas[i]));
    root = members.finish();
  }
  return finish(std::move(root), pool, definitions);
}

constexpr Signature<0> kUnionSignature{"union()", {}, true};
constexpr Signature<0> kIntersectionSignature{"intersection()", {}, true};
constexpr Signature<1> kComplementSignature{"complement()", {{{"schema", ParamKind::PositionalOnly, true}}}};
constexpr Signature<1> kRecursiveSignature{"recursive()", {{{"builder", ParamKind::PositionalOnly, true}}}};

PyRef union_body(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto parsed = parse_fastcall(kUnionSignature, args, nargs, kwnames);
  return combine(parsed.extra, parsed.extra_count, Gathered::Union);
}

PyRef intersection_body(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto parsed = parse_fastcall(kIntersectionSignature, args, nargs, kwnames);
  return combine(parsed.extra, parsed.extra_count, Gathered::Intersection);
}

PyRef complement_body(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto parsed = parse_fastcall(kComplementSignature, args, nargs, kwnames);
  build::ConstantsPool pool;
  std::vector<ir::SchemaNode> definitions;
  ir::SchemaNode inner;
  {
    build::CompileContext ctx{pool, definitions};
    inner = build::compile_annotation(ctx, parsed[0]);
  }
  return finish(ir::make_complement(std::move(inner)), pool, definitions);
}

PyRef recursive_body(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto parsed = parse_fastcall(kRecursiveSignature, args, nargs, kwnames);
  return build::build_recursive(parsed[0]);
}

PyMethodDef combinator_defs[] = {
    method_def("union", &method_fastcall<&union_body>, METH_FASTCALL | METH_KEYWORDS,
               "union(*schemas)\n--\n\n"
               "The union of the given schemas: a value in at least one of their sets.\n"
               "With no schema it is `nothing`."),
    method_def("intersection", &method_fastcall<&intersection_body>, METH_FASTCALL | METH_KEYWORDS,
               "intersection(*schemas)\n--\n\n"
               "The intersection of the given schemas: a value in every one of their sets.\n"
               "With no schema it is `anything`."),
    method_def("complement", &method_fastcall<&complement_body>, METH_FASTCALL | METH_KEYWORDS,
               "complement(schema, /)\n--\n\n"
               "The complement of a schema: every value not in its set."),
    method_def("recursive", &method_fastcall<&recursive_body>, METH_FASTCALL | METH_KEYWORDS,
               "recursive(builder, /)\n--\n\n"
               "Build a recursive schema as a checked fixpoint.\n"
               "\n"
               "`builder` is called with a validator standing for the schema being\n"
               "defined and returns its body; the self-reference must occur under a\n"
               "list, tuple, set, dict, record or object."),
};

// ---- the | operator

// `other` compiled into a copy of v's pool and definitions, joined with v's
// root (v first when forward).
PyRef union_with(PyObject* v, PyObject* other, bool forward) {
  const ValidatorData& data = *validator_data(v);
  build::ConstantsPool pool = build::ConstantsPool::copy_of(data.pool_objects);
  std::vector<ir::SchemaNode> definitions = data.definitions;
  ir::SchemaNode compiled;
  {
    build::CompileContext ctx{pool, definitions};
    compiled = build::compile_annotation(ctx, other);
  }
  std::vector<ir::SchemaNode> members;
  members.reserve(2);
  if (forward) {
    members.push_back(data.root);
    members.push_back(std::move(compiled));
  } else {
    members.push_back(std::move(compiled));
    members.push_back(data.root);
  }
  ir::SchemaNode root = ir::make_union(std::move(members), definitions);
  return finish(std::move(root), pool, definitions);
}

PyRef or_body(PyObject* left, PyObject* right) {
  if (is_validator(left)) return union_with(left, right, true);
  if (is_validator(right)) return union_with(right, left, false);
  return PyRef::borrow(Py_NotImplemented);
}

// ---- rewrites of an existing validator

template <class Rewrite>
PyRef rewrite_validator(PyObject* self, Rewrite rewrite) {
  const ValidatorData& data = *validator_data(self);
  ir::SchemaNode root = rewrite(data.root);
  std::vector<PyRef> pool;
  pool.reserve(data.pool_objects.size());
  for (const PyRef& o : data.pool_objects) pool.push_back(o.dup());
  std::vector<ir::SchemaNode> definitions;
  definitions.reserve(data.definitions.size());
  for (const ir::SchemaNode& d : data.definitions) definitions.push_back(rewrite(d));
  return new_validator_object(finalise_schema(std::move(root), std::move(pool), std::move(definitions)));
}

PyRef open_body(PyObject* self) {
  return rewrite_validator(self, [](const ir::SchemaNode& n) { return ir::set_records_open(n, true); });
}

PyRef close_body(PyObject* self) {
  return rewrite_validator(self, [](const ir::SchemaNode& n) { return ir::set_records_open(n, false); });
}

constexpr const char* kSimplifyDeprecation =
    "Validator.simplify is deprecated and is removed in the next minor version: a schema is built in the lattice "
    "normal form, so `repr` already shows it, and `is_empty`/`is_subtype_of`/`is_equivalent` decide what this "
    "folds and more.";

void warn_simplify_deprecated() { check(PyErr_WarnEx(PyExc_DeprecationWarning, kSimplifyDeprecation, 1)); }

PyRef simplify_body(PyObject* self) {
  warn_simplify_deprecated();
  return rewrite_validator(self, [](const ir::SchemaNode& n) { return ir::negation_normal_form(n); });
}

const PyMethodDef rewrite_defs[] = {
    method_def("open", &method_noargs<&open_body>, METH_NOARGS,
               "open($self)\n--\n\n"
               "Open every record in the schema: undeclared keys are admitted throughout,\n"
               "with any value. Returns a new validator."),
    method_def("close", &method_noargs<&close_body>, METH_NOARGS,
               "close($self)\n--\n\n"
               "Close every record in the schema: only declared keys are admitted\n"
               "(and the keys of its typed catch-all clauses). Returns a new validator."),
    method_def("simplify", &method_noargs<&simplify_body>, METH_NOARGS,
               "simplify($self)\n--\n\n"
               "An equivalent validator reduced by the lattice laws. **Deprecated.**"),
};

}  // namespace

std::span<const PyMethodDef> rewrite_methods() { return rewrite_defs; }

PyObject* validator_or(PyObject* left, PyObject* right) noexcept { return slot_binary<&or_body>(left, right); }

void add_combinator_functions(PyObject* module) {
  for (PyMethodDef& def : combinator_defs) module_add_function(module, new_builtin_function(&def, module));
}

}  // namespace tessolin::py

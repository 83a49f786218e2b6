#include "compile/compile_annotation.hpp"

#include <algorithm>
#include <string>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "compile/builtin_classes.hpp"
#include "compile/forms.hpp"
#include "handles/typing_handles.hpp"
#include "ir/intern.hpp"
#include "ir/limits.hpp"
#include "ir/node_walk.hpp"
#include "render/value_text.hpp"
#include "validator/validator_data.hpp"

namespace tessolin::build {

namespace {

using py::PyRef;
using py::TypingHandles;

constinit py::InternedName kMetadataName{"__metadata__"};
constinit py::InternedName kOriginName{"__origin__"};
constinit py::InternedName kArgsName{"__args__"};
constinit py::InternedName kTypeAliasTypeName{"TypeAliasType"};

// Nesting of compile_annotation calls on this thread, and the deepest level
// reached so far (for the height of memoised results).
thread_local uint64_t t_depth = 0;
thread_local uint64_t t_peak = 0;
// Bumped on entry to a call whose object may run user code or whose result
// may depend on the build's state (classes other than the builtin ones,
// aliases, validators, literals of mutable or user objects, ...). A
// compile during which it did not move touched only immutable builtin
// objects and is a pure function of the annotation.
thread_local uint64_t t_impure = 0;

// Work bound of one build, on the counter of CompileMemo::calls: every call
// adds one on entry, and a call that made more (its own nested calls) puts
// back, on return, what it built in their place when that is less. So the
// counter follows the nodes the smart constructors kept (a union of one
// member a million times counts one), and a build that passes the bound holds
// that many nodes, short of a member a union with Any absorbs later and of
// the duplicates an open member gathering (member_gathering.hpp) still holds.
constexpr uint64_t kCompileWorkLimit = limits::kCompileWorkLimit;

// After a call that started with the counter at `entry`: what it spent is
// replaced by the size of the node it built when that is smaller. The count
// stops past what was spent, so it costs no more than the calls it measures.
// Only builds past the node limit in calls are counted: below it the bound
// is far, and counting at every level of a deep schema cost a fifth of its
// compile. What stays uncounted is below the node limit, so a build within
// the limits still stays below the bound.
ir::SchemaNode counted_as_built(CompileMemo& memo, uint64_t entry, ir::SchemaNode node) {
  const uint64_t spent = memo.calls - entry;
  if (spent > 1 && memo.calls > ir::kMaxSchemaNodes) {
    memo.calls = entry + std::min(spent, ir::count_nodes(node, spent));
  }
  return node;
}

[[noreturn]] void refuse(const std::string& text) { py::raise(PyExc_NotImplementedError, text); }

class DepthGuard {
 public:
  DepthGuard() {
    if (t_depth + 1 > kMaxCompileDepth) {
      refuse("schema nesting is too deep to compile: the frontend descended " + std::to_string(kMaxCompileDepth) +
             " levels without reaching a leaf. A class whose own type appears in its fields is recursive and "
             "never bottoms out; write it with recursive(...), which ties the fixpoint explicitly.");
    }
    ++t_depth;
    t_peak = std::max(t_peak, t_depth);
  }
  ~DepthGuard() { --t_depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

bool is_builtin_origin(PyObject* origin) noexcept {
  return origin == reinterpret_cast<PyObject*>(&PyList_Type) || origin == reinterpret_cast<PyObject*>(&PyTuple_Type) ||
         origin == reinterpret_cast<PyObject*>(&PyDict_Type) || origin == reinterpret_cast<PyObject*>(&PySet_Type) ||
         origin == reinterpret_cast<PyObject*>(&PyFrozenSet_Type);
}

// Objects whose compile is memoised when it stays pure: the immutable alias
// types of the interpreter itself (list[...], tuple[...], dict[...],
// set[...], frozenset[...] and X | Y). Their attribute reads run no user
// code and their arguments cannot be rebound.
bool memo_eligible(PyObject* x, const TypingHandles& h) {
  if (Py_IS_TYPE(x, &Py_GenericAliasType)) {
    PyRef origin = PyRef::check(PyObject_GetAttr(x, kOriginName.get()));
    return is_builtin_origin(origin.get());
  }
  return h.union_type && Py_IS_TYPE(x, reinterpret_cast<PyTypeObject*>(h.union_type.get()));
}

// Leaves that run no user code and compile the same wherever they appear.
bool is_pure_leaf(PyObject* x, const TypingHandles& h) {
  PyTypeObject* type = Py_TYPE(x);
  if (type == &PyLong_Type || type == &PyBool_Type || type == &PyFloat_Type || type == &PyUnicode_Type ||
      type == &PyBytes_Type) {
    return true;
  }
  return PyType_CheckExact(x) && (x == h.object.get() || builtin_class_node(x).has_value());
}

[[noreturn]] void refuse_too_much_work(uint64_t built) {
  py::raise_value_error("schema is too large: this validator spans " + std::to_string(built) +
                        " nodes, past the limit of " + std::to_string(ir::kMaxSchemaNodes) +
                        ". A schema this large comes from combining a validator with itself in an unbounded loop, "
                        "which doubles its size each step; building it would exhaust memory.");
}

// typing.TypeAliasType, or typing_extensions' own class of that name (a
// class apart on some Pythons) when the program has loaded that module.
bool is_type_alias(PyObject* x, const TypingHandles& h) {
  if (h.type_alias_type && py::check(PyObject_IsInstance(x, h.type_alias_type.get())) != 0) return true;
  // The backport is a class written in Python: the builtin constants that
  // make up most of what reaches here skip the module look-up.
  if (!PyType_HasFeature(Py_TYPE(x), Py_TPFLAGS_HEAPTYPE)) return false;
  PyRef backport = py::loaded_typing_extensions_attr(kTypeAliasTypeName.get());
  return backport && backport.get() != h.type_alias_type.get() && PyType_Check(backport.get()) &&
         py::check(PyObject_IsInstance(x, backport.get())) != 0;
}

ir::SchemaNode compile_without_origin(CompileContext& ctx, PyObject* x, const TypingHandles& h) {
  if (is_type_alias(x, h)) return compile_type_alias(ctx, x);
  if (py::check(PyObject_HasAttrStringWithError(x, "__supertype__")) != 0) {
    PyRef supertype = PyRef::check(PyObject_GetAttrString(x, "__supertype__"));
    return compile_annotation(ctx, supertype.get());
  }
  if (PyList_Check(x)) return compile_list_literal(ctx, x);
  if (PyTuple_Check(x)) {
    refuse(
        "a tuple literal is not a schema; write a fixed-length tuple as tuple[A, B] (the list literal [A, B] "
        "is the fixed-length list)");
  }
  if (PyObject_TypeCheck(x, &PySet_Type)) refuse("a set literal is not a schema; write a set as set[T]");
  if (PyObject_TypeCheck(x, &PyFrozenSet_Type)) {
    refuse("a frozen set literal is not a schema; write a frozen set as frozenset[T]");
  }
  if (PyDict_Check(x)) return compile_record_literal(ctx, x);
  if (py::is_validator(x)) return embed_validator(ctx, x);
  if (is_forward_reference(x)) refuse_forward_reference(x);
  for (const PyRef& construct : h.typing_constructs) {
    if (py::check(PyObject_IsInstance(x, construct.get())) != 0) {
      refuse(py::safe_repr(x) +
             " is a typing construct, not a value: a type variable, ParamSpec, TypeVarTuple, or special form "
             "(such as Final or ClassVar) cannot be a schema; use a concrete type");
    }
  }
  return ir::SchemaNode::literal(ctx.pool.intern_constant(x));
}

ir::SchemaNode dispatch(CompileContext& ctx, PyObject* x, const TypingHandles& h) {
  if (PyType_Check(x)) return compile_class(ctx, x);

  PyObject* metadata_raw = nullptr;
  if (py::check(PyObject_GetOptionalAttr(x, kMetadataName.get(), &metadata_raw)) != 0) {
    PyRef metadata = PyRef::steal(metadata_raw);
    PyRef origin = PyRef::check(PyObject_GetAttr(x, kOriginName.get()));
    if (!PyTuple_Check(metadata.get())) py::raise_not_instance(metadata.get(), "tuple");
    return compile_annotated(ctx, origin.get(), metadata.get());
  }

  PyRef origin = PyRef::check(PyObject_CallOneArg(h.get_origin.get(), x));
  if (origin.get() == Py_None) return compile_without_origin(ctx, x, h);

  PyRef args = PyRef::check(PyObject_CallOneArg(h.get_args.get(), x));
  if (!PyTuple_Check(args.get())) py::raise_not_instance(args.get(), "tuple");
  bool has_args = py::check(PyObject_HasAttrWithError(x, kArgsName.get())) != 0;
  if (!has_args && PyType_Check(origin.get())) return compile_class(ctx, origin.get());
  return compile_generic(ctx, x, origin.get(), args.get());
}

}  // namespace

HeightScope::HeightScope() noexcept : level_(t_depth), saved_(t_peak) { t_peak = level_; }

HeightScope::~HeightScope() { t_peak = std::max(saved_, t_peak); }

uint32_t HeightScope::height() const noexcept { return static_cast<uint32_t>(t_peak - level_); }

const ir::SchemaNode* reuse_memoised(const CompileMemo::Entries& entries, const PyObject* x) noexcept {
  auto found = entries.find(x);
  if (found == entries.end() || t_depth + found->second.height > kMaxCompileDepth) return nullptr;
  t_peak = std::max(t_peak, t_depth + found->second.height);
  return &found->second.node;
}

[[noreturn]] void refuse_forward_reference(PyObject* x) {
  refuse(py::safe_repr(x) +
         " is a forward reference, and a schema is built from the types themselves: resolve the annotation first "
         "with typing.get_type_hints(..., include_extras=True), or write the type rather than its name");
}

ir::SchemaNode compile_annotation(CompileContext& ctx, PyObject* x) {
  DepthGuard depth;
  if (x == Py_None) return ir::SchemaNode::plain(ir::NodeKind::None);
  const TypingHandles& h = py::typing_handles();
  if (x == h.any.get()) return ir::SchemaNode::anything(ir::kAnyFlag);
  if (TypingHandles::is(h.never, x) || TypingHandles::is(h.no_return, x)) return ir::SchemaNode::nothing();

  bool eligible = memo_eligible(x, h);
  if (eligible) {
    if (const ir::SchemaNode* hit = reuse_memoised(ctx.memo.entries, x)) return *hit;
  } else if (!is_pure_leaf(x, h)) {
    ++t_impure;
  }
  const uint64_t entry = ctx.memo.calls;
  if (++ctx.memo.calls > kCompileWorkLimit) refuse_too_much_work(ctx.memo.calls);

  if (!eligible) return counted_as_built(ctx.memo, entry, dispatch(ctx, x, h));
  uint64_t impure_before = t_impure;
  HeightScope scope;
  ir::SchemaNode node = counted_as_built(ctx.memo, entry, dispatch(ctx, x, h));
  if (t_impure == impure_before) {
    ctx.memo.entries.insert_or_assign(x, CompileMemo::Entry{PyRef::borrow(x), node, scope.height()});
  }
  return node;
}

ir::SchemaNode compile_resolved(CompileContext& ctx, PyObject* argument) {
  if (PyUnicode_Check(argument) || is_forward_reference(argument)) refuse_forward_reference(argument);
  return compile_annotation(ctx, argument);
}

bool is_forward_reference(PyObject* x) {
  const TypingHandles& h = py::typing_handles();
  if (!h.forward_ref) return false;
  return py::check(PyObject_IsInstance(x, h.forward_ref.get())) != 0;
}

bool is_ellipsis(PyObject* x) noexcept {
  try {
    return x == py::typing_handles().ellipsis.get();
  } catch (const py::PythonError&) {
    PyErr_Clear();
    return false;
  } catch (...) {
    return x == Py_Ellipsis;
  }
}

bool is_qualifier(PyObject* x) {
  const TypingHandles& h = py::typing_handles();
  return TypingHandles::is(h.required, x) || TypingHandles::is(h.not_required, x) || TypingHandles::is(h.read_only, x);
}

SequencePayload sequence_payload(std::vector<ir::SchemaNode> prefix, ir::SchemaNode tail) {
  SequencePayload p = sequence_payload(std::move(prefix));
  p.tail = ir::intern_node(std::move(tail));
  return p;
}

SequencePayload sequence_payload(std::vector<ir::SchemaNode> prefix) {
  SequencePayload p;
  p.prefix = ir::intern_node_list(prefix);
  return p;
}

}  // namespace tessolin::build

// Annotated[base, *metadata]: the base narrowed into a Refinement by the
// bounds, lengths, divisors, predicates and patterns that the metadata
// objects carry. Metadata is recognised by attribute names, never by
// importing the package that defines them.
#include <cmath>
#include <string>
#include <vector>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "binding/once_cell.hpp"
#include "compile/annotated/metadata_attributes.hpp"
#include "compile/annotated/pattern_metadata.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/forms.hpp"
#include "ir/constructors.hpp"
#include "ir/node_walk.hpp"
#include "render/value_text.hpp"
#include "limits/limits.hpp"

namespace tessolin::build {

namespace {

using ir::Constraint;
using ir::ConstraintKind;
using ir::NodeKind;

constexpr uint64_t kMaxGroupDepth = limits::kMaxMetadataGroupDepth;

constinit py::InternedName kGroupedName{"__is_annotated_types_grouped_metadata__"};
constinit py::InternedName kModuleName{"__module__"};
constinit py::InternedName kQualifiedName{"__name__"};

// numbers.Number, imported once per process. Throws PythonError.
PyObject* number_class() {
  static constinit py::OnceCell<py::PyRef> cell;
  return cell
      .get([] {
        py::PyRef module = py::PyRef::check(PyImport_ImportModule("numbers"));
        return py::PyRef::check(PyObject_GetAttrString(module.get(), "Number"));
      })
      .get();
}

// Applicability of a constraint to a base: 0 asked, 1 never, 2 undecided.
enum Applicability : uint8_t { Admits = 0, Refuses = 1, Undecided = 2 };

enum class Probe : uint8_t { Order, Length, Text, Divisor };

bool is_number(PyObject* bound) {
  try {
    int rc = PyObject_IsInstance(bound, number_class());
    if (rc < 0) PyErr_Clear();
    return rc == 1;
  } catch (const py::PythonError&) {
    PyErr_Clear();
    return false;
  }
}

// The scalar kind of a pooled constant's exact type, or Literal.
NodeKind literal_kind(PyObject* constant) noexcept {
  if (constant == nullptr) return NodeKind::Literal;
  PyTypeObject* t = Py_TYPE(constant);
  if (t == &PyBool_Type) return NodeKind::Bool;
  if (t == &PyLong_Type) return NodeKind::Int;
  if (t == &PyFloat_Type) return NodeKind::Float;
  if (t == &PyUnicode_Type) return NodeKind::Str;
  if (t == &PyBytes_Type) return NodeKind::Bytes;
  return NodeKind::Literal;
}

Applicability by_kind(NodeKind kind, const ir::SchemaNode& node, Probe probe, PyObject* bound) {
  switch (kind) {
    case NodeKind::None: return Refuses;
    case NodeKind::Record: return probe == Probe::Length ? Admits : Refuses;
    case NodeKind::Bool:
    case NodeKind::Int:
    case NodeKind::Float:
      if (probe == Probe::Order) return is_number(bound) ? Admits : Refuses;
      return probe == Probe::Divisor ? Admits : Refuses;
    case NodeKind::Str:
      if (probe == Probe::Order) return PyUnicode_Check(bound) ? Admits : Refuses;
      return probe == Probe::Length || probe == Probe::Text ? Admits : Refuses;
    case NodeKind::Bytes:
      if (probe == Probe::Order) return PyBytes_Check(bound) ? Admits : Refuses;
      return probe == Probe::Length ? Admits : Refuses;
    case NodeKind::Sequence:
      if (probe == Probe::Order) {
        bool same = node.sequence_kind() == ir::SequenceKind::List ? PyList_Check(bound) : PyTuple_Check(bound);
        return same ? Admits : Refuses;
      }
      return probe == Probe::Length ? Admits : Refuses;
    case NodeKind::Collection:
      if (probe == Probe::Order) return PyAnySet_Check(bound) ? Admits : Refuses;
      return probe == Probe::Length ? Admits : Refuses;
    default: return Undecided;
  }
}

// `widened`: the node is the base itself or a member of a base union, where
// a literal stands for its constant's scalar kind; below a refinement it
// does not.
Applicability applicability(const ir::SchemaNode& node, Probe probe, PyObject* bound, const ConstantsPool& pool,
                            bool widened) {
  if (node.is(NodeKind::Refinement)) return applicability(*node.base(), probe, bound, pool, false);
  if (node.is(NodeKind::Union)) {
    Applicability folded = Refuses;
    for (const ir::SchemaNode& m : node.members()) {
      Applicability a = applicability(m, probe, bound, pool, widened);
      if (a == Admits) return Admits;
      if (a == Undecided) folded = Undecided;
    }
    return folded;
  }
  NodeKind kind = node.kind();
  if (widened && kind == NodeKind::Literal) kind = literal_kind(pool.get(node.number()));
  return by_kind(kind, node, probe, bound);
}

std::string widened_display_name(const ir::SchemaNode& base, const ConstantsPool& pool) {
  if (base.is(NodeKind::Literal)) {
    NodeKind kind = literal_kind(pool.get(base.number()));
    if (kind != NodeKind::Literal) return std::string(ir::kind_tag_display_name(kind));
  }
  return std::string(ir::kind_display_name(base));
}

void check_applicable(const ir::SchemaNode& base, const std::vector<Constraint>& constraints,
                      const ConstantsPool& pool) {
  for (const Constraint& c : constraints) {
    Probe probe;
    const char* label;
    PyObject* bound = nullptr;
    switch (c.kind()) {
      case ConstraintKind::Ge:
      case ConstraintKind::Gt:
      case ConstraintKind::Le:
      case ConstraintKind::Lt:
        bound = pool.get(c.word());
        if (bound == nullptr) continue;
        probe = Probe::Order;
        label = "order against that bound";
        break;
      case ConstraintKind::MinLen:
      case ConstraintKind::MaxLen:
        probe = Probe::Length;
        label = "length";
        break;
      case ConstraintKind::MultipleOf:
        if (pool.get(c.word()) == nullptr) continue;
        probe = Probe::Divisor;
        label = "number for a divisor";
        break;
      case ConstraintKind::Pattern:
        probe = Probe::Text;
        label = "text for a pattern to match";
        break;
      default: continue;
    }
    if (applicability(base, probe, bound, pool, true) == Refuses) {
      py::raise(PyExc_NotImplementedError,
                widened_display_name(base, pool) + " values have no " + label +
                    ", so this constraint admits none of them; constrain a base the constraint can be asked of");
    }
  }
}

bool is_nan_number(PyObject* value) {
  double d = PyFloat_AsDouble(value);
  if (d == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return false;
  }
  return std::isnan(d);
}

[[noreturn]] void invalid_length_error(MetadataAttribute k, PyObject* value) {
  PyErr_Clear();
  py::raise_value_error(std::string(attribute_name(k)) + " must be a length a value can have, and " +
                        py::safe_repr(value) + " is not");
}

uint64_t length_count(MetadataAttribute k, PyObject* value) {
  py::PyRef index;
  PyObject* number = value;
  if (!PyLong_Check(value)) {
    index = py::PyRef::steal(PyNumber_Index(value));
    if (!index) invalid_length_error(k, value);
    number = index.get();
  }
  unsigned long long n = PyLong_AsUnsignedLongLong(number);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) invalid_length_error(k, value);
  return static_cast<uint64_t>(n);
}

void check_divisor(PyObject* value) {
  int rc = py::check(PyObject_IsInstance(value, number_class()));
  if (rc == 0) {
    py::raise_value_error("MultipleOf(" + py::safe_repr(value) +
                          ") is not a valid constraint: a multiple is `value % n == 0`, and the remainder of a "
                          "value that is not a number equals no zero, so no value would belong. Write the step "
                          "as a number");
  }
}

bool equals_zero(PyObject* value) {
  py::PyRef zero = py::PyRef::check(PyLong_FromLong(0));
  py::PyRef result = py::PyRef::steal(PyObject_RichCompare(value, zero.get(), Py_EQ));
  int truth = result ? PyObject_IsTrue(result.get()) : -1;
  if (truth < 0) {
    PyErr_Clear();
    return false;
  }
  return truth == 1;
}

bool is_grouped_metadata(PyObject* item) {
  PyObject* found = nullptr;
  int rc = PyObject_GetOptionalAttr(item, kGroupedName.get(), &found);
  if (rc < 0) {
    PyErr_Clear();
    return false;
  }
  if (rc == 0) return false;
  py::PyRef flag = py::PyRef::steal(found);
  int truth = PyObject_IsTrue(flag.get());
  if (truth < 0) {
    PyErr_Clear();
    return false;
  }
  return truth == 1;
}

// An annotated-types class other than DocInfo.
bool is_unchecked_constraint(PyTypeObject* type) {
  PyObject* cls = reinterpret_cast<PyObject*>(type);
  py::PyRef module = py::PyRef::steal(PyObject_GetAttr(cls, kModuleName.get()));
  if (!module) {
    PyErr_Clear();
    return false;
  }
  if (!PyUnicode_Check(module.get()) || PyUnicode_CompareWithASCIIString(module.get(), "annotated_types") != 0) {
    PyErr_Clear();
    return false;
  }
  py::PyRef name = py::PyRef::steal(PyObject_GetAttr(cls, kQualifiedName.get()));
  if (!name) {
    PyErr_Clear();
    return true;
  }
  return !(PyUnicode_Check(name.get()) && PyUnicode_CompareWithASCIIString(name.get(), "DocInfo") == 0);
}

void compile_metadata_item(PyObject* item, std::vector<Constraint>& constraints, CompileContext& ctx, uint64_t depth);

void expand_grouped_metadata(PyObject* item, std::vector<Constraint>& constraints, CompileContext& ctx,
                             uint64_t depth) {
  if (depth > kMaxGroupDepth) {
    py::raise_value_error(py::safe_repr(item) +
                          " groups markers nested too deeply: a marker stands for the constraints it yields, and "
                          "following this one does not bottom out");
  }
  py::PyRef iterator = py::PyRef::check(PyObject_GetIter(item));
  for (;;) {
    py::PyRef element = py::PyRef::steal(PyIter_Next(iterator.get()));
    if (!element) {
      if (PyErr_Occurred()) throw py::PythonError{};
      return;
    }
    compile_metadata_item(element.get(), constraints, ctx, depth + 1);
  }
}

void compile_metadata_item(PyObject* item, std::vector<Constraint>& constraints, CompileContext& ctx, uint64_t depth) {
  if (PyType_Check(item)) return;  // a metadata class itself, not an instance
  MetadataReader reader(item);
  if (py::PyRef pattern = reader.read(MetadataAttribute::Pattern)) {
    append_pattern_constraint(reader, pattern.get(), constraints);
    return;
  }
  const size_t before = constraints.size();
  static constexpr struct {
    MetadataAttribute attribute;
    ConstraintKind kind;
  } kBounds[] = {{MetadataAttribute::Ge, ConstraintKind::Ge},
                 {MetadataAttribute::Gt, ConstraintKind::Gt},
                 {MetadataAttribute::Le, ConstraintKind::Le},
                 {MetadataAttribute::Lt, ConstraintKind::Lt}};
  for (const auto& b : kBounds) {
    py::PyRef value = reader.read(b.attribute);
    if (!value || value.get() == Py_None) continue;
    if (is_nan_number(value.get())) {
      py::raise_value_error(std::string(attribute_name(b.attribute)) +
                            " cannot be nan: every comparison with nan is false, so the bound admits no value "
                            "at all. Write the bound you mean, or `nothing` for the empty set");
    }
    constraints.emplace_back(b.kind, ctx.pool.intern_constant(value.get()));
  }
  for (MetadataAttribute k : {MetadataAttribute::MinLength, MetadataAttribute::MaxLength}) {
    py::PyRef value = reader.read(k);
    if (!value || value.get() == Py_None) continue;
    uint64_t count = length_count(k, value.get());
    constraints.push_back(k == MetadataAttribute::MinLength ? Constraint::min_len(count) : Constraint::max_len(count));
  }
  if (py::PyRef divisor = reader.read(MetadataAttribute::MultipleOf); divisor && divisor.get() != Py_None) {
    if (is_nan_number(divisor.get())) {
      py::raise_value_error(
          "MultipleOf(nan) is not a valid constraint: no value is a multiple of nan, because every comparison "
          "with nan is false. Write the step you mean");
    }
    if (equals_zero(divisor.get())) {
      py::raise_value_error(
          "MultipleOf(0) is not a valid constraint: no value is a multiple of zero. Use a nonzero divisor.");
    }
    check_divisor(divisor.get());
    constraints.push_back(Constraint::multiple_of(ctx.pool.intern_constant(divisor.get())));
  }
  if (PyCallable_Check(item)) {
    constraints.push_back(Constraint::predicate(ctx.pool.intern_constant(item)));
  } else if (py::PyRef func = reader.read(MetadataAttribute::Func); func && PyCallable_Check(func.get())) {
    constraints.push_back(Constraint::predicate(ctx.pool.intern_constant(func.get())));
  }
  if (constraints.size() != before) return;
  if (is_grouped_metadata(item)) {
    expand_grouped_metadata(item, constraints, ctx, depth);
  } else if (is_unchecked_constraint(Py_TYPE(item))) {
    py::raise(PyExc_NotImplementedError,
              py::safe_repr(item) +
                  " is a constraint this frontend does not check; a schema carrying it would admit the values it "
                  "excludes, so it is refused rather than ignored");
  }
}

}  // namespace

ir::SchemaNode compile_annotated(CompileContext& ctx, PyObject* origin, PyObject* metadata_tuple) {
  ir::SchemaNode base = compile_annotation(ctx, origin);
  std::vector<Constraint> constraints;
  const Py_ssize_t n = PyTuple_GET_SIZE(metadata_tuple);
  for (Py_ssize_t i = 0; i < n; ++i) {
    compile_metadata_item(PyTuple_GET_ITEM(metadata_tuple, i), constraints, ctx, 0);
  }
  check_applicable(base, constraints, ctx.pool);
  return ir::make_refinement(std::move(base), std::move(constraints));
}

}  // namespace tessolin::build

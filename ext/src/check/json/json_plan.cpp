#include "check/json/json_plan.hpp"

#include <unordered_map>

#include "check/json/json_walks.hpp"
#include "check/precompute.hpp"
#include "check/walk/mapping.hpp"

namespace tessolin::check {

namespace {

using json::JsonKind;

constexpr JsonKinds bit(JsonKind kind) noexcept { return json_kind_bit(kind); }

// Records with more fields than this are left to the exact road, so the
// reader keeps its seen-fields set in a few words.
constexpr size_t kMaxPlanFields = 256;

// The decimal text of an int, or nothing when it has more digits than any
// JSON integer may (str() refuses those).
std::optional<std::string> decimal_text(PyObject* integer) {
  py::PyRef text = py::PyRef::steal(PyObject_Str(integer));
  Py_ssize_t size = 0;
  const char* data = text ? PyUnicode_AsUTF8AndSize(text.get(), &size) : nullptr;
  if (data == nullptr) {
    PyErr_Clear();
    return std::nullopt;
  }
  return std::string(data, static_cast<size_t>(size));
}

std::optional<std::string> utf8_text(PyObject* str) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data == nullptr) {
    PyErr_Clear();  // a lone surrogate: no JSON string holds one
    return std::nullopt;
  }
  return std::string(data, static_cast<size_t>(size));
}

}  // namespace

class PlanBuilder {
 public:
  PlanBuilder(std::span<const py::PyRef> pool, ir::DefinitionsView definitions, const Precompute& tables,
              JsonPlan& plan)
      : pool_(pool), definitions_(definitions), tables_(tables), plan_(plan) {}

  void build(const ir::SchemaNode& root) {
    // Definitions get their numbers first, so references to them (and
    // from them, recursively) resolve without following them.
    for (size_t i = 0; i < definitions_.size(); ++i) definition_nodes_.push_back(new_node());
    for (size_t i = 0; i < definitions_.size(); ++i) fill(definition_nodes_[i], definitions_[i]);
    plan_.root_ = add(root);
  }

 private:
  uint32_t new_node() {
    plan_.nodes_.emplace_back();
    return static_cast<uint32_t>(plan_.nodes_.size() - 1);
  }

  // Schema depth is bounded by the validator's limits, so this recursion is.
  uint32_t add(const ir::SchemaNode& node) {
    auto it = memo_.find(&node);
    if (it != memo_.end()) return it->second;
    const uint32_t index = new_node();
    memo_.emplace(&node, index);
    fill(index, node);
    return index;
  }

  std::vector<uint32_t> add_all(const ir::NodeList& list) {
    std::vector<uint32_t> out;
    out.reserve(list.size());
    for (const ir::SchemaNode& n : list) out.push_back(add(n));
    return out;
  }

  JsonKinds kinds_of(uint32_t index) const noexcept { return plan_.nodes_[index].kinds; }

  // Never proves membership; may stand for any kind, so no union skips it.
  static PlanNode give_up() {
    PlanNode out;
    out.kinds = kAllJsonKinds;
    return out;
  }

  PlanNode user_code() {
    plan_.runs_user_code_ = true;
    return give_up();
  }

  static PlanNode kinds_node(JsonKinds kinds) {
    PlanNode out;
    out.op = PlanOp::Kinds;
    out.kinds = kinds;
    return out;
  }

  void fill(uint32_t index, const ir::SchemaNode& node) {
    PlanNode made = make(node);
    plan_.nodes_[index] = std::move(made);
  }

  PlanNode make(const ir::SchemaNode& node) {
    using K = ir::NodeKind;
    if (ir::is_plain_kind(node.kind())) return kinds_node(plain_json_kinds(node.tag()));
    switch (node.kind()) {
      case K::Literal: return literal(node.number());
      case K::Instance: return instance(node.number());
      case K::Sequence: {
        // A JSON array is a list, never a tuple.
        if (node.sequence_kind() == ir::SequenceKind::Tuple) return kinds_node(0);
        PlanNode out;
        out.op = PlanOp::List;
        out.kinds = bit(JsonKind::Array);
        out.children = add_all(node.prefix());
        if (node.tail()) out.child = add(*node.tail());
        return out;
      }
      case K::Collection: return kinds_node(0);  // no JSON value is a set
      case K::Record: return record(node);
      case K::Union: {
        PlanNode out;
        out.op = PlanOp::Union;
        out.children = add_all(node.members());
        for (uint32_t m : out.children) out.kinds |= kinds_of(m);
        out.literals = tables_.find_literals(node.members());
        return out;
      }
      case K::Intersection: {
        PlanNode out;
        out.op = PlanOp::Intersection;
        out.children = add_all(node.members());
        out.kinds = kAllJsonKinds;
        for (uint32_t m : out.children) out.kinds &= kinds_of(m);
        return out;
      }
      case K::Complement: {
        PlanNode out;
        out.op = PlanOp::Complement;
        out.child = add(*node.inner());
        out.kinds = kAllJsonKinds & ~(bit(JsonKind::Array) | bit(JsonKind::Object));
        return out;
      }
      case K::Object: return user_code();  // attributes are read with getattr
      case K::Refinement: return refinement(node);
      case K::Reference: {
        if (node.number() >= definition_nodes_.size()) return kinds_node(0);
        PlanNode out;
        out.op = PlanOp::Reference;
        out.child = definition_nodes_[node.number()];
        out.kinds = kAllJsonKinds;  // the definition may not be built yet
        return out;
      }
      case K::Placeholder: return kinds_node(0);
      default: break;  // the plain kinds, above
    }
    return give_up();
  }

  PlanNode literal(uint64_t pool_index) {
    PyObject* c = pool_index < pool_.size() ? pool_[pool_index].get() : nullptr;
    if (c == nullptr) return kinds_node(0);
    using L = PlanLiteral::Kind;
    PlanNode out;
    out.op = PlanOp::Literal;
    PlanLiteral& lit = out.literal;
    PyTypeObject* type = Py_TYPE(c);
    if (c == Py_None) {
      lit.kind = L::Null;
    } else if (type == &PyBool_Type) {
      lit.kind = L::Bool;
      lit.integer = c == Py_True ? 1 : 0;
    } else if (type == &PyLong_Type) {
      int overflow = 0;
      const long long v = PyLong_AsLongLongAndOverflow(c, &overflow);
      if (v == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return user_code();
      }
      if (overflow == 0) {
        lit.kind = L::Int;
        lit.integer = static_cast<int64_t>(v);
      } else if (std::optional<std::string> text = decimal_text(c)) {
        lit.kind = L::BigInt;
        lit.text = std::move(*text);
      }
    } else if (type == &PyFloat_Type) {
      lit.kind = L::Float;
      lit.real = PyFloat_AS_DOUBLE(c);
    } else if (type == &PyUnicode_Type) {
      if (std::optional<std::string> text = utf8_text(c)) {
        lit.kind = L::String;
        lit.text = std::move(*text);
      }
    } else if (type == &PyList_Type || type == &PyDict_Type) {
      return user_code();  // equality compares items, which may be any objects
    }
    // Any other type equals no JSON value: only a value of exactly the
    // constant's type is compared.
    out.kinds = literal_kinds(lit.kind);
    return out;
  }

  static JsonKinds literal_kinds(PlanLiteral::Kind kind) noexcept {
    using L = PlanLiteral::Kind;
    switch (kind) {
      case L::Null: return bit(JsonKind::Null);
      case L::Bool: return bit(JsonKind::Bool);
      case L::Int: return bit(JsonKind::Int);
      case L::BigInt: return bit(JsonKind::BigInt);
      case L::Float: return bit(JsonKind::Float);
      case L::String: return bit(JsonKind::String);
      case L::Never: return 0;
    }
    return 0;
  }

  PlanNode instance(uint64_t pool_index) {
    PyObject* cls = pool_index < pool_.size() ? pool_[pool_index].get() : nullptr;
    if (cls == nullptr) return kinds_node(0);
    // A class whose metaclass is exactly type has no __instancecheck__ of
    // its own, and the builtin types of JSON values keep their MRO: the
    // answer is a fixed set of kinds.
    if (!PyType_CheckExact(cls)) return user_code();
    JsonKinds kinds = 0;
    for (unsigned k = 0; k <= static_cast<unsigned>(JsonKind::Object); ++k) {
      const auto kind = static_cast<JsonKind>(k);
      if (PyType_IsSubtype(json_python_type(kind), reinterpret_cast<PyTypeObject*>(cls))) kinds |= bit(kind);
    }
    return kinds_node(kinds);
  }

  PlanNode record(const ir::SchemaNode& node) {
    const ir::FieldList& fields = node.fields();
    const ir::ClauseList& clauses = node.clauses();
    auto record = std::make_unique<PlanRecord>();
    const RecordKeys* keys = tables_.find_record(fields);
    std::vector<std::string_view> names;
    for (size_t i = 0; i < fields.size(); ++i) {
      const ir::RecordField& f = fields[i];
      if (i > 0 && fields[i - 1].name.view() == f.name.view()) return give_up();  // repeated name
      names.push_back(f.name.view());
      PyObject* key = keys != nullptr && i < keys->names.size() ? keys->names[i].get() : nullptr;
      record->fields.push_back(PlanField{add(f.schema), f.required, key});
      if (f.required) ++record->required;
    }
    if (fields.size() > kMaxPlanFields) return give_up();
    // Names are sorted, so equal names are neighbours; the table wants
    // them distinct, which the loop above made sure of.
    record->names = RecordKeyTable(std::move(names));
    record->order_slot = plan_.order_slots_;
    plan_.order_slots_ += static_cast<uint32_t>(fields.size()) + 1;
    switch (clause_shape(clauses)) {
      case ClauseShape::Closed: record->rule = ClauseRule::Closed; break;
      case ClauseShape::Open:
      case ClauseShape::StrKeys: record->rule = ClauseRule::AnyValue; break;  // JSON keys are str
      case ClauseShape::General: {
        const bool value_only =
            clauses.size() == 1 && (clauses[0].key.is(ir::NodeKind::Str) || clauses[0].key.is(ir::NodeKind::Anything));
        record->rule = value_only ? ClauseRule::ValueOnly : ClauseRule::Clauses;
        for (const ir::CatchAll& c : clauses) record->clauses.emplace_back(add(c.key), add(c.value));
        break;
      }
    }
    PlanNode out;
    out.op = PlanOp::Record;
    out.kinds = bit(JsonKind::Object);
    out.record = std::move(record);
    return out;
  }

  PlanNode refinement(const ir::SchemaNode& node) {
    PlanNode out;
    out.op = PlanOp::Refinement;
    out.child = add(*node.base());
    out.kinds = kinds_of(out.child);
    for (const ir::Constraint& c : node.constraints()) {
      PlanConstraint pc;
      pc.kind = c.kind();
      switch (c.kind()) {
        case ir::ConstraintKind::Ge:
        case ir::ConstraintKind::Gt:
        case ir::ConstraintKind::Le:
        case ir::ConstraintKind::Lt:
        case ir::ConstraintKind::MultipleOf: {
          PyObject* constant = c.word() < pool_.size() ? pool_[c.word()].get() : nullptr;
          // A constant outside the pool fails every value.
          if (constant == nullptr) return kinds_node(0);
          const bool bound = c.kind() != ir::ConstraintKind::MultipleOf;
          if (bound && PyUnicode_CheckExact(constant)) {
            std::optional<std::string> text = utf8_text(constant);
            if (!text) return user_code();
            pc.text_bound = true;
            pc.text = std::move(*text);
          } else if (std::optional<Number> number = constant_number(constant)) {
            pc.number = *number;
          } else {
            return user_code();  // compared by the constant's own methods
          }
          break;
        }
        case ir::ConstraintKind::MinLen:
        case ir::ConstraintKind::MaxLen: pc.count = c.word(); break;
        case ir::ConstraintKind::Predicate: return user_code();
        case ir::ConstraintKind::Pattern: pc.pattern = tables_.find_pattern(c.pattern_text()); break;
      }
      out.constraints.push_back(std::move(pc));
    }
    return out;
  }

  std::span<const py::PyRef> pool_;
  ir::DefinitionsView definitions_;
  const Precompute& tables_;
  JsonPlan& plan_;
  std::vector<uint32_t> definition_nodes_;
  std::unordered_map<const ir::SchemaNode*, uint32_t> memo_;
};

std::unique_ptr<JsonPlan> build_json_plan(std::span<const py::PyRef> pool, ir::DefinitionsView definitions,
                                          const ir::SchemaNode& root, const Precompute& tables) {
  auto plan = std::make_unique<JsonPlan>();
  PlanBuilder(pool, definitions, tables, *plan).build(root);
  return plan;
}

}  // namespace tessolin::check

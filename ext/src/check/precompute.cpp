#include "check/precompute.hpp"

#include <vector>

#include "binding/error.hpp"

namespace tessolin::check {

namespace {

py::PyRef interned_name(std::string_view text) {
  py::PyRef name = py::PyRef::check(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  PyObject* raw = name.release();
  PyUnicode_InternInPlace(&raw);
  return py::PyRef::steal(raw);
}

// Only a union whose members are all in-pool literals gets an entry.
bool add_literal_set(const ir::NodeList& members, std::span<const py::PyRef> pool, Precompute& tables) {
  LiteralSet set;
  for (const ir::SchemaNode& m : members) {
    if (!m.is(ir::NodeKind::Literal) || m.number() >= pool.size()) return false;
    PyObject* constant = pool[m.number()].get();
    if (PyLong_CheckExact(constant)) {
      int overflow = 0;
      long long v = PyLong_AsLongLongAndOverflow(constant, &overflow);
      if (overflow == 0 && !(v == -1 && PyErr_Occurred())) set.ints.insert(static_cast<int64_t>(v));
      PyErr_Clear();
    } else if (PyUnicode_CheckExact(constant)) {
      Py_ssize_t size = 0;
      const char* data = PyUnicode_AsUTF8AndSize(constant, &size);
      if (data == nullptr) {
        PyErr_Clear();
        continue;
      }
      set.text_storage.emplace_back(data, static_cast<size_t>(size));
    }
  }
  // Views are taken only once the storage no longer moves.
  for (const std::string& text : set.text_storage) set.texts.insert(text);
  tables.literal_sets.emplace(members.identity(), std::move(set));
  return true;
}

void precompute_node(const ir::SchemaNode& node, std::span<const py::PyRef> pool, Precompute& tables);

void precompute_list(const ir::NodeList& list, std::span<const py::PyRef> pool, Precompute& tables) {
  for (const ir::SchemaNode& n : list) precompute_node(n, pool, tables);
}

void precompute_node(const ir::SchemaNode& node, std::span<const py::PyRef> pool, Precompute& tables) {
  using K = ir::NodeKind;
  switch (node.kind()) {
    case K::Sequence:
      precompute_list(node.prefix(), pool, tables);
      if (node.tail()) precompute_node(*node.tail(), pool, tables);
      return;
    case K::Collection: precompute_node(*node.element(), pool, tables); return;
    case K::Complement: precompute_node(*node.inner(), pool, tables); return;
    case K::Record: {
      const ir::FieldList& fields = node.fields();
      if (!fields.empty() && tables.record_keys.find(fields.identity()) == tables.record_keys.end()) {
        RecordKeys keys;
        keys.names.reserve(fields.size());
        for (const ir::RecordField& f : fields) {
          keys.names.push_back(interned_name(f.name.view()));
          if (f.required) ++keys.required;
        }
        keys.positions = name_positions(fields);
        tables.record_keys.emplace(fields.identity(), std::move(keys));
      }
      for (const ir::RecordField& f : fields) precompute_node(f.schema, pool, tables);
      for (const ir::CatchAll& c : node.clauses()) {
        precompute_node(c.key, pool, tables);
        precompute_node(c.value, pool, tables);
      }
      return;
    }
    case K::Union:
      if (tables.literal_sets.find(node.members().identity()) == tables.literal_sets.end()) {
        add_literal_set(node.members(), pool, tables);
      }
      precompute_list(node.members(), pool, tables);
      return;
    case K::Intersection: precompute_list(node.members(), pool, tables); return;
    case K::Object: {
      const ir::FieldList& attributes = node.attributes();
      if (!attributes.empty() && tables.attribute_names.find(attributes.identity()) == tables.attribute_names.end()) {
        std::vector<py::PyRef> names;
        names.reserve(attributes.size());
        for (const ir::RecordField& a : attributes) names.push_back(interned_name(a.name.view()));
        tables.attribute_names.emplace(attributes.identity(), std::move(names));
      }
      for (const ir::RecordField& a : attributes) precompute_node(a.schema, pool, tables);
      return;
    }
    case K::Refinement:
      precompute_node(*node.base(), pool, tables);
      for (const ir::Constraint& c : node.constraints()) {
        if (c.kind() != ir::ConstraintKind::Pattern) continue;
        build::AnchoredPatternResult compiled = build::compile_anchored_pattern(c.pattern_text());
        if (compiled.pattern) tables.patterns[c.pattern_text().data()] = std::move(compiled.pattern);
      }
      return;
    default: return;
  }
}

}  // namespace

NamePositions name_positions(const ir::FieldList& fields) {
  NamePositions positions;
  positions.reserve(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) positions[fields[i].name.view()] = i;
  return positions;
}

std::unique_ptr<Precompute> build_precompute(std::span<const py::PyRef> pool, ir::DefinitionsView definitions,
                                             const ir::SchemaNode& root) {
  auto tables = std::make_unique<Precompute>();
  precompute_node(root, pool, *tables);
  for (const ir::SchemaNode& d : definitions) precompute_node(d, pool, *tables);
  tables->json_plan = build_json_plan(pool, definitions, root, *tables);
  return tables;
}

int visit_precompute(const Precompute& tables, visitproc visit, void* arg) noexcept {
  for (const auto& [key, entry] : tables.record_keys) {
    for (const py::PyRef& name : entry.names) Py_VISIT(name.get());
  }
  for (const auto& [key, names] : tables.attribute_names) {
    for (const py::PyRef& name : names) Py_VISIT(name.get());
  }
  return 0;
}

// The validator's cell holds the tables through these two.
void destroy_precompute(Precompute* tables) noexcept { delete tables; }

int traverse_precompute(const Precompute* tables, visitproc visit, void* arg) {
  return tables ? visit_precompute(*tables, visit, arg) : 0;
}

}  // namespace tessolin::check

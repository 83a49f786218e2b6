#include "render/annotation_text.hpp"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "ir/constructors.hpp"
#include "render/value_text.hpp"

namespace tessolin::py {

namespace {

using ir::NodeKind;
using ir::SchemaNode;

// Python's repr of the pattern text as a str; the raw text when that fails.
std::string pattern_repr(std::string_view text) {
  PyObject* s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
  if (s != nullptr) {
    PyObject* r = PyObject_Repr(s);
    Py_DECREF(s);
    if (r != nullptr) {
      Py_ssize_t size = 0;
      const char* utf8 = PyUnicode_AsUTF8AndSize(r, &size);
      if (utf8 != nullptr) {
        std::string out(utf8, static_cast<size_t>(size));
        Py_DECREF(r);
        return out;
      }
      Py_DECREF(r);
    }
  }
  PyErr_Clear();
  return std::string(text);
}

class Renderer {
 public:
  Renderer(std::span<const PyRef> pool, std::span<const SchemaNode> definitions)
      : pool_(pool), definitions_(definitions) {}

  std::string take() { return std::move(out_); }

  void node(const SchemaNode& n, uint64_t depth) {
    if (depth > kRenderDepthLimit || spent()) {
      out_ += kElision;
      return;
    }
    const uint64_t next = depth + 1;
    switch (n.kind()) {
      case NodeKind::Anything: out_ += n.is_typing_any() ? "Any" : "anything"; return;
      case NodeKind::Nothing: out_ += "nothing"; return;
      case NodeKind::None: out_ += "None"; return;
      case NodeKind::Bool: out_ += "bool"; return;
      case NodeKind::Int: out_ += "int"; return;
      case NodeKind::Float: out_ += "float"; return;
      case NodeKind::Str: out_ += "str"; return;
      case NodeKind::Bytes: out_ += "bytes"; return;
      case NodeKind::Literal:
        out_ += "Literal[";
        out_ += constant_repr_text(pool_, n.number());
        out_ += ']';
        return;
      case NodeKind::Sequence: sequence(n, next); return;
      case NodeKind::Collection:
        out_ += n.collection_kind() == ir::CollectionKind::Set ? "set[" : "frozenset[";
        node(*n.element(), next);
        out_ += ']';
        return;
      case NodeKind::Record: record(n, next); return;
      case NodeKind::Union: union_members(n, next); return;
      case NodeKind::Intersection: intersection(n, next); return;
      case NodeKind::Complement:
        out_ += "complement(";
        node(*n.inner(), next);
        out_ += ')';
        return;
      case NodeKind::Instance: out_ += constant_name_text(pool_, n.number()); return;
      case NodeKind::Object: object(n, next); return;
      case NodeKind::Refinement: refinement(n, next); return;
      case NodeKind::Reference: reference(n.number(), next); return;
      case NodeKind::Placeholder: out_ += kElision; return;
    }
    out_ += kElision;
  }

 private:
  bool spent() const noexcept { return out_.size() >= kAnnotationTextLimit; }

  // Writes the separator before item i > 0; false when the text is over its
  // limit, after writing the elision as the last item.
  bool separator(size_t i, std::string_view sep) {
    if (i == 0) return true;
    out_ += sep;
    if (!spent()) return true;
    out_ += kElision;
    return false;
  }

  void nodes(const ir::NodeList& items, uint64_t depth, size_t first_index = 0) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (!separator(first_index + i, ", ")) return;
      node(items[i], depth);
    }
  }

  void sequence(const SchemaNode& n, uint64_t depth) {
    const bool list = n.sequence_kind() == ir::SequenceKind::List;
    const ir::NodeList& prefix = n.prefix();
    if (!n.tail()) {
      if (list) {
        out_ += '[';
      } else if (prefix.size() == 0) {
        out_ += "tuple[()]";
        return;
      } else {
        out_ += "tuple[";
      }
      nodes(prefix, depth);
      out_ += ']';
      return;
    }
    if (prefix.size() == 0) {
      out_ += list ? "list[" : "tuple[";
      node(*n.tail(), depth);
      out_ += list ? "]" : ", ...]";
      return;
    }
    out_ += list ? "[" : "tuple[";
    nodes(prefix, depth);
    if (separator(prefix.size(), ", ")) {
      node(*n.tail(), depth);
      if (separator(1, ", ")) out_ += "...";
    }
    out_ += ']';
  }

  // The key as a Python string literal (what repr of the str writes), so
  // that any name, quotes and control characters included, rebuilds.
  void field(const ir::RecordField& f, uint64_t depth) {
    std::string key(f.name.view());
    if (!f.required) key += '?';
    append_str_literal(key);
    out_ += ": ";
    node(f.schema, depth);
  }

  void append_str_literal(const std::string& text) {
    PyRef str = PyRef::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogatepass"));
    PyRef literal = str ? PyRef::steal(PyObject_Repr(str.get())) : PyRef{};
    Py_ssize_t size = 0;
    const char* utf8 = literal ? PyUnicode_AsUTF8AndSize(literal.get(), &size) : nullptr;
    if (utf8 == nullptr) {
      PyErr_Clear();
      out_ += '\'';
      out_ += text;
      out_ += '\'';
      return;
    }
    out_.append(utf8, static_cast<size_t>(size));
  }

  void record(const SchemaNode& n, uint64_t depth) {
    const ir::FieldList& fields = n.fields();
    const ir::ClauseList& clauses = n.clauses();
    if (fields.size() == 0 && clauses.size() == 1) {
      out_ += "dict[";
      node(clauses[0].key, depth);
      out_ += ", ";
      node(clauses[0].value, depth);
      out_ += ']';
      return;
    }
    out_ += '{';
    size_t i = 0;
    bool more = true;
    for (; more && i < fields.size(); ++i) {
      more = separator(i, ", ");
      if (more) field(fields[i], depth);
    }
    for (size_t c = 0; more && c < clauses.size(); ++c, ++i) {
      more = separator(i, ", ");
      if (!more) break;
      node(clauses[c].key, depth);
      out_ += ": ";
      node(clauses[c].value, depth);
    }
    out_ += '}';
  }

  // Members in stored order, then the run of literals that starts at the
  // first Literal member sorted by text (bytes, shorter first, stable).
  void union_members(const SchemaNode& n, uint64_t depth) {
    const ir::NodeList& members = n.members();
    const size_t start = out_.size();
    std::vector<std::pair<size_t, size_t>> spans;  // [begin, end) of each member text
    spans.reserve(members.size());
    size_t first_literal = members.size();
    size_t run_end = members.size();
    for (size_t i = 0; i < members.size(); ++i) {
      if (!separator(i, " | ")) break;
      size_t begin = out_.size();
      node(members[i], depth);
      spans.emplace_back(begin, out_.size());
      if (members[i].is(NodeKind::Literal)) {
        if (first_literal == members.size()) first_literal = i;
      } else if (first_literal != members.size() && run_end == members.size()) {
        run_end = i;
      }
    }
    run_end = std::min(run_end, spans.size());
    if (first_literal >= run_end || run_end - first_literal < 2) return;

    std::vector<std::string> texts;
    texts.reserve(spans.size());
    for (const auto& [b, e] : spans) texts.emplace_back(out_, b, e - b);
    std::stable_sort(texts.begin() + static_cast<std::ptrdiff_t>(first_literal),
                     texts.begin() + static_cast<std::ptrdiff_t>(run_end));
    // Everything after the last member (an elision cut) stays as it was.
    std::string rest = out_.substr(spans.back().second);
    out_.resize(start);
    for (size_t i = 0; i < texts.size(); ++i) {
      if (i > 0) out_ += " | ";
      out_ += texts[i];
    }
    out_ += rest;
  }

  void intersection(const SchemaNode& n, uint64_t depth) {
    const ir::NodeList& members = n.members();
    std::optional<uint64_t> cls = ir::match_class_with_shape(n);
    if (!cls) {
      out_ += "intersection(";
      nodes(members, depth);
      out_ += ')';
      return;
    }
    std::vector<const SchemaNode*> rest;
    for (const SchemaNode& m : members) {
      if (!m.is(NodeKind::Instance) && !m.is(NodeKind::Sequence) && !m.is(NodeKind::Object)) rest.push_back(&m);
    }
    if (rest.empty()) {
      out_ += constant_name_text(pool_, *cls);
      return;
    }
    out_ += "intersection(";
    out_ += constant_name_text(pool_, *cls);
    for (size_t i = 0; i < rest.size(); ++i) {
      if (!separator(i + 1, ", ")) break;
      node(*rest[i], depth);
    }
    out_ += ')';
  }

  void object(const SchemaNode& n, uint64_t depth) {
    const ir::FieldList& attributes = n.attributes();
    out_ += "object(";
    for (size_t i = 0; i < attributes.size(); ++i) {
      if (!separator(i, ", ")) break;
      out_ += attributes[i].name.view();
      if (!attributes[i].required) out_ += '?';
      out_ += '=';
      node(attributes[i].schema, depth);
    }
    out_ += ')';
  }

  void constraint(const ir::Constraint& c) {
    using ir::ConstraintKind;
    switch (c.kind()) {
      case ConstraintKind::Ge: bounded("Ge(", c); return;
      case ConstraintKind::Gt: bounded("Gt(", c); return;
      case ConstraintKind::Le: bounded("Le(", c); return;
      case ConstraintKind::Lt: bounded("Lt(", c); return;
      case ConstraintKind::MultipleOf: bounded("MultipleOf(", c); return;
      case ConstraintKind::MinLen: out_ += "MinLen(" + std::to_string(c.word()) + ")"; return;
      case ConstraintKind::MaxLen: out_ += "MaxLen(" + std::to_string(c.word()) + ")"; return;
      case ConstraintKind::Predicate: out_ += "Predicate(...)"; return;
      case ConstraintKind::Pattern: out_ += "Regex(" + pattern_repr(c.pattern_text()) + ")"; return;
    }
  }

  void bounded(const char* head, const ir::Constraint& c) {
    out_ += head;
    out_ += constant_repr_text(pool_, c.word());
    out_ += ')';
  }

  void refinement(const SchemaNode& n, uint64_t depth) {
    out_ += "Annotated[";
    node(*n.base(), depth);
    const ir::ConstraintList& constraints = n.constraints();
    for (size_t i = 0; i < constraints.size(); ++i) {
      if (!separator(i + 1, ", ")) break;
      constraint(constraints[i]);
    }
    out_ += ']';
  }

  void reference(uint64_t n, uint64_t depth) {
    for (const auto& [number, name] : open_) {
      if (number == n) {
        out_ += name;
        return;
      }
    }
    std::string name = recursion_variable_name(open_.size());
    out_ += "recursive(lambda ";
    out_ += name;
    out_ += ": ";
    open_.emplace_back(n, std::move(name));
    if (n < definitions_.size()) {
      node(definitions_[n], depth);
    } else {
      out_ += kElision;
    }
    open_.pop_back();
    out_ += ')';
  }

  std::span<const PyRef> pool_;
  std::span<const SchemaNode> definitions_;
  // Definitions whose body is being written, innermost last (at most the
  // depth limit of them).
  std::vector<std::pair<uint64_t, std::string>> open_;
  std::string out_;
};

}  // namespace

std::string render_node(const ir::SchemaNode& node, std::span<const PyRef> pool,
                        std::span<const ir::SchemaNode> definitions) {
  Renderer r(pool, definitions);
  r.node(node, 0);
  return r.take();
}

std::string recursion_variable_name(uint64_t n) {
  switch (n) {
    case 0: return "X";
    case 1: return "Y";
    case 2: return "Z";
    default: return "T" + std::to_string(n);
  }
}

std::string constant_repr_text(std::span<const PyRef> pool, uint64_t i) {
  if (i >= pool.size()) return "<unknown>";
  return safe_repr(pool[i].get());
}

std::string constant_name_text(std::span<const PyRef> pool, uint64_t i) {
  if (i >= pool.size()) return "<unknown>";
  return class_name(pool[i].get());
}

}  // namespace tessolin::py

#include "compile/generics/generic_support.hpp"

#include "binding/error.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

void refuse_form(const std::string& text) { py::raise(PyExc_NotImplementedError, text); }

py::PyRef single_type_argument(PyObject* args, PyObject* alias, const char* hint) {
  Py_ssize_t count = PyTuple_GET_SIZE(args);
  if (count != 1) {
    refuse_form(py::safe_repr(alias) + " takes exactly one type argument, and this one is written with " +
                std::to_string(count) + ": " + hint);
  }
  return py::PyRef::borrow(PyTuple_GET_ITEM(args, 0));
}

bool has_refinement(const ir::SchemaNode& node) {
  switch (node.kind()) {
    case ir::NodeKind::Refinement: return !node.constraints().empty();
    case ir::NodeKind::Union:
    case ir::NodeKind::Intersection:
      for (const ir::SchemaNode& m : node.members()) {
        if (has_refinement(m)) return true;
      }
      return false;
    case ir::NodeKind::Complement: return has_refinement(*node.inner());
    default: return false;
  }
}

void refuse_refined_key(const ir::SchemaNode& key, PyObject* key_object) {
  if (!has_refinement(key)) return;
  refuse_form(py::safe_repr(key_object) +
              " narrows the keys it governs, and a map key must be a key type or a Literal: write dict[str, V] to "
              "key every string, or dict[Literal[\"a\"], V] (or {\"a\": V}) to key one. To constrain the keys "
              "themselves, check them beside the mapping rather than inside it");
}

}  // namespace tessolin::build

// recursive(builder): a checked fixpoint. The builder receives a placeholder
// validator standing for the schema being defined; its self-references in
// the body become back edges to a new definition.
#include <vector>

#include "binding/error.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/recursion/recursion.hpp"
#include "ir/definitions.hpp"
#include "validator/validator_data.hpp"

namespace tessolin::build {

namespace {

// Keeps the placeholder id live on this thread exactly while the builder
// runs.
class LivePlaceholder {
 public:
  explicit LivePlaceholder(uint64_t id) { ir::push_placeholder(id); }
  ~LivePlaceholder() { ir::pop_placeholder(); }
  LivePlaceholder(const LivePlaceholder&) = delete;
  LivePlaceholder& operator=(const LivePlaceholder&) = delete;
};

py::PyRef call_builder(PyObject* builder, uint64_t id) {
  py::ValidatorData data;
  data.root = ir::SchemaNode::placeholder(id);
  py::PyRef placeholder = py::new_validator_object(std::move(data));
  LivePlaceholder live(id);
  return py::PyRef::check(PyObject_CallOneArg(builder, placeholder.get()));
}

}  // namespace

py::PyRef build_recursive(PyObject* builder) {
  const uint64_t id = ir::new_placeholder_id();
  py::PyRef spec = call_builder(builder, id);

  ConstantsPool pool;
  std::vector<ir::SchemaNode> definitions;
  CompileContext ctx{pool, definitions};
  ir::SchemaNode body = compile_annotation(ctx, spec.get());
  spec.reset();

  const uint64_t n = definitions.size();
  for (ir::SchemaNode& definition : definitions) definition = ir::resolve_placeholder(definition, id, n);
  body = ir::resolve_placeholder(body, id, n);
  if (ir::find_unguarded_reference(body, n, definitions)) {
    py::raise_value_error(
        "recursive schema is not contractive: the recursive reference must occur under a structural constructor "
        "(a list, tuple, set, dict, record, or object)");
  }
  definitions.push_back(std::move(body));
  py::ValidatorData data =
      py::finalise_schema(ir::SchemaNode::reference(n), pool.take_objects(), std::move(definitions));
  return py::new_validator_object(std::move(data));
}

}  // namespace tessolin::build

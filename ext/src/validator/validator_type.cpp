#include <vector>

#include "binding/args.hpp"
#include "binding/error.hpp"
#include "binding/heap_type.hpp"
#include "binding/once_cell.hpp"
#include "binding/trampoline.hpp"
#include "compile/compile_annotation.hpp"
#include "render/annotation_text.hpp"
#include "validator/validator_data.hpp"
#include "validator/validator_methods.hpp"
#include "validator/validator_slots.hpp"

namespace tessolin::py {

namespace {

constexpr const char* kValidatorDoc = "Validator(schema, /)\n--\n\nA compiled, immutable schema validator.";

constexpr Signature<1> kNewSignature{"Validator.__new__()", {{{"schema", ParamKind::PositionalOnly, true}}}};

PyRef validator_new(PyTypeObject* /*type*/, PyObject* args, PyObject* kwargs) {
  auto parsed = parse_tuple_dict(kNewSignature, args, kwargs);
  build::ConstantsPool pool;
  std::vector<ir::SchemaNode> definitions;
  ir::SchemaNode root;
  {
    build::CompileContext ctx{pool, definitions};
    root = build::compile_annotation(ctx, parsed[0]);
  }
  return new_validator_object(finalise_schema(std::move(root), pool.take_objects(), std::move(definitions)));
}

int validator_traverse(PyObject* self, visitproc visit, void* arg) noexcept {
  const ValidatorData& data = *validator_data(self);
  for (const PyRef& o : data.pool_objects) Py_VISIT(o.get());
  if (const check::Precompute* tables = data.precompute.peek()) {
    int r = check::traverse_precompute(tables, visit, arg);
    if (r != 0) return r;
  }
  return 0;
}

// The method table: the contributed tables in their documented order, then
// the sentinel. Built once with the type and kept for the process.
std::vector<PyMethodDef>& method_table() {
  static std::vector<PyMethodDef>* table = [] {
    auto* t = new std::vector<PyMethodDef>();
    for (auto part : {check_methods(), relation_methods(), copy_methods(), rewrite_methods()}) {
      t->insert(t->end(), part.begin(), part.end());
    }
    t->push_back({nullptr, nullptr, 0, nullptr});
    return t;
  }();
  return *table;
}

PyRef make_validator_type() {
  PyType_Slot slots[] = {
      type_slot(Py_tp_new, &slot_new<&validator_new>),
      type_slot(Py_tp_dealloc, &dealloc_instance<ValidatorData>),
      type_slot(Py_tp_traverse, &slot_traverse<&validator_traverse>),
      type_slot(Py_tp_repr, &slot_repr<&validator_repr>),
      type_slot(Py_tp_hash, &slot_hash<&validator_hash>),
      type_slot(Py_tp_richcompare, &slot_richcompare<&validator_richcompare>),
      type_slot(Py_sq_contains, &validator_contains),
      type_slot(Py_nb_or, &validator_or),
      {Py_tp_methods, method_table().data()},
      {Py_tp_doc, const_cast<char*>(kValidatorDoc)},
      {0, nullptr},
  };
  // Not a base type: the class cannot be derived from. No instance
  // dictionary; weak references through the managed list.
  PyType_Spec spec = {"tessolin.Validator", static_cast<int>(sizeof(Instance<ValidatorData>)), 0,
                      Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_MANAGED_WEAKREF, slots};
  return create_heap_type(&spec);
}

}  // namespace

PyTypeObject* validator_type() {
  static constinit OnceCell<PyRef> cell;
  return reinterpret_cast<PyTypeObject*>(cell.get(make_validator_type).get());
}

bool is_validator(PyObject* obj) { return PyObject_TypeCheck(obj, validator_type()); }

ValidatorData* validator_data(PyObject* obj) noexcept { return &payload<ValidatorData>(obj); }

PyRef new_validator_object(ValidatorData data) { return new_instance(validator_type(), std::move(data)); }

PyRef validator_from_node(ir::SchemaNode node) {
  return new_validator_object(ValidatorData{{}, {}, std::move(node), {}});
}

ValidatorData validator_clone(const ValidatorData& data) {
  std::vector<PyRef> pool;
  pool.reserve(data.pool_objects.size());
  for (const PyRef& o : data.pool_objects) pool.push_back(o.dup());
  return ValidatorData{std::move(pool), data.definitions, data.root, {}};
}

PyRef make_anything_validator() { return validator_from_node(ir::SchemaNode::anything()); }
PyRef make_nothing_validator() { return validator_from_node(ir::SchemaNode::nothing()); }

PyRef validator_repr(PyObject* self) {
  const ValidatorData& data = *validator_data(self);
  std::string text = render_node(data.root, data.pool_objects, data.definitions);
  return PyRef::check(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

}  // namespace tessolin::py

// The relation methods of a Validator: is_empty, is_subtype_of, relation_to
// and is_equivalent. `other` is compiled into a copy of the receiver's pool
// and definitions so that both schemas name one pool; one oracle over that
// pool and one work budget serve the whole query. A decision never raises:
// argument errors, the compiler's refusals and a fatal exception from user
// code the oracle ran (raised in place of the answer) reach the caller.
#include <string_view>
#include <vector>

#include "binding/binding.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/constants_pool.hpp"
#include "decide/decisions.hpp"
#include "oracle/pool_oracle.hpp"
#include "validator/validator_data.hpp"
#include "validator/validator_methods.hpp"

namespace tessolin::py {

namespace {

using decide::Emptiness;
using decide::Relation;

constexpr Signature<1> kIsSubtypeOfSig{"Validator.is_subtype_of()", {{{"other", ParamKind::PositionalOnly, true}}}};
constexpr Signature<1> kRelationToSig{"Validator.relation_to()", {{{"other", ParamKind::PositionalOnly, true}}}};
constexpr Signature<1> kIsEquivalentSig{"Validator.is_equivalent()", {{{"other", ParamKind::PositionalOnly, true}}}};

// The receiver's schema and `other` compiled into one pool and one
// definition list; the receiver's definitions keep their numbers.
struct CombinedSchemas {
  build::ConstantsPool pool;
  std::vector<ir::SchemaNode> definitions;
  ir::SchemaNode left;   // the receiver's root
  ir::SchemaNode right;  // `other`
};

// Throws the compiler's exception, unchanged, when `other` does not compile.
CombinedSchemas combine_with(PyObject* self, PyObject* other) {
  const ValidatorData& data = *validator_data(self);
  CombinedSchemas combined{build::ConstantsPool::copy_of(data.pool_objects), data.definitions, data.root, {}};
  build::CompileContext ctx{combined.pool, combined.definitions};
  combined.right = build::compile_annotation(ctx, other);
  return combined;
}

// `answer`, unless user code run by the oracle raised a fatal exception:
// then the decision stopped asking and its answer means nothing, so the
// exception is raised instead.
template <class Answer>
Answer unless_stopped(oracle::PoolOracle& oracle, Answer answer) {
  oracle.raise_fatal();
  return answer;
}

Relation inclusion(PyObject* self, PyObject* other) {
  CombinedSchemas s = combine_with(self, other);
  oracle::PoolOracle oracle(s.pool.objects(), s.definitions);
  decide::WorkBudget budget(decide::WorkBudget::kQuerySteps);
  return unless_stopped(oracle, decide::relation(s.left, s.right, s.definitions, oracle, budget));
}

PyRef bool_object(bool b) { return PyRef::borrow(b ? Py_True : Py_False); }

PyRef is_empty_body(PyObject* self) {
  const ValidatorData& data = *validator_data(self);
  oracle::PoolOracle oracle(data.pool_objects, data.definitions);
  decide::WorkBudget budget(decide::WorkBudget::kQuerySteps);
  return bool_object(unless_stopped(oracle, decide::is_empty(data.root, data.definitions, oracle, budget)) ==
                     Emptiness::Empty);
}

PyRef is_subtype_of_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kIsSubtypeOfSig, args, nargs, kwnames);
  return bool_object(inclusion(self, a[0]) == Relation::Subset);
}

PyRef relation_to_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kRelationToSig, args, nargs, kwnames);
  std::string_view text = decide::relation_text(inclusion(self, a[0]));
  return PyRef::check(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

PyRef is_equivalent_body(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kIsEquivalentSig, args, nargs, kwnames);
  CombinedSchemas s = combine_with(self, a[0]);
  oracle::PoolOracle oracle(s.pool.objects(), s.definitions);
  decide::WorkBudget budget(decide::WorkBudget::kQuerySteps);  // shared by both directions
  return bool_object(unless_stopped(oracle, decide::is_equivalent(s.left, s.right, s.definitions, oracle, budget)));
}

constexpr const char kIsEmptyDoc[] =
    "is_empty($self)\n--\n\n"
    "Whether the schema is unsatisfiable — provably empty, so `is_valid`\n"
    "is False for every value.\n\n"
    "True only on a proof; a question that cannot be settled within the\n"
    "decision's work budget answers False.";
constexpr const char kIsSubtypeOfDoc[] =
    "is_subtype_of($self, other, /)\n--\n\n"
    "Whether every value of this schema is also a value of `other` — set\n"
    "inclusion.\n\n"
    "`other` is any schema spec or validator. True only on a proof; an\n"
    "inclusion that cannot be settled within the work budget answers False\n"
    "(see `relation_to` for the three-valued answer).";
constexpr const char kRelationToDoc[] =
    "relation_to($self, other, /)\n--\n\n"
    "The inclusion in three answers rather than two.\n\n"
    "Returns \"subset\" when every value of this schema is proved to be a\n"
    "value of `other`, \"not_subset\" when a value of this schema outside\n"
    "`other` is proved to exist, and \"undecided\" when neither is proved\n"
    "within the work budget.";
constexpr const char kIsEquivalentDoc[] =
    "is_equivalent($self, other, /)\n--\n\n"
    "Whether this schema and `other` denote the same set — mutual inclusion.\n\n"
    "True only when inclusion is proved both ways within one work budget;\n"
    "otherwise False.";

const PyMethodDef kRelationMethods[] = {
    method_def("is_empty", &method_noargs<&is_empty_body>, METH_NOARGS, kIsEmptyDoc),
    method_def("is_subtype_of", &method_fastcall<&is_subtype_of_body>, METH_FASTCALL | METH_KEYWORDS, kIsSubtypeOfDoc),
    method_def("relation_to", &method_fastcall<&relation_to_body>, METH_FASTCALL | METH_KEYWORDS, kRelationToDoc),
    method_def("is_equivalent", &method_fastcall<&is_equivalent_body>, METH_FASTCALL | METH_KEYWORDS, kIsEquivalentDoc),
};

}  // namespace

std::span<const PyMethodDef> relation_methods() { return kRelationMethods; }

}  // namespace tessolin::py

// _tessolin_testing: a test-only extension that reaches the binding layer,
// the error model and the value text directly, without the walk.
//
// It has its own copy of the process-wide cells, so its ValidationError is a
// class of its own (same name); tests that pickle point tessolin's attribute
// at it.
#include <Python.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/binding.hpp"
#include "errors/error_attributes.hpp"
#include "errors/failures.hpp"
#include "errors/violation.hpp"
#include "exception/error_hooks.hpp"
#include "exception/validation_error_type.hpp"
#include "render/value_text.hpp"

namespace tessolin::py {

namespace {

// --- helpers -----------------------------------------------------------------

std::string utf8_of(PyObject* str) {
  arg_str("text", str);
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(str, &size);
  if (utf8 != nullptr) return std::string(utf8, static_cast<std::size_t>(size));
  PyErr_Clear();
  PyRef bytes = PyRef::check(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  return std::string(PyBytes_AS_STRING(bytes.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.get())));
}

PyRef to_str(const std::string& text) { return text_to_str(text); }

// Codes are static text in a Violation; keep the test's codes for good.
const char* static_code(const std::string& code) {
  static std::mutex lock;
  static std::set<std::string>* codes = new std::set<std::string>;
  std::lock_guard<std::mutex> guard(lock);  // no Python call under it
  return codes->insert(code).first->c_str();
}

// A path step: str -> Key, int -> Int (BigInt beyond 64 bits), [n] -> Index.
PathSegment to_segment(PyObject* item) {
  if (PyUnicode_Check(item)) return PathSegment::key(utf8_of(item));
  if (PyList_Check(item)) {
    PyRef n = PyRef::check(PyList_GetItemRef(item, 0));
    unsigned long long v = PyLong_AsUnsignedLongLong(n.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw PythonError{};
    return PathSegment::index(v);
  }
  if (PyLong_Check(item)) {
    int64_t v = 0;
    if (compat::PyLong_AsInt64(item, &v) == 0) return PathSegment::int_key(v);
    PyErr_Clear();
    PyRef text = PyRef::check(PyObject_Str(item));
    return PathSegment::big_int_key(utf8_of(text.get()));
  }
  raise_type_error("path steps are str, int or [index]");
}

// violations: a sequence of (path, expected, value, code).
std::vector<Violation> to_violations(PyObject* spec) {
  PyRef seq = PyRef::check(PySequence_Tuple(spec));
  std::vector<Violation> out;
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(seq.get()); ++i) {
    PyRef item = PyRef::check(PySequence_Tuple(PyTuple_GET_ITEM(seq.get(), i)));
    if (PyTuple_GET_SIZE(item.get()) != 4) raise_type_error("a violation is (path, expected, value, code)");
    PyRef path = PyRef::check(PySequence_Tuple(PyTuple_GET_ITEM(item.get(), 0)));
    Violation v{{},
                utf8_of(PyTuple_GET_ITEM(item.get(), 1)),
                utf8_of(PyTuple_GET_ITEM(item.get(), 2)),
                static_code(utf8_of(PyTuple_GET_ITEM(item.get(), 3)))};
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(path.get()); ++k) {
      v.path.push_back(to_segment(PyTuple_GET_ITEM(path.get(), k)));
    }
    out.push_back(std::move(v));
  }
  return out;
}

PyRef tuple_of(std::initializer_list<PyObject*> items) {
  PyRef t = PyRef::check(PyTuple_New(static_cast<Py_ssize_t>(items.size())));
  Py_ssize_t i = 0;
  for (PyObject* o : items) PyTuple_SET_ITEM(t.get(), i++, Py_XNewRef(o ? o : Py_None));
  return t;
}

// --- error model -------------------------------------------------------------

PyRef make_error(PyObject*, PyObject* arg) { return build_validation_error(to_violations(arg)); }

PyRef raise_error(PyObject*, PyObject* arg) { raise_validation_error(to_violations(arg)); }

PyRef json_invalid(PyObject*, PyObject* arg) { return json_invalid_error(utf8_of(arg)); }

PyRef violation_line(PyObject*, PyObject* arg) {
  std::vector<Violation> v = to_violations(arg);
  std::string line;
  write_violation_line(v.at(0), line);
  return to_str(line);
}

// --- value text --------------------------------------------------------------

PyRef render_value_fn(PyObject*, PyObject* arg) { return to_str(render_value(arg)); }
PyRef safe_repr_fn(PyObject*, PyObject* arg) { return to_str(safe_repr(arg)); }
PyRef class_name_fn(PyObject*, PyObject* arg) { return to_str(class_name(arg)); }
PyRef quote_text_fn(PyObject*, PyObject* arg) { return to_str(quote_text(utf8_of(arg))); }
PyRef shorten_text_fn(PyObject*, PyObject* arg) { return to_str(shorten_text(utf8_of(arg))); }

// --- argument parsing ----------------------------------------------------------

constexpr Signature<2> kValidateSig{
    "Validator.validate()", {{{"obj", ParamKind::PositionalOnly, true}, {"fail_fast", ParamKind::KeywordOnly, false}}}};
constexpr Signature<1> kIsValidSig{"Validator.is_valid()", {{{"obj", ParamKind::PositionalOnly, true}}}};
constexpr Signature<1> kDeepcopySig{"Validator.__deepcopy__()", {{{"_memo", ParamKind::PositionalOrKeyword, true}}}};
constexpr Signature<0> kUnionSig{"union()", {}, true};
constexpr Signature<3> kThreeSig{"three()",
                                 {{{"a", ParamKind::PositionalOnly, true},
                                   {"b", ParamKind::PositionalOnly, true},
                                   {"c", ParamKind::PositionalOnly, true}}}};
constexpr Signature<0> kNoneSig{"none()", {}};
constexpr Signature<1> kNewSig{"Validator.__new__()", {{{"schema", ParamKind::PositionalOnly, true}}}};

PyRef sample_validate(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kValidateSig, args, nargs, kwnames);
  bool fail_fast = a[1] ? arg_bool("fail_fast", a[1]) : false;
  return tuple_of({a[0], fail_fast ? Py_True : Py_False});
}

PyRef sample_is_valid(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kIsValidSig, args, nargs, kwnames);
  return tuple_of({a[0]});
}

PyRef sample_deepcopy(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kDeepcopySig, args, nargs, kwnames);
  return tuple_of({a[0]});
}

PyRef sample_union(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kUnionSig, args, nargs, kwnames);
  PyRef t = PyRef::check(PyTuple_New(a.extra_count));
  for (Py_ssize_t i = 0; i < a.extra_count; ++i) PyTuple_SET_ITEM(t.get(), i, Py_NewRef(a.extra[i]));
  return t;
}

PyRef sample_three(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kThreeSig, args, nargs, kwnames);
  return tuple_of({a[0], a[1], a[2]});
}

PyRef sample_none(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  parse_fastcall(kNoneSig, args, nargs, kwnames);
  return PyRef::borrow(Py_None);
}

PyRef sample_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  auto a = parse_tuple_dict(kNewSig, args, kwargs);
  return tuple_of({a[0]});
}

// --- boundary conversion -------------------------------------------------------

PyRef throw_std(PyObject*, PyObject* arg) { throw std::runtime_error(utf8_of(arg)); }
PyRef throw_internal(PyObject*, PyObject* arg) { throw InternalError(utf8_of(arg)); }
PyRef throw_unknown(PyObject*) { throw 42; }
PyRef throw_without_error(PyObject*) { throw PythonError{}; }

PyRef internal_error_type_fn(PyObject*) { return PyRef::borrow(internal_error_type()); }
PyRef failures_type_fn(PyObject*) { return PyRef::borrow(reinterpret_cast<PyObject*>(failures_type())); }

// --- compat ------------------------------------------------------------------

// "<" + str(obj) + U+D800 + repr(obj) + ">" through the str writer.
PyRef writer_sample(PyObject*, PyObject* arg) {
  compat::PyUnicodeWriter* w = compat::PyUnicodeWriter_Create(0);
  if (w == nullptr) throw PythonError{};
  if (compat::PyUnicodeWriter_WriteUTF8(w, "<", -1) < 0 || compat::PyUnicodeWriter_WriteStr(w, arg) < 0 ||
      compat::PyUnicodeWriter_WriteChar(w, 0xD800) < 0 || compat::PyUnicodeWriter_WriteRepr(w, arg) < 0 ||
      compat::PyUnicodeWriter_WriteUTF8(w, ">\xff", 1) < 0) {
    compat::PyUnicodeWriter_Discard(w);
    throw PythonError{};
  }
  return PyRef::check(compat::PyUnicodeWriter_Finish(w));
}

PyRef writer_bad_utf8(PyObject*) {
  compat::PyUnicodeWriter* w = compat::PyUnicodeWriter_Create(0);
  if (w == nullptr) throw PythonError{};
  int rc = compat::PyUnicodeWriter_WriteUTF8(w, "a\xed\xa0\x80", 4);
  compat::PyUnicodeWriter_Discard(w);
  if (rc < 0) throw PythonError{};
  return PyRef::borrow(Py_None);
}

// --- once-cells ----------------------------------------------------------------

constexpr int kCells = 16;
OnceCell<PyRef> g_cells[kCells];

// once_get(index, builder): the value of cell `index`, built by builder().
PyRef once_get(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 2) raise_type_error("once_get(index, builder)");
  long index = PyLong_AsLong(args[0]);
  if (index == -1 && PyErr_Occurred()) throw PythonError{};
  if (index < 0 || index >= kCells) raise_value_error("no such cell");
  PyObject* builder = args[1];
  return g_cells[index].get([builder] { return PyRef::check(PyObject_CallNoArgs(builder)); }).dup();
}

PyRef once_get_fastcall(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) != 0) raise_type_error("no keywords");
  return once_get(self, args, nargs);
}

constexpr int kFastKw = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef g_methods[] = {
    method_def("make_error", &method_o<&make_error>, METH_O, nullptr),
    method_def("raise_error", &method_o<&raise_error>, METH_O, nullptr),
    method_def("json_invalid", &method_o<&json_invalid>, METH_O, nullptr),
    method_def("violation_line", &method_o<&violation_line>, METH_O, nullptr),
    method_def("render_value", &method_o<&render_value_fn>, METH_O, nullptr),
    method_def("safe_repr", &method_o<&safe_repr_fn>, METH_O, nullptr),
    method_def("class_name", &method_o<&class_name_fn>, METH_O, nullptr),
    method_def("quote_text", &method_o<&quote_text_fn>, METH_O, nullptr),
    method_def("shorten_text", &method_o<&shorten_text_fn>, METH_O, nullptr),
    method_def("validate", &method_fastcall<&sample_validate>, kFastKw,
               "validate($self, obj, /, *, fail_fast=False)\n--\n\nA parsing sample."),
    method_def("is_valid", &method_fastcall<&sample_is_valid>, kFastKw, nullptr),
    method_def("deepcopy", &method_fastcall<&sample_deepcopy>, kFastKw, nullptr),
    method_def("union", &method_fastcall<&sample_union>, kFastKw, "union(*schemas)\n--\n\nA parsing sample."),
    method_def("three", &method_fastcall<&sample_three>, kFastKw, nullptr),
    method_def("none", &method_fastcall<&sample_none>, kFastKw, nullptr),
    method_def("throw_std", &method_o<&throw_std>, METH_O, nullptr),
    method_def("throw_internal", &method_o<&throw_internal>, METH_O, nullptr),
    method_def("throw_unknown", &method_noargs<&throw_unknown>, METH_NOARGS, nullptr),
    method_def("throw_without_error", &method_noargs<&throw_without_error>, METH_NOARGS, nullptr),
    method_def("internal_error_type", &method_noargs<&internal_error_type_fn>, METH_NOARGS, nullptr),
    method_def("failures_type", &method_noargs<&failures_type_fn>, METH_NOARGS, nullptr),
    method_def("writer_sample", &method_o<&writer_sample>, METH_O, nullptr),
    method_def("writer_bad_utf8", &method_noargs<&writer_bad_utf8>, METH_NOARGS, nullptr),
    method_def("once_get", &method_fastcall<&once_get_fastcall>, kFastKw, nullptr),
    {nullptr, nullptr, 0, nullptr},
};

// A class whose constructor parses like Validator.__new__.
PyRef make_sample_type() {
  static PyType_Slot slots[] = {
      type_slot(Py_tp_new, &slot_new<&sample_new>),
      {0, nullptr},
  };
  static PyType_Spec spec = {"_tessolin_testing.Sample", static_cast<int>(sizeof(PyObject)), 0, Py_TPFLAGS_DEFAULT,
                             slots};
  return create_heap_type(&spec);
}

void testing_exec(PyObject* module) {
  install_validation_error_hooks();
  check(PyModule_AddObjectRef(module, "ValidationError", validation_error_type()));
  PyRef sample = make_sample_type();
  check(PyModule_AddObjectRef(module, "Sample", sample.get()));
  check(PyModule_AddFunctions(module, g_methods));
}

PyModuleDef_Slot g_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&slot_exec<&testing_exec>)},
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef g_def = {
    PyModuleDef_HEAD_INIT, "_tessolin_testing", nullptr, 0, nullptr, g_slots, nullptr, nullptr, nullptr};

}  // namespace

}  // namespace tessolin::py

PyMODINIT_FUNC PyInit__tessolin_testing(void) { return PyModuleDef_Init(&tessolin::py::g_def); }

#include "errors/error_attributes.hpp"

#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "binding/args.hpp"
#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "binding/trampoline.hpp"
#include "errors/failures.hpp"
#include "errors/violation.hpp"

namespace tessolin::py {

namespace {

enum class Attr : uint8_t { Code, Path, Message, Expected, Value, Errors };

// Reduce reads them in this order.
constexpr std::array<Attr, 6> kAllAttrs = {Attr::Code,     Attr::Path,  Attr::Message,
                                           Attr::Expected, Attr::Value, Attr::Errors};

constinit InternedName kCodeName{"code"};
constinit InternedName kPathName{"path"};
constinit InternedName kMessageName{"message"};
constinit InternedName kExpectedName{"expected"};
constinit InternedName kValueName{"value"};
constinit InternedName kErrorsName{"errors"};
constinit InternedName kFailuresName{"_failures"};
constinit InternedName kReduceName{"__reduce__"};

PyObject* attr_name(Attr a) {
  switch (a) {
    case Attr::Code: return kCodeName.get();
    case Attr::Path: return kPathName.get();
    case Attr::Message: return kMessageName.get();
    case Attr::Expected: return kExpectedName.get();
    case Attr::Value: return kValueName.get();
    case Attr::Errors: return kErrorsName.get();
  }
  return nullptr;
}

std::optional<Attr> classify(PyObject* name) {
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(name, &size);
  if (utf8 == nullptr) {
    PyErr_Clear();  // lone surrogates: none of the six
    return std::nullopt;
  }
  std::string_view text(utf8, static_cast<std::size_t>(size));
  if (text == "code") return Attr::Code;
  if (text == "path") return Attr::Path;
  if (text == "message") return Attr::Message;
  if (text == "expected") return Attr::Expected;
  if (text == "value") return Attr::Value;
  if (text == "errors") return Attr::Errors;
  return std::nullopt;
}

[[noreturn]] void raise_no_attribute(PyObject* instance, PyObject* name) {
  PyRef type_name = PyRef::check(PyType_GetName(Py_TYPE(instance)));
  PyErr_Format(PyExc_AttributeError, "'%U' object has no attribute '%U'", type_name.get(), name);
  throw PythonError{};
}

PyRef missing_failures_default(Attr a) {
  if (a == Attr::Path || a == Attr::Errors) return PyRef::check(PyTuple_New(0));
  return PyRef::check(PyUnicode_FromStringAndSize("", 0));
}

// Builds attributes of one Failures object; the first violation's path tuple
// and line are made once and shared with the first `errors` dict.
class AttributeBuilder {
 public:
  explicit AttributeBuilder(const FailuresData& data) noexcept
      : data_(data), first_(data.violations.empty() ? default_violation() : data.violations.front()) {}

  PyRef build(Attr a) {
    switch (a) {
      case Attr::Code: return PyRef::check(PyUnicode_FromString(first_.code));
      case Attr::Expected: return text_to_str(first_.expected);
      case Attr::Value: return text_to_str(first_.value);
      case Attr::Path: return first_path().dup();
      case Attr::Message: return first_line().dup();
      case Attr::Errors: return errors();
    }
    return {};
  }

 private:
  const PyRef& first_path() {
    if (!first_path_) first_path_ = path_to_tuple(first_.path);
    return first_path_;
  }
  const PyRef& first_line() {
    if (!first_line_) first_line_ = line_of(first_);
    return first_line_;
  }
  static PyRef line_of(const Violation& v) {
    std::string line;
    write_violation_line(v, line);
    return text_to_str(line);
  }

  PyRef error_dict(const Violation& v, PyRef path, PyRef line) {
    PyRef dict = PyRef::check(PyDict_New());
    PyRef code = PyRef::check(PyUnicode_FromString(v.code));
    PyRef expected = text_to_str(v.expected);
    PyRef value = text_to_str(v.value);
    // Key order is part of the output: code, path, message, expected, value.
    check(PyDict_SetItem(dict.get(), kCodeName.get(), code.get()));
    check(PyDict_SetItem(dict.get(), kPathName.get(), path.get()));
    check(PyDict_SetItem(dict.get(), kMessageName.get(), line.get()));
    check(PyDict_SetItem(dict.get(), kExpectedName.get(), expected.get()));
    check(PyDict_SetItem(dict.get(), kValueName.get(), value.get()));
    return dict;
  }

  PyRef errors() {
    std::size_t n = data_.violations.empty() ? 1 : data_.violations.size();
    PyRef tuple = PyRef::check(PyTuple_New(static_cast<Py_ssize_t>(n)));
    PyTuple_SET_ITEM(tuple.get(), 0, error_dict(first_, first_path().dup(), first_line().dup()).release());
    for (std::size_t i = 1; i < n; ++i) {
      const Violation& v = data_.violations[i];
      PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i),
                       error_dict(v, path_to_tuple(v.path), line_of(v)).release());
    }
    return tuple;
  }

  const FailuresData& data_;
  const Violation& first_;
  PyRef first_path_;
  PyRef first_line_;
};

// Ordinary lookup that does not fall back to __getattr__: the instance dict
// and the class. Empty when the attribute is absent.
PyRef lookup_stored(PyObject* instance, PyObject* name) {
  PyRef value = PyRef::steal(PyObject_GenericGetAttr(instance, name));
  if (!value) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw PythonError{};
    PyErr_Clear();
  }
  return value;
}

// The `_failures` object, read once; empty when absent (its lookup error is
// dropped, as the error's own hook answers it with AttributeError).
PyRef read_failures(PyObject* instance) {
  PyRef failures = PyRef::steal(PyObject_GetAttr(instance, kFailuresName.get()));
  if (!failures) PyErr_Clear();
  return failures;
}

// The answer when no Failures object is at hand. Another thread may have
// reduced the error between our miss and our read of `_failures`: reduce
// stores all six before it drops `_failures`, so look in the dict again.
PyRef answer_without_failures(PyObject* instance, PyObject* name, Attr a, bool failures_absent) {
  if (failures_absent) {
    if (PyRef stored = lookup_stored(instance, name)) return stored;
  }
  return missing_failures_default(a);
}

// --- the two built-ins ------------------------------------------------------

constexpr Signature<2> kGetattrSig{
    "validation_error_getattr()",
    {{{"instance", ParamKind::PositionalOnly, true}, {"name", ParamKind::PositionalOnly, true}}}};
constexpr Signature<1> kReduceSig{"validation_error_reduce()", {{{"instance", ParamKind::PositionalOnly, true}}}};

PyRef getattr_entry(PyObject* /*self*/, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kGetattrSig, args, nargs, kwnames);
  return validation_error_getattr(a[0], arg_str("name", a[1]));
}

PyRef reduce_entry(PyObject* /*self*/, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = parse_fastcall(kReduceSig, args, nargs, kwnames);
  return validation_error_reduce(a[0]);
}

constexpr const char* kGetattrDoc =
    "validation_error_getattr(instance, name, /)\n--\n\n"
    "Build one of the six documented attributes from the failures behind it.\n"
    "\n"
    "This function is assigned to the class, not to each instance: a raised error\n"
    "carries one attribute (its failures), and each of the rest is built by the\n"
    "first access that wants it. Python calls it only when ordinary lookup fails,\n"
    "so the value it stores is what every later access finds.";

constexpr const char* kReduceDoc =
    "validation_error_reduce(instance, /)\n--\n\n"
    "Materialise every attribute before the error is pickled or copied.\n"
    "\n"
    "The exception's own __reduce__ carries the instance dictionary, and the\n"
    "failures in it are an internal object that does not travel; forcing the six\n"
    "attributes first turns the error into plain data.";

}  // namespace

PyRef validation_error_getattr(PyObject* instance, PyObject* name) {
  std::optional<Attr> a = classify(name);
  if (!a) raise_no_attribute(instance, name);
  PyRef failures = read_failures(instance);
  if (!failures) return answer_without_failures(instance, name, *a, true);
  const FailuresData* data = failures_data(failures.get());
  if (data == nullptr) return missing_failures_default(*a);
  PyRef value = AttributeBuilder(*data).build(*a);
  check(PyObject_SetAttr(instance, name, value.get()));
  return value;
}

PyRef validation_error_reduce(PyObject* instance) {
  PyRef failures = read_failures(instance);
  const FailuresData* data = failures ? failures_data(failures.get()) : nullptr;
  std::optional<AttributeBuilder> builder;
  if (data != nullptr) builder.emplace(*data);
  for (Attr a : kAllAttrs) {
    PyObject* name = attr_name(a);
    if (lookup_stored(instance, name)) continue;
    if (builder) {
      PyRef value = builder->build(a);
      check(PyObject_SetAttr(instance, name, value.get()));
    } else {
      (void)answer_without_failures(instance, name, a, !failures);
    }
  }
  if (PyObject_DelAttr(instance, kFailuresName.get()) < 0) PyErr_Clear();
  PyRef reduce = PyRef::check(PyObject_GetAttr(PyExc_Exception, kReduceName.get()));
  return PyRef::check(PyObject_CallOneArg(reduce.get(), instance));
}

PyMethodDef& validation_error_getattr_def() {
  static PyMethodDef def = method_def("validation_error_getattr", &method_fastcall<&getattr_entry>,
                                      METH_FASTCALL | METH_KEYWORDS, kGetattrDoc);
  return def;
}

PyMethodDef& validation_error_reduce_def() {
  static PyMethodDef def =
      method_def("validation_error_reduce", &method_fastcall<&reduce_entry>, METH_FASTCALL | METH_KEYWORDS, kReduceDoc);
  return def;
}

}  // namespace tessolin::py

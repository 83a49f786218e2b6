// The argument parser behind parse_fastcall / parse_tuple_dict.
#include "binding/args.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "binding/error.hpp"

namespace tessolin::py {

namespace {

using detail::SignatureView;

std::size_t positional_capacity(const SignatureView& sig) noexcept {
  std::size_t n = 0;
  while (n < sig.count && sig.params[n].kind != ParamKind::KeywordOnly) ++n;
  return n;
}

// 'a' / 'a' and 'b' / 'a', 'b', and 'c'
std::string join_names(const std::vector<const char*>& names) {
  std::string out;
  std::size_t n = names.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && n > 2) out += ", ";
    if (i > 0 && i + 1 == n) out += n > 2 ? "and " : " and ";
    out += "'";
    out += names[i];
    out += "'";
  }
  return out;
}

[[noreturn]] void raise_too_many(const SignatureView& sig, std::size_t accepted, Py_ssize_t given) {
  std::string text = sig.callable;
  text += " takes " + std::to_string(accepted) + " positional arguments but " + std::to_string(given) +
          (given == 1 ? " was given" : " were given");
  raise_type_error(text);
}

[[noreturn]] void raise_with_keyword(const SignatureView& sig, const char* what, PyObject* keyword) {
  // The keyword may hold any text: format it through Python (%U).
  PyErr_Format(PyExc_TypeError, "%s %s '%U'", sig.callable, what, keyword);
  throw PythonError{};
}

// One keyword (name, value); `out` holds values already filled. Returns the
// index of the parameter it filled, or -1 (a positional-only name, noted).
std::ptrdiff_t take_keyword(const SignatureView& sig, PyObject* name, PyObject* value, PyObject** out,
                            std::vector<const char*>& positional_only_named) {
  if (!PyUnicode_Check(name)) raise_type_error("keywords must be strings");
  Py_ssize_t len = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(name, &len);
  if (utf8 == nullptr) {
    // A name with lone surrogates matches no parameter.
    PyErr_Clear();
    raise_with_keyword(sig, "got an unexpected keyword argument", name);
  }
  for (std::size_t i = 0; i < sig.count; ++i) {
    const Param& p = sig.params[i];
    if (std::strlen(p.name) != static_cast<std::size_t>(len) || std::memcmp(p.name, utf8, len) != 0) continue;
    if (p.kind == ParamKind::PositionalOnly) {
      positional_only_named.push_back(p.name);
      return -1;
    }
    if (out[i] != nullptr) raise_with_keyword(sig, "got multiple values for argument", name);
    out[i] = value;
    return static_cast<std::ptrdiff_t>(i);
  }
  raise_with_keyword(sig, "got an unexpected keyword argument", name);
}

void finish(const SignatureView& sig, PyObject** out, const std::vector<const char*>& positional_only_named) {
  if (!positional_only_named.empty()) {
    std::string text = sig.callable;
    text += " got some positional-only arguments passed as keyword arguments: ";
    std::string names;
    for (std::size_t i = 0; i < positional_only_named.size(); ++i) {
      if (i > 0) names += ", ";
      names += "'";
      names += positional_only_named[i];
      names += "'";
    }
    raise_type_error(text + names);
  }
  for (ParamKind group : {ParamKind::PositionalOnly, ParamKind::KeywordOnly}) {
    std::vector<const char*> missing;
    for (std::size_t i = 0; i < sig.count; ++i) {
      const Param& p = sig.params[i];
      bool in_group =
          group == ParamKind::KeywordOnly ? p.kind == ParamKind::KeywordOnly : p.kind != ParamKind::KeywordOnly;
      if (in_group && p.required && out[i] == nullptr) missing.push_back(p.name);
    }
    if (missing.empty()) continue;
    std::string text = sig.callable;
    text += " missing " + std::to_string(missing.size()) + " required " +
            (group == ParamKind::KeywordOnly ? "keyword-only" : "positional") +
            (missing.size() == 1 ? " argument: " : " arguments: ") + join_names(missing);
    raise_type_error(text);
  }
}

void take_positionals(const SignatureView& sig, PyObject* const* args, Py_ssize_t nargs, PyObject** out,
                      PyObject* const** extra, Py_ssize_t* extra_count) {
  std::size_t accepted = positional_capacity(sig);
  if (static_cast<std::size_t>(nargs) > accepted && !sig.varargs) raise_too_many(sig, accepted, nargs);
  std::size_t n = std::min<std::size_t>(accepted, static_cast<std::size_t>(nargs));
  for (std::size_t i = 0; i < n; ++i) out[i] = args[i];
  *extra = nullptr;
  *extra_count = 0;
  if (static_cast<std::size_t>(nargs) > accepted) {
    *extra = args + accepted;
    *extra_count = nargs - static_cast<Py_ssize_t>(accepted);
  }
}

}  // namespace

namespace detail {

void parse_vector(const SignatureView& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** out,
                  PyObject* const** extra, Py_ssize_t* extra_count) {
  for (std::size_t i = 0; i < sig.count; ++i) out[i] = nullptr;
  take_positionals(sig, args, nargs, out, extra, extra_count);
  std::vector<const char*> positional_only_named;
  if (kwnames != nullptr) {
    Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      take_keyword(sig, PyTuple_GET_ITEM(kwnames, k), args[nargs + k], out, positional_only_named);
    }
  }
  finish(sig, out, positional_only_named);
}

void parse_tuple_dict(const SignatureView& sig, PyObject* args, PyObject* kwargs, PyObject** out, PyRef* keep,
                      PyObject* const** extra, Py_ssize_t* extra_count) {
  for (std::size_t i = 0; i < sig.count; ++i) out[i] = nullptr;
  // A tuple is immutable: its items stay borrowed for the call.
  take_positionals(sig, reinterpret_cast<PyTupleObject*>(args)->ob_item, PyTuple_GET_SIZE(args), out, extra,
                   extra_count);
  if (kwargs == nullptr) {
    finish(sig, out, {});
    return;
  }
  // Take strong references to the pairs under the dict's lock, then parse
  // outside it (formatting an error may run Python code).
  std::vector<std::pair<PyRef, PyRef>> items;
  Py_BEGIN_CRITICAL_SECTION(kwargs);
  Py_ssize_t pos = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  items.reserve(static_cast<std::size_t>(PyDict_GET_SIZE(kwargs)));
  while (PyDict_Next(kwargs, &pos, &key, &value)) items.emplace_back(PyRef::borrow(key), PyRef::borrow(value));
  Py_END_CRITICAL_SECTION();
  std::vector<const char*> positional_only_named;
  for (auto& [name, val] : items) {
    std::ptrdiff_t filled = take_keyword(sig, name.get(), val.get(), out, positional_only_named);
    if (filled >= 0) keep[filled] = std::move(val);
  }
  finish(sig, out, positional_only_named);
}

}  // namespace detail

void raise_argument_type(const char* param, PyObject* value, std::string_view wanted) {
  try {
    raise_not_instance(value, wanted);
  } catch (const PythonError&) {
    add_note_to_pending(std::string("while processing '") + param + "'");
    throw;
  }
}

bool arg_bool(const char* param, PyObject* value) {
  if (value == Py_True) return true;
  if (value == Py_False) return false;
  raise_argument_type(param, value, "bool");
}

PyObject* arg_str(const char* param, PyObject* value) {
  if (!PyUnicode_Check(value)) raise_argument_type(param, value, "str");
  return value;
}

}  // namespace tessolin::py

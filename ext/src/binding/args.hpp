// Argument parsing for methods, module functions and tp_new, with this
// module's own TypeError texts (CPython's parsers word them differently).
//
// Declare a signature once, statically:
//
//   constexpr Signature<2> kValidateSig{
//       "Validator.validate()",                       // name used in messages
//       {{{"obj", ParamKind::PositionalOnly, true},
//         {"fail_fast", ParamKind::KeywordOnly, false}}}};
//
// then, in a fastcall-with-keywords body:
//
//   auto a = parse_fastcall(kValidateSig, args, nargs, kwnames);
//   PyObject* obj = a[0];                               // borrowed, non-null
//   bool fail_fast = a[1] ? arg_bool("fail_fast", a[1]) : false;
//
// Parameters are listed positional ones first (PositionalOnly, then
// PositionalOrKeyword), then KeywordOnly. `varargs = true` makes the
// callable accept any number of extra positionals (f(*args)); they come back
// as `extra` / `extra_count`, borrowed from the call.
//
// Checks, in this order, each a TypeError:
//   1. too many positionals:
//      "{callable} takes {n} positional arguments but {m} was|were given"
//   2. each keyword in the order given:
//      unknown name      -> "{callable} got an unexpected keyword argument '{k}'"
//                           (at once)
//      already filled    -> "{callable} got multiple values for argument '{k}'"
//                           (at once)
//      positional-only   -> collected; after the last keyword:
//      "{callable} got some positional-only arguments passed as keyword arguments: 'a', 'b'"
//   3. missing required positionals:
//      "{callable} missing {n} required positional argument[s]: 'a'"
//      ('a' and 'b' / 'a', 'b', and 'c' for several), then likewise
//      "... required keyword-only argument[s]: ..."
//
// Values are borrowed: from the vectorcall array (alive for the call), or,
// for parse_tuple_dict, from the tuple and from strong references that the
// Arguments object keeps.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/ref.hpp"

namespace tessolin::py {

enum class ParamKind : uint8_t { PositionalOnly, PositionalOrKeyword, KeywordOnly };

struct Param {
  const char* name;
  ParamKind kind;
  bool required;
};

template <std::size_t N>
struct Signature {
  const char* callable;  // e.g. "Validator.is_valid()" or "complement()"
  std::array<Param, N> params;
  bool varargs = false;
};

template <std::size_t N>
struct Arguments {
  std::array<PyObject*, N> values{};  // borrowed; nullptr when not given
  PyObject* const* extra = nullptr;   // varargs only
  Py_ssize_t extra_count = 0;
  std::array<PyRef, N> keep{};  // keeps keyword values of a dict alive

  PyObject* operator[](std::size_t i) const noexcept { return values[i]; }
};

namespace detail {

struct SignatureView {
  const char* callable;
  const Param* params;
  std::size_t count;
  bool varargs;
};

// Shared implementation of both entry points; fills out[0..count) and the
// extra span. Throws PythonError.
void parse_vector(const SignatureView& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** out,
                  PyObject* const** extra, Py_ssize_t* extra_count);
void parse_tuple_dict(const SignatureView& sig, PyObject* args, PyObject* kwargs, PyObject** out, PyRef* keep,
                      PyObject* const** extra, Py_ssize_t* extra_count);

template <std::size_t N>
SignatureView view(const Signature<N>& sig) noexcept {
  return {sig.callable, sig.params.data(), N, sig.varargs};
}

}  // namespace detail

// For METH_FASTCALL | METH_KEYWORDS bodies (nargs already stripped of the
// vectorcall flag; the trampolines do that).
template <std::size_t N>
Arguments<N> parse_fastcall(const Signature<N>& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  Arguments<N> out;
  detail::parse_vector(detail::view(sig), args, nargs, kwnames, out.values.data(), &out.extra, &out.extra_count);
  return out;
}

// For tp_new and METH_VARARGS | METH_KEYWORDS bodies (kwargs may be NULL).
template <std::size_t N>
Arguments<N> parse_tuple_dict(const Signature<N>& sig, PyObject* args, PyObject* kwargs) {
  Arguments<N> out;
  detail::parse_tuple_dict(detail::view(sig), args, kwargs, out.values.data(), out.keep.data(), &out.extra,
                           &out.extra_count);
  return out;
}

// Conversions of a parsed value. A value of the wrong type raises
// "'{type}' object is not an instance of '{wanted}'" (for None: "'None' is
// not an instance of '{wanted}'") with the note "while processing '{param}'".
bool arg_bool(const char* param, PyObject* value);      // exactly bool
PyObject* arg_str(const char* param, PyObject* value);  // str or subclass; returns value
// The same error for any other wanted type name.
[[noreturn]] void raise_argument_type(const char* param, PyObject* value, std::string_view wanted);

}  // namespace tessolin::py

#include "errors/violation.hpp"

#include <charconv>

#include "binding/error.hpp"
#include "compat.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::py {

namespace {

void append_number(std::string& out, auto value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  out.append(buf, end);
}

void append_bracketed(std::string& out, const PathSegment& step) {
  out.push_back('[');
  switch (step.kind()) {
    case PathSegment::Kind::Int: append_number(out, step.int_value()); break;
    case PathSegment::Kind::Index: append_number(out, step.index_value()); break;
    case PathSegment::Kind::BigInt: out.append(step.big_int_text()); break;
    case PathSegment::Kind::Key: out.append(step.key_text()); break;
  }
  out.push_back(']');
}

}  // namespace

const Violation& default_violation() noexcept {
  // A constant built at load time: no Python involved, nothing to retry.
  static const Violation kDefault{{}, "a member of the schema's set", "", errors::code::kValidationError};
  return kDefault;
}

void write_violation_line(const Violation& violation, std::string& out) {
  if (!violation.path.empty()) {
    out.append("at ");
    bool first = true;
    for (const PathSegment& step : violation.path) {
      if (step.kind() == PathSegment::Kind::Key) {
        if (!first) out.push_back('.');
        out.append(step.key_text());
      } else {
        append_bracketed(out, step);
      }
      first = false;
    }
    out.append(": ");
  }
  out.append("expected ").append(violation.expected);
  out.append(", got ").append(violation.value);
  out.append(" [").append(violation.code).append("]");
}

std::string validation_error_message(const std::vector<Violation>& violations) {
  std::string out;
  if (violations.size() <= 1) {
    write_violation_line(violations.empty() ? default_violation() : violations.front(), out);
    return out;
  }
  append_number(out, violations.size());
  out.append(" validation errors:");
  for (const Violation& v : violations) {
    out.push_back('\n');
    write_violation_line(v, out);
  }
  return out;
}

PyRef text_to_str(std::string_view text) {
  return PyRef::check(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogatepass"));
}

PyRef path_to_tuple(const std::vector<PathSegment>& path) {
  PyRef tuple = PyRef::check(PyTuple_New(static_cast<Py_ssize_t>(path.size())));
  Py_ssize_t i = 0;
  for (const PathSegment& step : path) {
    PyRef item;
    switch (step.kind()) {
      case PathSegment::Kind::Key: item = text_to_str(step.key_text()); break;
      case PathSegment::Kind::Int: item = PyRef::check(compat::PyLong_FromInt64(step.int_value())); break;
      case PathSegment::Kind::Index: item = PyRef::check(PyLong_FromUnsignedLongLong(step.index_value())); break;
      case PathSegment::Kind::BigInt: {
        PyRef digits = text_to_str(step.big_int_text());
        item = PyRef::check(PyObject_CallOneArg(reinterpret_cast<PyObject*>(&PyLong_Type), digits.get()));
        break;
      }
    }
    PyTuple_SET_ITEM(tuple.get(), i++, item.release());
  }
  return tuple;
}

}  // namespace tessolin::py

#include "compile/annotated/pattern_metadata.hpp"

#include <cstdint>
#include <string>

#include "binding/error.hpp"
#include "compile/annotated/anchored_pattern.hpp"
#include "compile/annotated/pattern_compatibility.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

namespace {

struct RefusedFlag {
  long bit;
  const char* name;
  const char* reason;
};

constexpr RefusedFlag kRefusedFlags[] = {
    {0x100, "re.ASCII", "write the ASCII spellings ([0-9], [A-Za-z0-9_]) instead"},
    {0x4, "re.LOCALE", "a pattern here does not depend on a locale"},
    {0x80, "re.DEBUG", "it asks the other engine to report on itself"},
};

struct InlineFlag {
  long bit;
  char letter;
};

constexpr InlineFlag kInlineFlags[] = {{0x2, 'i'}, {0x8, 'm'}, {0x10, 's'}, {0x40, 'x'}};

// The UTF-8 of a str pattern; false for anything else (lone surrogates too).
bool pattern_text(PyObject* value, std::string& out) {
  if (!PyUnicode_Check(value)) return false;
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value, &size);
  if (data == nullptr) {
    PyErr_Clear();
    return false;
  }
  out.assign(data, static_cast<size_t>(size));
  return true;
}

}  // namespace

void append_pattern_constraint(const MetadataReader& reader, PyObject* pattern_value,
                               std::vector<ir::Constraint>& constraints) {
  std::string source;
  if (!pattern_text(pattern_value, source)) {
    std::string subject =
        PyBytes_Check(pattern_value) ? std::string("a bytes pattern") : "the pattern " + py::safe_repr(pattern_value);
    py::raise(PyExc_NotImplementedError,
              subject + " cannot constrain a schema: a pattern is matched against text, so write the pattern as a str");
  }
  py::PyRef flags_value = reader.read(MetadataAttribute::Flags);
  std::string final_text = source;
  if (flags_value) {
    long flags = PyLong_AsLong(flags_value.get());
    if (flags == -1 && PyErr_Occurred()) {
      PyErr_Clear();
    } else if (flags >= 0 && static_cast<unsigned long>(flags) <= 0xFFFFFFFFUL) {
      for (const RefusedFlag& f : kRefusedFlags) {
        if (flags & f.bit) {
          py::raise(PyExc_NotImplementedError,
                    std::string(f.name) + " cannot be carried into this pattern: " + f.reason);
        }
      }
      std::string letters;
      for (const InlineFlag& f : kInlineFlags) {
        if (flags & f.bit) letters += f.letter;
      }
      if (!letters.empty()) final_text = "(?" + letters + ")" + source;
    }
  }
  scan_divergent_spellings(final_text);
  // The one call site of the engine for a schema being built; the tables
  // compile their own copy on the first check.
  AnchoredPatternResult compiled = compile_anchored_pattern(final_text);
  if (!compiled.pattern) {
    py::raise_value_error("invalid regular expression " + py::quote_text(final_text) + ": " + compiled.error);
  }
  constraints.push_back(ir::Constraint::pattern(std::move(final_text)));
}

}  // namespace tessolin::build

#include "build/annotated/pattern_metadata.hpp"

#include <cstdint>
#include <string>

#include "binding/error.hpp"
#include "build/annotated/anchored_pattern.hpp"
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

// Code points of valid UTF-8 (the text came from a str).
std::u32string code_points(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t c;
        size_t len;
        if (b < 0x80) {
            c = b;
            len = 1;
        } else if (b < 0xE0) {
            c = b & 0x1F;
            len = 2;
        } else if (b < 0xF0) {
            c = b & 0x0F;
            len = 3;
        } else {
            c = b & 0x07;
            len = 4;
        }
        for (size_t k = 1; k < len && i + k < text.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        out.push_back(c);
        i += len;
    }
    return out;
}

[[noreturn]] void class_set_operator_error(const char* name, size_t position, std::string_view text) {
    py::raise_value_error(std::string("possible ") + name + " at position " + std::to_string(position) + " in " +
                          py::quote_text(text) +
                          ": this is a class-set operator here and a literal character to `re`, so the two read the "
                          "pattern as different sets. Escape the characters to mean them literally, or write the "
                          "classes out.");
}

const char* pair_operator(char32_t c) noexcept {
    switch (c) {
        case U'&': return "set intersection";
        case U'-': return "set difference";
        case U'~': return "set symmetric difference";
        default: return nullptr;
    }
}

// The text of a str pattern, or nullopt-like empty result flagged by ok.
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

void scan_class_set_operators(std::string_view text) {
    const std::u32string cp = code_points(text);
    const size_t n = cp.size();
    bool in_class = false;
    size_t content_start = 0;
    size_t i = 0;
    while (i < n) {
        const char32_t c = cp[i];
        if (c == U'\\') {
            i += 2;
            continue;
        }
        if (!in_class) {
            if (c == U'[') {
                size_t j = i + 1;
                if (j < n && cp[j] == U'^') ++j;
                content_start = j;
                if (j < n && cp[j] == U']') ++j;
                in_class = true;
                i = j;
                continue;
            }
            ++i;
            continue;
        }
        if (c == U']') {
            in_class = false;
            ++i;
            continue;
        }
        if (c == U'[') {
            if (i + 1 < n && cp[i + 1] == U':') {
                size_t m = i + 2;
                while (m < n && !(cp[m] == U']' && cp[m - 1] == U':')) ++m;
                if (m >= n) return;
                i = m + 1;
                continue;
            }
            class_set_operator_error("nested set", i, text);
        }
        if (const char* op = pair_operator(c); op != nullptr && i + 1 < n && cp[i + 1] == c) {
            if (i > content_start) class_set_operator_error(op, i, text);
            // The pair opens the members: go on from its second character.
            ++i;
            continue;
        }
        ++i;
    }
}

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
    scan_class_set_operators(final_text);
    // The one call site of the engine for a schema being built; the tables
    // compile their own copy on the first check.
    AnchoredPatternResult compiled = compile_anchored_pattern(final_text);
    if (!compiled.pattern) {
        py::raise_value_error("invalid regular expression " + py::quote_text(final_text) + ": " + compiled.error);
    }
    constraints.push_back(ir::Constraint::pattern(std::move(final_text)));
}

}  // namespace tessolin::build

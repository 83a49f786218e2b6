// Refinements over JSON values. In membership mode each constraint that the
// JSON value settles by itself is read from it: lengths (str in code
// points), exact numeric bounds and divisors, patterns on the UTF-8 text.
// The others (predicates, bounds and divisors of other types, big ints
// where exactness needs Python) convert the value once and run the Python
// test. Collecting walks convert once and use the Python tests throughout,
// so messages are the ones the Python-object walk writes.
#include <optional>
#include <string_view>

#include "compile/annotated/anchored_pattern.hpp"
#include "check/json/json_number_order.hpp"
#include "check/json/json_walks.hpp"
#include "check/json_input.hpp"
#include "check/precompute.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"

namespace tessolin::check {

namespace {

using ir::ConstraintKind;
using json::JsonKind;
using json::JsonValue;

// A number as the walk compares it: a 64-bit int (bool included), a double,
// or an int beyond 64 bits known only by its sign.
struct Number {
    enum class Kind : uint8_t { Int, Double, Big } kind;
    int64_t integer = 0;
    double real = 0.0;
    int sign = 0;
};

std::optional<Number> json_number(const JsonValue& v) noexcept {
    switch (v.kind()) {
        case JsonKind::Bool: return Number{Number::Kind::Int, v.as_bool() ? 1 : 0};
        case JsonKind::Int: return Number{Number::Kind::Int, v.as_int()};
        case JsonKind::Float: return Number{Number::Kind::Double, 0, v.as_float()};
        case JsonKind::BigInt: return Number{Number::Kind::Big, 0, 0.0, v.big_int_text().front() == '-' ? -1 : 1};
        default: return std::nullopt;
    }
}

// An exact int, bool or float constant as a Number; nothing for any other
// type (its comparisons are Python's business).
std::optional<Number> constant_number(PyObject* c) noexcept {
    if (PyBool_Check(c)) return Number{Number::Kind::Int, c == Py_True ? 1 : 0};
    if (PyLong_CheckExact(c)) {
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(c, &overflow);
        if (overflow != 0) return Number{Number::Kind::Big, 0, 0.0, overflow};
        if (v == -1 && PyErr_Occurred()) {
            PyErr_Clear();
            return std::nullopt;
        }
        return Number{Number::Kind::Int, static_cast<int64_t>(v)};
    }
    if (PyFloat_CheckExact(c)) return Number{Number::Kind::Double, 0, PyFloat_AS_DOUBLE(c)};
    return std::nullopt;
}

// The order of a against b, or nothing when exactness needs Python.
std::optional<int> order_numbers(const Number& a, const Number& b) noexcept {
    using K = Number::Kind;
    if (a.kind == K::Int) {
        if (b.kind == K::Int) return order_ints(a.integer, b.integer);
        if (b.kind == K::Double) return order_int_double(a.integer, b.real);
        return -b.sign;  // b lies beyond 64 bits
    }
    if (a.kind == K::Double) {
        if (b.kind == K::Int) return order_double_int(a.real, b.integer);
        if (b.kind == K::Double) return order_doubles(a.real, b.real);
        return std::nullopt;
    }
    if (b.kind == K::Int) return a.sign;
    return std::nullopt;
}

bool order_passes(ConstraintKind kind, int order) noexcept {
    if (order == kUnordered) return false;
    switch (kind) {
        case ConstraintKind::Ge: return order >= 0;
        case ConstraintKind::Gt: return order > 0;
        case ConstraintKind::Le: return order <= 0;
        default: return order < 0;
    }
}

std::optional<bool> read_bound(ConstraintKind kind, const JsonValue& v, PyObject* bound) {
    if (PyUnicode_CheckExact(bound)) {
        if (v.kind() != JsonKind::String) return std::nullopt;
        Py_ssize_t size = 0;
        const char* data = PyUnicode_AsUTF8AndSize(bound, &size);
        if (data == nullptr) {
            PyErr_Clear();
            return std::nullopt;
        }
        // UTF-8 byte order is code point order, which is how str compares.
        const int c = v.as_string().compare(std::string_view(data, static_cast<size_t>(size)));
        return order_passes(kind, c < 0 ? -1 : (c > 0 ? 1 : 0));
    }
    const std::optional<Number> b = constant_number(bound);
    if (!b) return std::nullopt;
    const std::optional<Number> a = json_number(v);
    // Ordering None, a str, a list or a dict against a number raises.
    if (!a) return false;
    const std::optional<int> order = order_numbers(*a, *b);
    if (!order) return std::nullopt;
    return order_passes(kind, *order);
}

std::optional<bool> read_multiple_of(const JsonValue& v, PyObject* divisor) {
    const std::optional<Number> d = constant_number(divisor);
    const std::optional<Number> a = json_number(v);
    if (!d || !a) return std::nullopt;
    using K = Number::Kind;
    if (a->kind == K::Int && d->kind == K::Int) return int_multiple_of(a->integer, d->integer);
    // |a| is below |d|, so the remainder is a itself or a + d.
    if (a->kind == K::Int && d->kind == K::Big) return a->integer == 0;
    if (a->kind == K::Big || d->kind == K::Big) return std::nullopt;
    const double x = a->kind == K::Int ? static_cast<double>(a->integer) : a->real;
    const double y = d->kind == K::Int ? static_cast<double>(d->integer) : d->real;
    return double_multiple_of(x, y);
}

uint64_t code_points(std::string_view utf8, bool ascii) noexcept {
    if (ascii) return utf8.size();
    uint64_t n = 0;
    for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::optional<bool> read_length(ConstraintKind kind, uint64_t count, const JsonValue& v) noexcept {
    uint64_t length = 0;
    switch (v.kind()) {
        case JsonKind::String: length = code_points(v.as_string(), v.is_ascii()); break;
        case JsonKind::Array:
        case JsonKind::Object: length = v.size(); break;
        default: return false;  // len() of a number, bool or None raises
    }
    return kind == ConstraintKind::MinLen ? length >= count : length <= count;
}

bool read_pattern(std::string_view source, const JsonValue& v, const WalkShared& shared) {
    if (v.kind() != JsonKind::String) return false;
    if (const build::AnchoredPattern* compiled = shared.tables ? shared.tables->find_pattern(source) : nullptr) {
        return compiled->full_match(v.as_string());
    }
    build::AnchoredPatternResult own = build::compile_anchored_pattern(source);
    return own.pattern != nullptr && own.pattern->full_match(v.as_string());
}

// The constraint's answer read from the JSON value, or nothing when the
// Python object must be asked.
std::optional<bool> read_constraint(const ir::Constraint& c, const JsonValue& v, const WalkShared& shared) {
    switch (c.kind()) {
        case ConstraintKind::Ge:
        case ConstraintKind::Gt:
        case ConstraintKind::Le:
        case ConstraintKind::Lt: {
            PyObject* bound = shared.pool.at(c.word());
            if (bound == nullptr) return false;
            return read_bound(c.kind(), v, bound);
        }
        case ConstraintKind::MinLen:
        case ConstraintKind::MaxLen: return read_length(c.kind(), c.word(), v);
        case ConstraintKind::MultipleOf: {
            PyObject* divisor = shared.pool.at(c.word());
            if (divisor == nullptr) return false;
            return read_multiple_of(v, divisor);
        }
        case ConstraintKind::Predicate: return std::nullopt;
        case ConstraintKind::Pattern: return read_pattern(c.pattern_text(), v, shared);
    }
    return std::nullopt;
}

}  // namespace

bool walk_json_refinement(const ir::SchemaNode& base, const ir::ConstraintList& constraints, WalkInput input,
                          const WalkContext& ctx) {
    if (!walk_node(base, input, ctx)) return false;
    const WalkShared& shared = *ctx.shared;
    const bool membership = ctx.mode == WalkMode::Membership;
    py::PyRef converted;  // made at most once, on the first constraint that needs it
    bool all = true;
    for (const ir::Constraint& c : constraints) {
        bool passed;
        std::optional<bool> read = membership ? read_constraint(c, *input.json_value(), shared) : std::nullopt;
        if (read) {
            passed = *read;
        } else {
            if (!converted) {
                converted = json_input_to_object(input);
                if (!converted) {
                    PyErr_Clear();
                    return false;
                }
            }
            passed = check_refinement_constraint(c, converted.get(), ctx);
        }
        if (passed) continue;
        all = false;
        if (shared.aborted() || ctx.mode != WalkMode::CollectAll) return false;
    }
    return all;
}

}  // namespace tessolin::check

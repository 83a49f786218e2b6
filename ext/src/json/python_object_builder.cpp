#include "json/python_object_builder.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "binding/error.hpp"
#include "errors/failures.hpp"
#include "json/json_big_integer.hpp"
#include "json/json_parser.hpp"
#include "json/short_string_cache.hpp"

namespace tessolin::py {

namespace {

// A new dict of the `count` key/value pairs laid out key, value, key, ...
// (borrowed), inserted in order; nullptr with the exception set.
PyObject* new_dict_from_pairs(PyObject* const* pairs, std::size_t count) {
    PyObject* dict = PyDict_New();
    if (dict == nullptr) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (PyDict_SetItem(dict, pairs[2 * i], pairs[2 * i + 1]) < 0) {
            Py_DECREF(dict);
            return nullptr;
        }
    }
    return dict;
}

// Strong references waiting for their container. The first kInline live
// on the builder itself, so a small document allocates nothing here.
class ValueStack {
 public:
    ValueStack() noexcept = default;
    ~ValueStack() {
        for (std::size_t i = 0; i < size_; ++i) Py_DECREF(data_[i]);
    }
    ValueStack(const ValueStack&) = delete;
    ValueStack& operator=(const ValueStack&) = delete;

    std::size_t size() const noexcept { return size_; }
    PyObject** top(std::size_t count) noexcept { return data_ + (size_ - count); }
    void push(PyObject* obj) {
        if (size_ == capacity_) grow();
        data_[size_++] = obj;
    }
    // Forgets the top `count` entries (their references went elsewhere).
    void drop(std::size_t count) noexcept { size_ -= count; }

 private:
    static constexpr std::size_t kInline = 128;

    void grow() {
        heap_.resize(capacity_ * 2);
        if (data_ == inline_) std::copy(inline_, inline_ + size_, heap_.begin());
        data_ = heap_.data();
        capacity_ = heap_.size();
    }

    PyObject* inline_[kInline];
    std::vector<PyObject*> heap_;
    PyObject** data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = kInline;
};

// Values wait on one stack until their container ends; the container then
// takes them over in one step with its exact size. Keys wait on the same
// stack, each just below its value. A callback that fails leaves a Python
// exception pending and returns false, which stops the parse.
class PythonObjectBuilder {
 public:
    bool begin_array() noexcept { return true; }
    bool begin_object() noexcept { return true; }

    bool end_array(std::size_t count) {
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(count));
        if (list == nullptr) return false;
        PyObject** items = stack_.top(count);
        for (std::size_t i = 0; i < count; ++i) PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), items[i]);
        stack_.drop(count);
        stack_.push(list);
        return true;
    }

    // Members go in document order, so a repeated key keeps its last value.
    bool end_object(std::size_t count) {
        PyObject** pairs = stack_.top(2 * count);
        PyObject* dict = new_dict_from_pairs(pairs, count);
        if (dict == nullptr) return false;  // the pairs stay on the stack and are released with it
        for (std::size_t i = 0; i < 2 * count; ++i) Py_DECREF(pairs[i]);
        stack_.drop(2 * count);
        stack_.push(dict);
        return true;
    }

    bool key(const json::JsonString& text) { return push(json_key_to_str(text.utf8, text.ascii)); }
    bool string(const json::JsonString& text) { return push(json_text_to_str(text.utf8, text.ascii)); }
    bool integer(std::int64_t value) { return push(PyLong_FromLongLong(static_cast<long long>(value))); }
    bool big_integer(std::string_view text) { return push(big_integer_to_int(text)); }
    bool float64(double value) { return push(PyFloat_FromDouble(value)); }
    bool boolean(bool value) { return push(Py_NewRef(value ? Py_True : Py_False)); }
    bool null() { return push(Py_NewRef(Py_None)); }

    // The document's value, once the parse succeeded.
    PyRef take_result() noexcept {
        if (stack_.size() != 1) return {};
        PyObject* obj = *stack_.top(1);
        stack_.drop(1);
        return PyRef::steal(obj);
    }

 private:
    bool push(PyObject* obj) {
        if (obj == nullptr) return false;
        stack_.push(obj);
        return true;
    }

    ValueStack stack_;
};

static_assert(json::JsonBuilder<PythonObjectBuilder>);

}  // namespace

std::optional<json::JsonError> parse_json_objects(std::string_view text, PyRef& out) {
    PythonObjectBuilder builder;
    std::optional<json::JsonError> error = json::parse_json(text, builder);
    if (error) {
        if (error->code != json::JsonErrorCode::StoppedByBuilder) return error;
        if (PyErr_Occurred()) throw PythonError{};
        throw InternalError("the JSON parse stopped without a reason");
    }
    out = builder.take_result();
    if (!out) throw InternalError("the JSON parse left no single value");
    return std::nullopt;
}

PyRef parse_json_to_object(std::string_view text) {
    PyRef result;
    if (std::optional<json::JsonError> error = parse_json_objects(text, result)) {
        restore_error(json_invalid_error(error->text()));
        throw PythonError{};
    }
    return result;
}

}  // namespace tessolin::py

// The builder of Python objects from parse events: dicts, lists, str, int,
// float, bool and None. The parser's object mode uses it through the
// JsonBuilder events; load's one-pass check (check/json/one_pass_check.hpp)
// uses it as its sink, adding declared keys as the schema's interned names,
// scalars read ahead of their check, and marks to drop what a failed
// alternative made.
#pragma once

#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "binding/ref.hpp"
#include "json/json_big_integer.hpp"
#include "json/json_cursor.hpp"
#include "json/json_value.hpp"
#include "json/short_string_cache.hpp"

namespace tessolin::py {

// Strong references waiting for their container. The first kInline live
// on the builder itself, so a small document allocates nothing here.
class ValueStack {
 public:
  ValueStack() noexcept = default;
  ~ValueStack() { drop_to(0); }
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
  // Releases the entries above `size`.
  void drop_to(std::size_t size) noexcept {
    while (size_ > size) Py_DECREF(data_[--size_]);
  }

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
  static constexpr bool kMakesValues = true;
  std::size_t last_array_count = 0;

  bool begin_array() noexcept { return true; }
  bool begin_object() noexcept { return true; }

  bool end_array(std::size_t count) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(count));
    if (list == nullptr) return false;
    PyObject** items = stack_.top(count);
    for (std::size_t i = 0; i < count; ++i) PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), items[i]);
    stack_.drop(count);
    stack_.push(list);
    last_array_count = count;
    return true;
  }

  // Members go in document order, so a repeated key keeps its last value.
  bool end_object(std::size_t count) {
    PyObject** pairs = stack_.top(2 * count);
    PyObject* dict = PyDict_New();
    if (dict == nullptr) return false;
    for (std::size_t i = 0; i < count; ++i) {
      if (PyDict_SetItem(dict, pairs[2 * i], pairs[2 * i + 1]) < 0) {
        Py_DECREF(dict);
        return false;  // the pairs stay on the stack and are released with it
      }
    }
    stack_.drop_to(stack_.size() - 2 * count);
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

  // A declared key: the schema's interned name when there is one.
  bool known_key(PyObject* name, const json::JsonString& text) {
    return name != nullptr ? push(Py_NewRef(name)) : key(text);
  }

  [[gnu::always_inline]] bool scalar(const json::JsonValue& v) {
    using json::JsonKind;
    switch (v.kind()) {
      case JsonKind::Null: return null();
      case JsonKind::Bool: return boolean(v.as_bool());
      case JsonKind::Int: return integer(v.as_int());
      case JsonKind::BigInt: return big_integer(v.big_int_text());
      case JsonKind::Float: return float64(v.as_float());
      case JsonKind::String: return push(json_text_to_str(v.as_string(), v.is_ascii()));
      default: return false;
    }
  }

  std::size_t mark() const noexcept { return stack_.size(); }
  void rollback(std::size_t mark) noexcept { stack_.drop_to(mark); }

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

}  // namespace tessolin::py

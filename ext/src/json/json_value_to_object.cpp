#include "json/json_value_to_object.hpp"

#include "json/json_big_integer.hpp"
#include "json/short_string_cache.hpp"

namespace tessolin::py {

PyRef json_value_to_object(const json::JsonValue& value) noexcept {
  using json::JsonKind;
  switch (value.kind()) {
    case JsonKind::Null: return PyRef::borrow(Py_None);
    case JsonKind::Bool: return PyRef::borrow(value.as_bool() ? Py_True : Py_False);
    case JsonKind::Int: return PyRef::steal(PyLong_FromLongLong(static_cast<long long>(value.as_int())));
    case JsonKind::BigInt: return PyRef::steal(big_integer_to_int(value.big_int_text()));
    case JsonKind::Float: return PyRef::steal(PyFloat_FromDouble(value.as_float()));
    case JsonKind::String: return PyRef::steal(json_text_to_str(value.as_string(), value.is_ascii()));
    case JsonKind::Array: {
      auto items = value.items();
      PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
      if (!list) return {};
      for (std::size_t i = 0; i < items.size(); ++i) {
        PyRef item = json_value_to_object(items[i]);
        if (!item) return {};
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item.release());
      }
      return list;
    }
    case JsonKind::Object: {
      PyRef dict = PyRef::steal(PyDict_New());
      if (!dict) return {};
      // Keys are already distinct, each with its last value.
      for (const json::JsonMember& member : value.members()) {
        PyRef item = json_value_to_object(member.value);
        if (!item) return {};
        PyRef key = PyRef::steal(json_key_to_str(member.key.as_string(), member.key.is_ascii()));
        if (!key || PyDict_SetItem(dict.get(), key.get(), item.get()) < 0) return {};
      }
      return dict;
    }
  }
  PyErr_SetString(PyExc_SystemError, "unknown JSON value kind");
  return {};
}

}  // namespace tessolin::py

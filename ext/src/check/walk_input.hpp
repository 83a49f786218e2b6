// What one step of the walk checks: a borrowed Python object or a borrowed
// parsed JSON value. Two words, passed by value; the walk never owns it.
#pragma once

#include <Python.h>

#include <cstdint>

namespace tessolin::json {
class JsonValue;
}

namespace tessolin::check {

class WalkInput {
 public:
  enum class Kind : uint8_t { Object = 0, Json = 1 };

  static WalkInput object(PyObject* obj) noexcept { return WalkInput(Kind::Object, obj); }
  static WalkInput json(const json::JsonValue* value) noexcept { return WalkInput(Kind::Json, value); }

  Kind kind() const noexcept { return kind_; }
  bool is_object() const noexcept { return kind_ == Kind::Object; }
  bool is_json() const noexcept { return kind_ == Kind::Json; }
  // Only for an Object input.
  PyObject* py() const noexcept { return static_cast<PyObject*>(const_cast<void*>(pointer_)); }
  // Only for a Json input.
  const json::JsonValue* json_value() const noexcept { return static_cast<const json::JsonValue*>(pointer_); }
  // The address the recursion guard compares.
  uint64_t identity() const noexcept { return reinterpret_cast<uintptr_t>(pointer_); }

 private:
  WalkInput(Kind kind, const void* pointer) noexcept : pointer_(pointer), kind_(kind) {}
  const void* pointer_;
  Kind kind_;
};

}  // namespace tessolin::check

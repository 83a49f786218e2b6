// Reading the constraint attributes of an Annotated metadata object, by the
// attribute names of the annotated-types package (never imported).
#pragma once

#include <Python.h>

#include <cstdint>

#include "binding/ref.hpp"

namespace tessolin::build {

// Attribute numbers: the bit of each in an attribute mask.
enum class MetadataAttribute : uint8_t {
  Pattern = 0,
  Flags = 1,
  Ge = 2,
  Gt = 3,
  Le = 4,
  Lt = 5,
  MinLength = 6,
  MaxLength = 7,
  MultipleOf = 8,
  Func = 9,
};

inline constexpr uint16_t kMaskHasGetattr = 0x4000;
inline constexpr uint16_t kMaskHasInstanceDict = 0x8000;

const char* attribute_name(MetadataAttribute k) noexcept;

// How one metadata object is read: its type's mask and its instance dict.
struct MetadataReader {
  PyObject* item;           // borrowed
  py::PyRef instance_dict;  // a dict or subclass, or empty
  uint16_t mask = 0;

  // Throws PythonError on a look-up failure (cache store included).
  explicit MetadataReader(PyObject* item);

  // The attribute's object, or an empty PyRef when absent. Throws
  // PythonError when the look-up raises (other than a missing attribute).
  py::PyRef read(MetadataAttribute k) const;
};

}  // namespace tessolin::build

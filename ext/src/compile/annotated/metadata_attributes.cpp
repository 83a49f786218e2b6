#include "compile/annotated/metadata_attributes.hpp"

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "handles/typing_handles.hpp"
#include "limits/limits.hpp"

namespace tessolin::build {

namespace {

constinit py::InternedName kNames[10] = {py::InternedName{"pattern"},     py::InternedName{"flags"},
                                         py::InternedName{"ge"},          py::InternedName{"gt"},
                                         py::InternedName{"le"},          py::InternedName{"lt"},
                                         py::InternedName{"min_length"},  py::InternedName{"max_length"},
                                         py::InternedName{"multiple_of"}, py::InternedName{"func"}};
constinit py::InternedName kGetattrName{"__getattr__"};
constinit py::InternedName kDictName{"__dict__"};

// The cache never grows past 256 types.
constexpr Py_ssize_t kMaskCacheLimit = limits::kMetadataTypeCacheSize;

bool has_attribute(PyObject* obj, PyObject* name) {
  PyObject* found = nullptr;
  int rc = py::check(PyObject_GetOptionalAttr(obj, name, &found));
  Py_XDECREF(found);
  return rc == 1;
}

// The item's __dict__ when it is a dict (or subclass); empty otherwise.
py::PyRef instance_dict_of(PyObject* item) {
  PyObject* found = nullptr;
  py::check(PyObject_GetOptionalAttr(item, kDictName.get(), &found));
  py::PyRef dict = py::PyRef::steal(found);
  if (dict && !PyDict_Check(dict.get())) dict.reset();
  return dict;
}

uint16_t compute_mask(PyObject* item) {
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(item));
  uint16_t mask = 0;
  for (int k = 0; k < 10; ++k) {
    if (has_attribute(type, kNames[k].get())) mask |= static_cast<uint16_t>(1u << k);
  }
  if (has_attribute(type, kGetattrName.get())) mask |= kMaskHasGetattr;
  if (instance_dict_of(item)) mask |= kMaskHasInstanceDict;
  return mask;
}

uint16_t attribute_mask(PyObject* item) {
  PyObject* cache = py::attribute_mask_cache();
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(item));
  PyObject* hit = nullptr;
  if (py::check(PyDict_GetItemRef(cache, type, &hit)) == 1) {
    py::PyRef stored = py::PyRef::steal(hit);
    long v = PyLong_AsLong(stored.get());
    if (!(v == -1 && PyErr_Occurred())) return static_cast<uint16_t>(v & 0xFFFF);
    PyErr_Clear();
  }
  uint16_t mask = compute_mask(item);
  if (PyDict_Size(cache) <= kMaskCacheLimit) {
    py::PyRef value = py::PyRef::check(PyLong_FromLong(mask));
    py::check(PyDict_SetItem(cache, type, value.get()));
  }
  return mask;
}

}  // namespace

const char* attribute_name(MetadataAttribute k) noexcept { return kNames[static_cast<int>(k)].text(); }

MetadataReader::MetadataReader(PyObject* item_) : item(item_), mask(attribute_mask(item_)) {
  if (mask & kMaskHasInstanceDict) instance_dict = instance_dict_of(item);
}

py::PyRef MetadataReader::read(MetadataAttribute k) const {
  PyObject* name = kNames[static_cast<int>(k)].get();
  const uint16_t bit = static_cast<uint16_t>(1u << static_cast<int>(k));
  PyObject* found = nullptr;
  if ((mask & bit) || (mask & kMaskHasGetattr)) {
    py::check(PyObject_GetOptionalAttr(item, name, &found));
    return py::PyRef::steal(found);
  }
  if (instance_dict) {
    py::check(PyDict_GetItemRef(instance_dict.get(), name, &found));
    return py::PyRef::steal(found);
  }
  return {};
}

}  // namespace tessolin::build

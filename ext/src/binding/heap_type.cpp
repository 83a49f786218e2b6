#include "binding/heap_type.hpp"

namespace tessolin::py {

PyRef create_heap_type(PyType_Spec* spec, PyObject* module, PyObject* bases) {
  return PyRef::check(PyType_FromMetaclass(nullptr, module, spec, bases));
}

}  // namespace tessolin::py

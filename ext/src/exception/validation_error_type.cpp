#include "exception/validation_error_type.hpp"

#include "binding/error.hpp"
#include "binding/once_cell.hpp"
#include "binding/ref.hpp"

namespace tessolin::py {

namespace {

PyRef make_validation_error_type() {
  PyObject* type = PyErr_NewExceptionWithDoc(
      "tessolin.ValidationError", "Raised when a value is not a member of a schema's set.", PyExc_Exception, nullptr);
  if (type == nullptr) {
    PyErr_Clear();
    throw InternalError("Failed to initialize new exception type.");
  }
  return PyRef::steal(type);
}

}  // namespace

PyObject* validation_error_type() {
  static constinit OnceCell<PyRef> cell;
  return cell.get(make_validation_error_type).get();
}

}  // namespace tessolin::py

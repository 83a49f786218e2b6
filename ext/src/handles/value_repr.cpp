#include "handles/value_repr.hpp"

#include <utility>

#include "binding/error.hpp"
#include "binding/once_cell.hpp"
#include "binding/ref.hpp"

namespace tessolin::py {

namespace {

constexpr std::pair<const char*, int> kSettings[] = {
    {"maxlevel", 12},     {"maxtuple", 32}, {"maxlist", 32},   {"maxarray", 32}, {"maxdict", 32},  {"maxset", 32},
    {"maxfrozenset", 32}, {"maxdeque", 32}, {"maxstring", 80}, {"maxlong", 80},  {"maxother", 80},
};

PyRef build_value_repr() {
  PyRef reprlib = PyRef::check(PyImport_ImportModule("reprlib"));
  PyRef repr_class = PyRef::check(PyObject_GetAttrString(reprlib.get(), "Repr"));
  PyRef repr = PyRef::check(PyObject_CallNoArgs(repr_class.get()));
  for (const auto& [name, value] : kSettings) {
    PyRef number = PyRef::check(PyLong_FromLong(value));
    check(PyObject_SetAttrString(repr.get(), name, number.get()));
  }
  return repr;
}

}  // namespace

PyObject* value_repr() {
  static constinit OnceCell<PyRef> cell;
  return cell.get(build_value_repr).get();
}

}  // namespace tessolin::py

// The Validator class's method table and operator slots, contributed by the
// files that implement them. The type concatenates the tables in this order
// (the documented order of the class's methods):
//   check_methods()    validate, is_valid, ensure, validate_json, load,
//                      is_valid_json                  (validation walk)
//   relation_methods() is_empty, is_subtype_of, relation_to, is_equivalent
//   copy_methods()     __reduce__, __copy__, __deepcopy__ (validator/)
//   rewrite_methods()  open, close, simplify          (combinators)
// Each returns its entries without the null sentinel; an entry's ml_meth is
// a binding trampoline (binding/trampoline.hpp). Tables must be static
// arrays: the type keeps pointers to them for the life of the process.
#pragma once

#include <Python.h>

#include <span>

namespace tessolin::py {

std::span<const PyMethodDef> check_methods();
std::span<const PyMethodDef> relation_methods();
std::span<const PyMethodDef> copy_methods();
std::span<const PyMethodDef> rewrite_methods();

// sq_contains (`obj in validator`), e.g. slot_contains<&body>.
int validator_contains(PyObject* self, PyObject* item) noexcept;
// nb_or (`validator | other` and `other | validator`), e.g. slot_binary<&body>.
PyObject* validator_or(PyObject* left, PyObject* right) noexcept;

}  // namespace tessolin::py

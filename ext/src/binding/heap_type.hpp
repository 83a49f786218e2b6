// Heap types from type specs, and instances that carry a C++ payload.
//
// Layout of an instance: Instance<T> = { PyObject header; T value; }.
// Use sizeof(Instance<T>) as PyType_Spec.basicsize. Weak references, when a
// type wants them, use Py_TPFLAGS_MANAGED_WEAKREF (no member needed).
//
//   PyType_Slot slots[] = {
//       type_slot(Py_tp_dealloc, &dealloc_instance<FailuresData>),
//       {Py_tp_doc, const_cast<char*>(kDoc)},
//       {0, nullptr}};
//   PyType_Spec spec = {"tessolin.Failures", sizeof(Instance<FailuresData>), 0,
//                       Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, slots};
//   PyRef type = create_heap_type(&spec);
//   PyRef obj = new_instance(type_ptr, FailuresData{...});   // moves the payload in
//   FailuresData& data = payload<FailuresData>(obj.get());
//
// A GC type (Py_TPFLAGS_HAVE_GC) must also install a traverse through
// slot_traverse<> (binding/trampoline.hpp), which visits the type object.
#pragma once

#include <Python.h>

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

#include "binding/error.hpp"
#include "binding/ref.hpp"

namespace tessolin::py {

template <class T>
struct Instance {
  PyObject ob_base;
  T value;
};

template <class T>
T& payload(PyObject* self) noexcept {
  return reinterpret_cast<Instance<T>*>(self)->value;
}

// Creates a heap type; `module` (may be null) becomes the type's defining
// module, `bases` (may be null: object) its bases. Throws PythonError.
PyRef create_heap_type(PyType_Spec* spec, PyObject* module = nullptr, PyObject* bases = nullptr);

// Allocates an instance of `type` (through its tp_alloc, as object.__new__
// would) and moves `value` into it. Throws PythonError if allocation fails;
// `value` is then left as it was.
template <class T>
PyRef new_instance(PyTypeObject* type, T&& value) {
  static_assert(std::is_nothrow_move_constructible_v<std::remove_cvref_t<T>>,
                "a payload must be nothrow move constructible");
  using U = std::remove_cvref_t<T>;
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  if (alloc == nullptr) alloc = PyType_GenericAlloc;
  PyObject* obj = alloc(type, 0);
  if (obj == nullptr) throw PythonError{};
  ::new (static_cast<void*>(&reinterpret_cast<Instance<U>*>(obj)->value)) U(std::move(value));
  return PyRef::steal(obj);
}

// Py_tp_dealloc for Instance<T>: untracks a GC object, clears weak
// references, destroys the payload, frees the memory and drops the
// reference the instance held on its heap type.
template <class T>
void dealloc_instance(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  if (PyType_HasFeature(type, Py_TPFLAGS_HAVE_GC)) PyObject_GC_UnTrack(self);
  if (PyType_HasFeature(type, Py_TPFLAGS_MANAGED_WEAKREF)) PyObject_ClearWeakRefs(self);
  payload<T>(self).~T();
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_fn(self);
  Py_DECREF(type);
}

}  // namespace tessolin::py

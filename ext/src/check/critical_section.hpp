// Scoped per-object critical section: a real lock on free-threaded builds,
// nothing where the interpreter lock already serialises access.
#pragma once

#include <Python.h>

namespace tessolin::check {

class CriticalSection {
 public:
  explicit CriticalSection(PyObject* obj) noexcept {
#ifdef Py_GIL_DISABLED
    PyCriticalSection_Begin(&section_, obj);
#else
    (void)obj;
#endif
  }
  ~CriticalSection() { leave(); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // Ends the section early; the destructor then does nothing.
  void leave() noexcept {
    if (held_) {
      held_ = false;
#ifdef Py_GIL_DISABLED
      PyCriticalSection_End(&section_);
#endif
    }
  }

 private:
#ifdef Py_GIL_DISABLED
  PyCriticalSection section_;
#endif
  bool held_ = true;
};

}  // namespace tessolin::check

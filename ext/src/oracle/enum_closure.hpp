// Whether an enum class is the closed set of the members its iteration
// yields. The decisions may list such a class (Literal[E.A, E.B] is then
// all of E); any other class is an open set of its instances.
//
// Python promises no closed world: a metaclass `__call__` or `__getitem__`,
// a `__new__` replaced after the class was made, a `_missing_`, a `Flag`'s
// combinations, or a write into the class's private member maps all make or
// hide instances that iteration never yields. An enum is listed only when
// none of these can be at work, judged from the classes' own dicts, so that
// no attribute hook of the user's runs while judging.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "binding/ref.hpp"

namespace tessolin::oracle {

// The members of enum class `cls` in iteration order, each held, when the
// class is closed and has 1..max_members of them; nullopt otherwise (not an
// enum, open, or too large). Throws PythonError when a Python call fails.
std::optional<std::vector<py::PyRef>> closed_enum_members(PyObject* cls, std::size_t max_members);

}  // namespace tessolin::oracle

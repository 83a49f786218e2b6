// The state every compile of one build writes into.
#pragma once

#include <Python.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "binding/ref.hpp"
#include "compile/constants_pool.hpp"
#include "ir/node.hpp"

namespace tessolin::build {

// Results already compiled in this build, by annotation identity. Only
// results that cannot depend on where they are compiled are stored (see
// compile_annotation.cpp); each entry keeps its annotation alive so that its
// address cannot be reused while the build runs.
struct CompileMemo {
  struct Entry {
    py::PyRef annotation;
    ir::SchemaNode node;
    uint32_t height = 0;  // nesting levels the compile used below its own call
  };
  using Entries = std::unordered_map<const PyObject*, Entry>;
  Entries entries;
  // Validators embedded in this build, by identity: embedding one again
  // reuses its node (its pool indices and definition offset are the same
  // within one build), so a validator used many times costs one import.
  Entries validators;
  // Type aliases compiled in this build, by identity: a recursive alias is
  // one definition however often it is named (see type_alias.cpp).
  Entries aliases;
  // compile_annotation calls that ran (hits excluded), each finished one
  // counted as the size of what it built when smaller; against the work
  // bound of a build (compile_annotation.cpp).
  uint64_t calls = 0;
};

// The pool and definition list are owned by whoever started the build;
// several operands compiled in turn share both. The memo belongs to the
// context: make one context per build and pass it by reference.
struct CompileContext {
  ConstantsPool& pool;
  std::vector<ir::SchemaNode>& definitions;
  CompileMemo memo{};
};

}  // namespace tessolin::build

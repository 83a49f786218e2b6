// Running one check over a validator: the tables made sure of, a fresh
// context, the walk over the root, and what came out of it.
#pragma once

#include <Python.h>

#include <vector>

#include "binding/ref.hpp"
#include "check/first_fatal.hpp"
#include "check/precompute.hpp"
#include "check/walk_input.hpp"
#include "check/walk_mode.hpp"
#include "errors/violation.hpp"
#include "ir/node.hpp"

namespace tessolin::py {
struct ValidatorData;
}

namespace tessolin::check {

struct WalkOutcome {
  bool member = false;
  py::PyRef fatal;                        // the first fatal exception, if any
  std::vector<py::Violation> violations;  // in the order found (collecting modes)
};

// The validator's tables, built by the first check that asks (concurrent
// first callers wait for the one that builds).
const Precompute& ensure_precompute(py::ValidatorData& data);

// One walk of the validator's root over `input` in `mode`.
WalkOutcome run_walk(py::ValidatorData& data, WalkInput input, WalkMode mode);

// Sets the outcome's result as the pending Python exception: the fatal
// exception when there is one, else the ValidationError of the violations.
// Only for a non-member or a fatal one. Throws PythonError only when the
// error cannot be made. Entry points then return NULL: a C++ throw costs
// more than the rest of a failed check together.
void set_walk_failure(WalkOutcome&& outcome);

// set_walk_failure, then throws PythonError.
[[noreturn]] void raise_walk_failure(WalkOutcome&& outcome);

// Membership of one Python object in `node` of the schema given by `pool`
// and `definitions`, with empty tables. Never fails: a fatal exception met
// on the way is kept in `fatal` and the aborted walk's answer returned.
bool is_member(std::span<const py::PyRef> pool, ir::DefinitionsView definitions, const ir::SchemaNode& node,
               PyObject* obj, FirstFatal& fatal) noexcept;

}  // namespace tessolin::check

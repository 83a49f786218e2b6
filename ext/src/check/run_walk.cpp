#include "check/run_walk.hpp"

#include "binding/error.hpp"
#include "check/walk_context.hpp"
#include "check/walk_node.hpp"
#include "errors/failures.hpp"
#include "validator/validator_data.hpp"

namespace tessolin::check {

const Precompute& ensure_precompute(py::ValidatorData& data) {
  return data.precompute.get([&data] {
    return py::PrecomputeHandle(build_precompute(data.pool_objects, data.definitions, data.root).release());
  });
}

namespace {

// The Membership walk of a collecting check, stopped before any user code
// (user_code.hpp): true when it found a member.
bool probe_finds_member(py::ValidatorData& data, const Precompute& tables, WalkInput input) {
  WalkState probe(PoolView(data.pool_objects), data.definitions, &tables);
  probe.abort = kProbeBit;
  const bool member = walk_node(data.root, input, probe.context(WalkMode::Membership));
  // A fatal exception met on the way is met again by the recording walk.
  probe.take_fatal();
  return member && (probe.abort & kGaveUpBit) == 0;
}

}  // namespace

WalkOutcome run_walk(py::ValidatorData& data, WalkInput input, WalkMode mode) {
  const Precompute& tables = ensure_precompute(data);
  // Recording costs paths and texts for every step; most values are
  // members, which the probe finds at the speed of is_valid.
  if (collects(mode) && input.is_object() && probe_finds_member(data, tables, input)) {
    WalkOutcome outcome;
    outcome.member = true;
    return outcome;
  }
  WalkState state(PoolView(data.pool_objects), data.definitions, &tables);
  WalkOutcome outcome;
  outcome.member = walk_node(data.root, input, state.context(mode));
  outcome.fatal = state.take_fatal();
  outcome.violations = std::move(state.violations);
  return outcome;
}

void set_walk_failure(WalkOutcome&& outcome) {
  if (outcome.fatal) {
    py::restore_error(std::move(outcome.fatal));
    return;
  }
  py::restore_error(py::build_validation_error(std::move(outcome.violations)));
}

void raise_walk_failure(WalkOutcome&& outcome) {
  set_walk_failure(std::move(outcome));
  throw py::PythonError{};
}

bool is_member(std::span<const py::PyRef> pool, ir::DefinitionsView definitions, const ir::SchemaNode& node,
               PyObject* obj, FirstFatal& fatal) noexcept {
  try {
    WalkState state{PoolView(pool), definitions, nullptr};
    bool member = walk_node(node, WalkInput::object(obj), state.context(WalkMode::Membership));
    if (py::PyRef stopped = state.take_fatal()) fatal.keep(std::move(stopped));
    return member;
  } catch (...) {
    PyErr_Clear();
    return false;
  }
}

}  // namespace tessolin::check

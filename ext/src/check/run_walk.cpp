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

WalkOutcome run_walk(py::ValidatorData& data, WalkInput input, WalkMode mode) {
    const Precompute& tables = ensure_precompute(data);
    WalkState state(PoolView(data.pool_objects), data.definitions, &tables);
    WalkOutcome outcome;
    outcome.member = walk_node(data.root, input, state.context(mode));
    outcome.fatal = state.take_fatal();
    outcome.violations = std::move(state.violations);
    return outcome;
}

void raise_walk_failure(WalkOutcome&& outcome) {
    if (outcome.fatal) {
        py::restore_error(std::move(outcome.fatal));
        throw py::PythonError{};
    }
    py::raise_validation_error(std::move(outcome.violations));
}

bool is_member(std::span<const py::PyRef> pool, ir::DefinitionsView definitions, const ir::SchemaNode& node,
               PyObject* obj) noexcept {
    try {
        WalkState state{PoolView(pool), definitions, nullptr};
        bool member = walk_node(node, WalkInput::object(obj), state.context(WalkMode::Membership));
        // A stored fatal exception is dropped with the state: a decision
        // never raises.
        return member;
    } catch (...) {
        PyErr_Clear();
        return false;
    }
}

}  // namespace tessolin::check

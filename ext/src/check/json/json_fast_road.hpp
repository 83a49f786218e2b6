// The fast road of the JSON methods: a document checked against the
// validator's plan while it is read (one_pass_check.hpp). A document it does
// not prove a member goes down the exact road (parse, then walk), which
// alone answers non-members, with their errors.
#pragma once

#include <Python.h>

#include <string_view>

#include "binding/ref.hpp"
#include "check/json/json_plan.hpp"

namespace tessolin::check {

// False when the environment variable TESSOLIN_JSON_ROAD is "exact" at the
// first check: then every document takes the exact road, which tests
// compare the fast road with.
bool fast_road_enabled() noexcept;

// Documents at least this long are checked with the interpreter lock
// released (when the plan runs no user code): below it, releasing and
// taking the lock back costs more than another thread gains.
inline constexpr size_t kReleaseLockBytes = 16 * 1024;

// Whether the plan proves `text` a member. Touches no Python object, so it
// runs with or without the interpreter lock; never throws.
bool document_proved_member(const JsonPlan& plan, std::string_view text) noexcept;

// The same check, making the document's Python objects as it goes: the
// object when proved a member, else empty with no exception pending (what
// was made is released). Needs the interpreter lock.
py::PyRef load_proved_member(const JsonPlan& plan, std::string_view text) noexcept;

}  // namespace tessolin::check

// Recording failures: the value text of an input and the violations every
// per-kind walk appends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "errors/violation.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

// The rendered value of an input; never fails: "<unrepresentable>" when
// rendering raises, after a fatal exception went to the fatal slot.
std::string render_input(WalkInput input, const WalkShared& shared);
// The same for a Python object.
std::string render_object_text(PyObject* obj, const WalkShared& shared);

py::Violation make_violation(const char* code, std::string expected, WalkInput input,
                             const std::vector<py::PathSegment>& path, const WalkShared& shared);

// Appends make_violation with the context's path; nothing in Membership.
void push_violation(const char* code, std::string expected, WalkInput input, const WalkContext& ctx);

// The node kind's code and display name; callers call it in collecting modes.
void push_type_violation(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx);

// "mutated_during_validation" at the context's path; nothing in Membership.
void record_mutation(WalkInput input, const WalkContext& ctx);

// A violation at path + step, with texts taken as given.
py::Violation make_key_violation(const std::vector<py::PathSegment>& path, py::PathSegment step, const char* code,
                                 std::string expected, std::string value);

// Pushes a path step in collecting modes and pops it on scope exit.
class PathStep {
 public:
  PathStep(const WalkContext& ctx, py::PathSegment step) : path_(ctx.collecting() ? ctx.path : nullptr) {
    if (path_) path_->push_back(std::move(step));
  }
  ~PathStep() {
    if (path_) path_->pop_back();
  }
  PathStep(const PathStep&) = delete;
  PathStep& operator=(const PathStep&) = delete;

 private:
  std::vector<py::PathSegment>* path_;
};

}  // namespace tessolin::check

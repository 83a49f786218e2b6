// Sets and frozensets. Members come from the builtin __iter__ under the
// set's critical section; the report of a collecting walk is ordered by a
// key made of each failing member's first violation, so it does not depend
// on the set's iteration order.
#include <algorithm>
#include <string>
#include <vector>

#include "check/critical_section.hpp"
#include "check/fatal_errors.hpp"
#include "check/recording.hpp"
#include "check/user_code.hpp"
#include "check/walk/container_kinds.hpp"
#include "check/walk/walks.hpp"
#include "check/walk_node.hpp"
#include "compat.hpp"
#include "ir/error_codes.hpp"

namespace tessolin::check {

namespace {

struct SetDescriptor {
  const char* code;
  const char* display;
  PyTypeObject* type;
};

constexpr SetDescriptor kSet{errors::code::kSetType, "set", &PySet_Type};
constexpr SetDescriptor kFrozenSet{errors::code::kFrozenSetType, "frozenset", &PyFrozenSet_Type};

bool passes_type_test(const SetDescriptor& d, PyObject* obj) noexcept {
  return Py_TYPE(obj) == d.type || PyType_IsSubtype(Py_TYPE(obj), d.type);
}

struct FailingMember {
  std::string key;
  std::vector<py::Violation> violations;
};

bool key_less(const FailingMember& a, const FailingMember& b) noexcept {
  // Byte-wise on UTF-8; std::string compares as unsigned chars.
  return a.key < b.key;
}

bool walk_set_membership(const ir::SchemaNode& element, PyObject* set, const WalkContext& ctx) {
  const bool fast = element.tag() <= 7 && *ctx.shared->depth < kMaxWalkDepth;
  CriticalSection section(set);
  py::PyRef iterator = set_members_iter(set);
  if (!iterator) {
    absorb_pending_error(*ctx.shared);
    return false;  // Membership records nothing
  }
  for (;;) {
    PyObject* raw = nullptr;
    int rc = compat::PyIter_NextItem(iterator.get(), &raw);
    if (rc == 0) return true;
    if (rc < 0) {
      absorb_pending_error(*ctx.shared);
      return false;
    }
    py::PyRef member = py::PyRef::steal(raw);
    bool ok =
        fast ? scalar_matches(element.tag(), member.get()) : walk_node(element, WalkInput::object(member.get()), ctx);
    if (!ok) return false;
  }
}

bool walk_set_collecting(const ir::SchemaNode& element, PyObject* set, WalkInput input, const WalkContext& ctx) {
  std::vector<FailingMember> failing;
  {
    CriticalSection section(set);
    py::PyRef iterator = set_members_iter(set);
    if (!iterator) {
      absorb_pending_error(*ctx.shared);
      section.leave();
      record_mutation(input, ctx);
      return false;
    }
    for (;;) {
      PyObject* raw = nullptr;
      int rc = compat::PyIter_NextItem(iterator.get(), &raw);
      if (rc == 0) break;
      if (rc < 0) {
        absorb_pending_error(*ctx.shared);
        section.leave();
        record_mutation(input, ctx);
        return false;
      }
      py::PyRef member = py::PyRef::steal(raw);
      std::vector<py::Violation> own;
      WalkContext sub = sub_context(ctx, ctx.path, &own, ctx.mode);
      if (walk_node(element, WalkInput::object(member.get()), sub)) continue;
      FailingMember record;
      if (!own.empty()) {
        record.key = own.front().value;
        record.key += ' ';
        record.key += own.front().code;
      }
      record.violations = std::move(own);
      failing.push_back(std::move(record));
    }
  }
  std::stable_sort(failing.begin(), failing.end(), key_less);
  for (FailingMember& record : failing) {
    for (py::Violation& v : record.violations) ctx.violations->push_back(std::move(v));
    if (ctx.mode == WalkMode::FailFast) break;
  }
  return failing.empty();
}

}  // namespace

bool walk_set(ir::CollectionKind kind, const ir::SchemaNode& element, WalkInput input, const WalkContext& ctx) {
  const SetDescriptor& d = kind == ir::CollectionKind::FrozenSet ? kFrozenSet : kSet;
  if (!input.is_object() || !passes_type_test(d, input.py())) {
    push_violation(d.code, d.display, input, ctx);
    return false;
  }
  PyTypeObject* type = Py_TYPE(input.py());
  // A subclass's __iter__ is looked up first, which may run its code.
  if (type != &PySet_Type && type != &PyFrozenSet_Type && !may_run_user_code(*ctx.shared)) return false;
  if (ctx.mode == WalkMode::Membership) return walk_set_membership(element, input.py(), ctx);
  return walk_set_collecting(element, input.py(), input, ctx);
}

}  // namespace tessolin::check

// The oracle over a constants pool: answers the decisions' questions about
// pooled constants by asking Python (exact types, comparisons, __mod__,
// issubclass, the members of an enum class, membership in a schema).
//
// Made for one decision query on one thread attached to the interpreter and
// dropped when it ends. It borrows the pool objects and the definitions,
// which must outlive it and stay unchanged while it lives. No operation
// raises or leaves a Python error pending: a failed Python call is dropped
// and the answer is the non-committal one. The first fatal exception is kept
// instead (raise_fatal); from then on the oracle calls no Python and answers
// non-committally, and the caller raises the kept exception in place of the
// decision's answer.
#pragma once

#include <Python.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "binding/ref.hpp"
#include "check/first_fatal.hpp"
#include "compile/constants_pool.hpp"
#include "ir/definitions.hpp"
#include "ir/oracle.hpp"

namespace tessolin::oracle {

class PoolOracle final : public ir::Oracle {
 public:
  PoolOracle(std::span<const py::PyRef> constants, ir::DefinitionsView definitions) noexcept
      : constants_(constants), definitions_(definitions) {}

  ir::LiteralValue constraint_value(uint64_t i) override;
  ir::LiteralValue literal_value(uint64_t i) override;
  ir::ClassAnswer class_answer(uint64_t i) override;
  ir::OracleAnswer decide_subset(const ir::SchemaNode& a, const ir::SchemaNode& b) override;
  ir::ConstantOrder compare_constants(uint64_t i, uint64_t j) override;
  ir::OracleAnswer constants_disjoint(const ir::LiteralMembers& a, const ir::LiteralMembers& b) override;
  ir::OracleAnswer integer_range_empty(uint64_t i, bool low_exclusive, uint64_t j, bool high_exclusive) override;
  ir::OracleAnswer is_multiple(uint64_t i, uint64_t j) override;
  ir::OracleAnswer class_hooks_standard(const ir::SchemaNode& node) override;
  ir::SlotKind scalar_kind(uint64_t i) override;
  ir::OracleAnswer class_kind_matches(uint64_t i, ir::SlotKind kind) override;
  ir::OracleAnswer class_kind_matches_strict(uint64_t i, ir::SlotKind kind) override;
  ir::OracleAnswer builtin_within_class(ir::SlotKind kind, uint64_t i) override;
  ir::OracleAnswer constants_distinct(uint64_t i, uint64_t j) override;

  // Raises the first fatal exception a Python call raised, if one did.
  void raise_fatal() { fatal_.raise_if_met(); }

 private:
  // Borrowed constant i, nullptr when i lies outside the pool.
  PyObject* constant(uint64_t i) const noexcept { return i < constants_.size() ? constants_[i].get() : nullptr; }
  ir::LiteralValue literal_value_of(uint64_t i);
  ir::ClassAnswer class_answer_of(PyObject* cls);
  uint32_t class_id_of(PyObject* cls);
  ir::OracleAnswer class_kind_answer(uint64_t i, ir::SlotKind kind, bool strict);
  ir::OracleAnswer enum_members_within(PyObject* cls, const ir::SchemaNode& b);
  ir::OracleAnswer membership(const ir::SchemaNode& b, PyObject* x);
  ir::OracleAnswer literal_within(const ir::SchemaNode& b, PyObject* x);
  std::optional<std::vector<py::PyRef>> equal_values(PyObject* x);
  // The members of enum class `cls` when it is closed (closed_enum_members),
  // null otherwise; learnt once per query, the class held meanwhile.
  const std::vector<py::PyRef>* closed_enum(PyObject* cls);
  bool type_settles(const ir::SchemaNode& b, PyObject* x);
  bool keyable(PyObject* x) noexcept;

  // The typed keys of a long run of literal constants, learnt in order as
  // far as questions needed them. Held with its list, whose address is
  // part of the run's id, so that no other list takes that address.
  struct RunId {
    const void* list = nullptr;
    size_t begin = 0;
    size_t size = 0;
    bool operator==(const RunId&) const = default;
  };
  struct RunIdHash {
    size_t operator()(const RunId& r) const noexcept {
      return std::hash<const void*>()(r.list) ^ (r.begin * 0x9e3779b97f4a7c15u) ^ (r.size << 1);
    }
  };
  struct KeptRun {
    ir::NodeList list;
    py::PyRef keys;      // a set of the keys of constants [0, scanned)
    size_t scanned = 0;
    bool stopped = false;  // constant `scanned` has no key: the scan ends there
  };
  // Keys past which the kept runs are dropped, all at once (a cache).
  static constexpr size_t kMaxKeptKeys = size_t{1} << 20;
  ir::OracleAnswer against_kept_run(const std::vector<py::PyRef>& keys, PyObject* seen, const ir::LiteralMembers& run);
  KeptRun& kept_run(const ir::LiteralMembers& run);

  std::span<const py::PyRef> constants_;
  ir::DefinitionsView definitions_;
  build::ClassIdTable class_ids_;
  std::vector<py::PyRef> id_holders_;  // entry k holds the class of id k
  check::FirstFatal fatal_;
  std::unordered_map<RunId, KeptRun, RunIdHash> kept_runs_;
  struct ClosedEnum {
    py::PyRef cls;
    std::optional<std::vector<py::PyRef>> members;
  };
  std::unordered_map<PyObject*, ClosedEnum> closed_enums_;
  size_t kept_keys_ = 0;
};

}  // namespace tessolin::oracle

// The membership plan of a schema for JSON documents: the schema's nodes
// with every constant turned into a plain C++ value and every record's
// names into a key table, so that a document is checked while it is read
// (one_pass_check.hpp), by any thread, without the interpreter lock. Built
// once per validator with its other tables (precompute.hpp); read-only
// afterwards.
//
// A plan node answers exactly what the walk over JSON values answers in
// Membership mode, or gives up; giving up is always allowed (the caller
// then takes the exact road). Nodes whose answer needs the interpreter
// (predicates, instance tests through a metaclass, attribute reads, bounds
// and divisors other than int, float and str, literals of list or dict
// type) make the plan `runs_user_code`: such a plan is never used, so no
// user code ever runs twice.
//
// Exports JsonPlan and build_json_plan; tested by
// tests/test_json_one_pass.py.
#pragma once

#include <Python.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/ref.hpp"
#include "check/json/json_number_order.hpp"
#include "check/json/record_key_table.hpp"
#include "check/leaf_tests.hpp"
#include "ir/definitions.hpp"
#include "ir/node.hpp"
#include "json/json_value.hpp"
#include "pattern/pattern.hpp"

namespace tessolin::check {

struct Precompute;
struct LiteralSet;

inline constexpr uint32_t kNoPlanNode = UINT32_MAX;

enum class PlanOp : uint8_t {
  Kinds,         // member exactly when the value's kind is in `kinds`
  List,          // an array whose items pass `children` (the prefix) then `child` (the tail)
  Record,        // an object against `record`
  Union,         // some member of `children` passes (`literals` first, for ints and strs)
  Intersection,  // every member of `children` passes
  Complement,    // `child` fails (scalars only; a container gives up)
  Literal,       // equals `literal`
  Refinement,    // `child` (the base) passes, then every constraint
  Reference,     // definition `child`, under the recursion guard
  GiveUp,        // never proves membership
};

// A literal constant as a JSON value sees it: only a value of exactly the
// constant's type can equal it.
struct PlanLiteral {
  enum class Kind : uint8_t { Never, Null, Bool, Int, BigInt, Float, String } kind = Kind::Never;
  int64_t integer = 0;  // Bool (0/1), Int
  double real = 0.0;
  std::string text;  // BigInt (decimal), String (UTF-8)
};

struct PlanConstraint {
  ir::ConstraintKind kind;
  bool text_bound = false;  // a str bound: `text`; else `number`
  Number number{};
  std::string text;
  uint64_t count = 0;                         // MinLen, MaxLen
  const pattern::Pattern* pattern = nullptr;  // Pattern; null never matches
};

struct PlanField {
  uint32_t node;
  bool required;
  PyObject* key;  // the interned name (borrowed from the tables), for objects made from documents
};

enum class ClauseRule : uint8_t {
  Closed,     // undeclared keys fail the record
  AnyValue,   // undeclared keys pass with any value
  ValueOnly,  // undeclared keys pass when their value passes `clauses[0].value`
  Clauses,    // some clause takes the key and the value
};

struct PlanRecord {
  std::vector<PlanField> fields;  // sorted by name bytes, names distinct
  RecordKeyTable names;
  // Where this record's learned key order starts in a reader's order
  // slots (fields + 1 of them: which field followed each, and which came
  // first).
  uint32_t order_slot = 0;
  ClauseRule rule = ClauseRule::Closed;
  std::vector<std::pair<uint32_t, uint32_t>> clauses;  // (key node, value node)
  uint64_t required = 0;                               // how many fields are required
};

struct PlanNode {
  PlanOp op = PlanOp::GiveUp;
  // Kinds: the kinds it accepts. Others: the kinds it may accept, so that a
  // union tries only the members that can take the value.
  JsonKinds kinds = 0;
  uint32_t child = kNoPlanNode;
  std::vector<uint32_t> children;
  std::unique_ptr<PlanRecord> record;
  const LiteralSet* literals = nullptr;
  PlanLiteral literal;
  std::vector<PlanConstraint> constraints;
};

class JsonPlan {
 public:
  const PlanNode& node(uint32_t i) const noexcept { return nodes_[i]; }
  uint32_t root() const noexcept { return root_; }
  // A node that may need the interpreter is reachable: the plan is never
  // used.
  bool runs_user_code() const noexcept { return runs_user_code_; }
  // Order slots of all records together.
  uint32_t order_slots() const noexcept { return order_slots_; }

 private:
  friend class PlanBuilder;
  std::vector<PlanNode> nodes_;
  uint32_t root_ = kNoPlanNode;
  uint32_t order_slots_ = 0;
  bool runs_user_code_ = false;
};

// The plan of a finalised schema over its pool and tables (the tables keep
// the interned names and compiled patterns the plan points to, so the plan
// lives inside them). Needs the interpreter; fails only for memory.
std::unique_ptr<JsonPlan> build_json_plan(std::span<const py::PyRef> pool, ir::DefinitionsView definitions,
                                          const ir::SchemaNode& root, const Precompute& tables);

}  // namespace tessolin::check

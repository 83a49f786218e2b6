// What a Validator holds, the Validator type, and the roads that make one.
#pragma once

#include <Python.h>

#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "binding/once_cell.hpp"
#include "binding/ref.hpp"
#include "ir/node.hpp"

namespace tessolin::check {
struct Precompute;
void destroy_precompute(Precompute* tables) noexcept;
int traverse_precompute(const Precompute* tables, visitproc visit, void* arg);
}  // namespace tessolin::check

namespace tessolin::py {

struct PrecomputeDeleter {
  void operator()(check::Precompute* tables) const noexcept { check::destroy_precompute(tables); }
};
using PrecomputeHandle = std::unique_ptr<check::Precompute, PrecomputeDeleter>;

// A validator's once-only precompute tables. Moving a cell never carries
// tables: data is moved only before it is published in an object, and every
// copy of a validator starts unbuilt.
class PrecomputeCell {
 public:
  PrecomputeCell() noexcept = default;
  PrecomputeCell(PrecomputeCell&&) noexcept {}
  PrecomputeCell& operator=(PrecomputeCell&&) = delete;

  // The tables, built by `build()` (returning a non-null PrecomputeHandle)
  // on first use; concurrent first callers wait detached. A build that
  // throws leaves the cell empty for the next caller.
  template <class Build>
  const check::Precompute& get(Build&& build) {
    return *cell_.get(std::forward<Build>(build));
  }
  // The tables when built, else nullptr. Lock-free.
  const check::Precompute* peek() const noexcept {
    const PrecomputeHandle* h = cell_.peek();
    return h ? h->get() : nullptr;
  }
  bool is_built() const noexcept { return cell_.is_built(); }

 private:
  ObjectOnceCell<PrecomputeHandle> cell_;
};

// Immutable once an object holds it, apart from the one fill of the cell.
struct ValidatorData {
  std::vector<PyRef> pool_objects;          // the constants pool, by index
  std::vector<ir::SchemaNode> definitions;  // bodies of Reference(n)
  ir::SchemaNode root;
  PrecomputeCell precompute;
};

// The Validator class, made once per process. Throws PythonError when it
// cannot be made (the next call retries).
PyTypeObject* validator_type();
// Whether obj's type is the Validator class or a subtype of it.
bool is_validator(PyObject* obj);
// The data of a Validator object (obj must be one).
ValidatorData* validator_data(PyObject* obj) noexcept;

// Keeps the definitions reachable from root (renumbered in order), then
// enforces, in this order, depth <= 128, definitions <= 128, nodes <=
// 100000 and no unresolved placeholder, each failure a ValueError with its
// fixed text (thrown as PythonError). Takes over all three inputs.
ValidatorData finalise_schema(ir::SchemaNode root, std::vector<PyRef> pool_objects,
                              std::vector<ir::SchemaNode> definitions);

// A new Validator object holding `data` (moved in). Throws PythonError when
// the instance cannot be allocated.
PyRef new_validator_object(ValidatorData data);

// A validator over `node` with no pool and no definitions, not finalised
// (the module constants anything and nothing).
PyRef validator_from_node(ir::SchemaNode node);

// The same pool objects (new references), definitions and root, and an
// unbuilt precompute cell.
ValidatorData validator_clone(const ValidatorData& data);

// The module constants: Validator over plain Anything and over Nothing,
// made anew for each module execution. Throw PythonError.
PyRef make_anything_validator();
PyRef make_nothing_validator();

}  // namespace tessolin::py

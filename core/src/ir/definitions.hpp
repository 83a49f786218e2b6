// Definitions, placeholders and contractiveness of recursive schemas.
//
// A schema is a root node plus numbered definitions; Reference(n) names
// definition n. A Placeholder(id) stands for a schema whose recursive builder
// is still running; it becomes Reference(n) once the definition gets its
// number. Every walk here follows a Reference only when its number is below
// the count of the definitions it was given.
#pragma once

#include <cstdint>
#include <span>

#include "ir/node.hpp"

namespace tessolin::ir {

// Read-only view of a schema's definition list, indexed by definition number.
using DefinitionsView = std::span<const SchemaNode>;

// ---- placeholder ids

// A process-wide unique id (0 first), from one atomic counter shared by
// recursive(...) builders and recursive type aliases.
uint64_t new_placeholder_id() noexcept;

// This thread's stack of ids whose recursive(...) builder is running,
// innermost last. Throws InternalError once the thread's state is torn down.
void push_placeholder(uint64_t id);
// Removes the innermost id; an empty stack stays empty.
void pop_placeholder();
bool placeholder_is_live(uint64_t id);

// The node with every Placeholder(id) replaced by Reference(n). References
// are kept as they are (definitions are never entered). Every node is
// rebuilt: lists re-interned, union and intersection members re-sorted and
// deduplicated, nodes written directly (no smart-constructor folding).
SchemaNode resolve_placeholder(const SchemaNode& node, uint64_t id, uint64_t n);

// Whether Reference(n) is reachable from body without passing a structural
// constructor (Sequence, Collection, Record, Object). References to other
// definitions are followed while unguarded, each at most once per path.
// True means the recursion is not contractive.
bool find_unguarded_reference(const SchemaNode& body, uint64_t n, DefinitionsView definitions);

// Whether the tree holds a Placeholder whose builder is not running on this
// thread. References are not followed.
bool find_unresolved_placeholder(const SchemaNode& node);

}  // namespace tessolin::ir

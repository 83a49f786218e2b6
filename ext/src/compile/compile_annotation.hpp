// compile_annotation: the one entry of every schema spec into the IR, and
// the small helpers the form compilers share.
//
// Errors: every function that can fail throws py::PythonError with the
// Python exception pending (refusals set NotImplementedError / TypeError /
// ValueError with their fixed texts; exceptions raised by Python code the
// compiler calls pass up unchanged). Nodes built for a failed operand are
// dropped; pool entries and definitions already added stay.
#pragma once

#include <Python.h>

#include <cstdint>
#include <vector>

#include "binding/ref.hpp"
#include "compile/compile_context.hpp"
#include "ir/node.hpp"
#include "limits/limits.hpp"

namespace tessolin::build {

// compile_annotation calls that may be active at once on one thread; the
// next nested call is refused with NotImplementedError naming this number.
inline constexpr uint64_t kMaxCompileDepth = limits::kMaxCompileDepth;

// Compiles any Python object (borrowed) into ctx.
ir::SchemaNode compile_annotation(CompileContext& ctx, PyObject* x);

// A type argument (item of list[...], set[...], dict[...], tuple[...], a
// union member): a str or typing.ForwardRef is refused as a forward
// reference; anything else goes to compile_annotation.
ir::SchemaNode compile_resolved(CompileContext& ctx, PyObject* argument);

// isinstance(x, typing.ForwardRef); false on a Python without ForwardRef.
// Throws on an isinstance failure or when the typing handles cannot load.
bool is_forward_reference(PyObject* x);

// x is Ellipsis. False (and no pending error) when the handles cannot load.
bool is_ellipsis(PyObject* x) noexcept;

// x is one of the present handles Required, NotRequired, ReadOnly.
// Throws when the typing handles cannot load.
bool is_qualifier(PyObject* x);

// The payload of a Sequence node: prefix interned as a node list, tail
// interned as one node or absent (fixed length). The prefix is consumed.
struct SequencePayload {
  ir::NodeList prefix;
  ir::NodeRef tail;
};
SequencePayload sequence_payload(std::vector<ir::SchemaNode> prefix, ir::SchemaNode tail);
SequencePayload sequence_payload(std::vector<ir::SchemaNode> prefix);

// The Sequence node of a payload.
inline ir::SchemaNode sequence_node(ir::SequenceKind kind, SequencePayload payload) {
  return ir::SchemaNode::sequence(kind, std::move(payload.prefix), std::move(payload.tail));
}

// ---- results memoised by identity within one build
//
// A memoised result keeps the nesting levels its compile used below its own
// call (its height), and is reused only where a fresh compile would also stay
// within kMaxCompileDepth: memoising never changes which schemas compile.

// Measures the height of the compile running in the innermost active
// compile_annotation call, from construction on; restores the enclosing
// measure on every way out.
class HeightScope {
 public:
  HeightScope() noexcept;
  ~HeightScope();
  HeightScope(const HeightScope&) = delete;
  HeightScope& operator=(const HeightScope&) = delete;
  uint32_t height() const noexcept;

 private:
  uint64_t level_;
  uint64_t saved_;
};

// x's memoised node when it may be reused at the current nesting level
// (counting its height as used), else nullptr.
const ir::SchemaNode* reuse_memoised(const CompileMemo::Entries& entries, const PyObject* x) noexcept;

// Raises the forward-reference NotImplementedError naming x.
[[noreturn]] void refuse_forward_reference(PyObject* x);

}  // namespace tessolin::build

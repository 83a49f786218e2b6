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

// Raises the forward-reference NotImplementedError naming x.
[[noreturn]] void refuse_forward_reference(PyObject* x);

}  // namespace tessolin::build

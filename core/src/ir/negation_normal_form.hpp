// Negation normal form: complements pushed down by De Morgan's laws until
// they sit only on nodes that are neither union, intersection nor complement;
// nested unions and intersections spliced; nested refinements merged. A few
// folds that decide rather than rewrite are applied without any knowledge of
// pooled constants: a join covering every value kind, or holding complements
// of two disjoint nodes, is Anything; a meet of disjoint members, or whose
// members share no value kind, is Nothing. The result denotes the same set.
// References are never followed: each definition is normalised on its own.
#pragma once

#include <optional>
#include <vector>

#include "ir/node.hpp"

namespace tessolin::ir {

SchemaNode negation_normal_form(const SchemaNode& node);

// The join / meet of members already in normal form and already flattened
// (the caller drops the identity and stops at the absorbing element).
SchemaNode nnf_join(std::vector<SchemaNode>& members);
SchemaNode nnf_meet(std::vector<SchemaNode>& members);

// The normal form of the complement of a node already in normal form.
SchemaNode nnf_complement(const SchemaNode& node);

}  // namespace tessolin::ir

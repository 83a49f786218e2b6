// The one recursive operation of the validation walk, over either input:
// one dispatch by node kind, each kind going to the walk of its input.
//
// Where each kind is checked, and the error codes it records:
//
// | kind                 | Python objects                  | JSON values (json/, membership only) | codes                         |
// |----------------------|---------------------------------|--------------------------------------|-------------------------------|
// | Anything .. Bytes    | leaf_tests.hpp                  | leaf_tests.hpp                       | the kind's own (ir node_walk) |
// | Literal              | walk/leaf_walks.cpp             | json_leaf_walks.cpp                  | literal_error                 |
// | Sequence             | walk/sequence/walk_sequence.cpp | json_sequence_walk.cpp               | list_type, list_length,       |
// |                      |                                 |                                      | tuple_type, tuple_length      |
// | Collection           | walk/set_walk.cpp               | (never a member)                     | set_type, frozen_set_type     |
// | Record               | walk/mapping_walk.cpp,          | json_record_walk.cpp                 | dict_type, missing_key,       |
// |                      | walk/mapping_report.cpp         |                                      | extra_forbidden               |
// | Union                | walk/union_walk.cpp             | json_leaf_walks.cpp                  | union_error                   |
// | Intersection,        | walk/combinator_walks.cpp       | the same                             | unexpected_match,             |
// | Complement, Reference|                                 |                                      | recursion_loop                |
// | Instance             | walk/leaf_walks.cpp             | json_leaf_walks.cpp                  | instance_type                 |
// | Object               | walk/leaf_walks.cpp             | the same, on the converted object    | missing_attribute             |
// | Refinement           | walk/refinement_walk.cpp        | json_refinement_walk.cpp             | greater_than_equal ..,        |
// |                      |                                 |                                      | too_short, too_long,          |
// |                      |                                 |                                      | multiple_of, predicate_failed,|
// |                      |                                 |                                      | predicate_error,              |
// |                      |                                 |                                      | string_pattern_mismatch       |
// | Placeholder          | walk_node.cpp                   | walk_node.cpp                        | unresolved_recursion          |
// | any, too deep        | walk_node.cpp                   | walk_node.cpp                        | recursion_limit               |
//
// JSON values are walked only by membership checks (is_valid_json's exact
// road); every collecting check walks Python objects.
#pragma once

#include <Python.h>

#include <cstdint>

#include "check/leaf_tests.hpp"
#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

// True when the input is a member of the node's set. Guards the abort flag
// and the nesting limit (512 levels, every kind counts one), decides the
// plain kinds inline and hands the rest to the per-kind walks.
bool walk_node(const ir::SchemaNode& node, WalkInput input, const WalkContext& ctx);

}  // namespace tessolin::check

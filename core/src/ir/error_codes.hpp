// Every error code a failed check can carry, with what it means: the one
// table of codes. The IR names each node kind's code from it
// (kind_tag_error_code, node_walk.cpp); the validation walk names the rest.
#pragma once

namespace tessolin::errors::code {

// The value is not of the node's kind.
inline constexpr const char kNoneType[] = "none_type";
inline constexpr const char kBoolType[] = "bool_type";
inline constexpr const char kIntType[] = "int_type";
inline constexpr const char kFloatType[] = "float_type";
inline constexpr const char kStringType[] = "string_type";
inline constexpr const char kBytesType[] = "bytes_type";
inline constexpr const char kListType[] = "list_type";
inline constexpr const char kTupleType[] = "tuple_type";
inline constexpr const char kSetType[] = "set_type";
inline constexpr const char kFrozenSetType[] = "frozen_set_type";
inline constexpr const char kDictType[] = "dict_type";
inline constexpr const char kObjectType[] = "object_type";
// Not an instance of the class.
inline constexpr const char kInstanceType[] = "instance_type";
// Not one of the literal values.
inline constexpr const char kLiteralError[] = "literal_error";
// The schema admits nothing (Never, `nothing`).
inline constexpr const char kNoMatch[] = "no_match";
// Names of kinds whose own failure is never reported: Anything admits
// everything, an intersection reports its failing member, a reference its
// definition's failure.
inline constexpr const char kAnything[] = "anything";
inline constexpr const char kIntersectionError[] = "intersection_error";
inline constexpr const char kRecursion[] = "recursion";
// A member of no alternative of a union.
inline constexpr const char kUnionError[] = "union_error";
// A member of a schema it must not be in (a complement).
inline constexpr const char kUnexpectedMatch[] = "unexpected_match";

// Fixed prefixes: the wrong number of items.
inline constexpr const char kListLength[] = "list_length";
inline constexpr const char kTupleLength[] = "tuple_length";
// Records and objects.
inline constexpr const char kMissingKey[] = "missing_key";
inline constexpr const char kExtraForbidden[] = "extra_forbidden";
inline constexpr const char kMissingAttribute[] = "missing_attribute";

// Constraints of a refinement.
inline constexpr const char kGreaterThan[] = "greater_than";
inline constexpr const char kGreaterThanEqual[] = "greater_than_equal";
inline constexpr const char kLessThan[] = "less_than";
inline constexpr const char kLessThanEqual[] = "less_than_equal";
inline constexpr const char kMultipleOf[] = "multiple_of";
inline constexpr const char kTooShort[] = "too_short";
inline constexpr const char kTooLong[] = "too_long";
inline constexpr const char kStringPatternMismatch[] = "string_pattern_mismatch";
// A predicate returned a false value, or raised.
inline constexpr const char kPredicateFailed[] = "predicate_failed";
inline constexpr const char kPredicateError[] = "predicate_error";

// Walk-wide failures.
inline constexpr const char kRecursionLimit[] = "recursion_limit";  // nested past the walk's depth limit
inline constexpr const char kRecursionLoop[] = "recursion_loop";    // a cyclic value under a recursive schema
inline constexpr const char kUnresolvedRecursion[] = "unresolved_recursion";
inline constexpr const char kMutatedDuringValidation[] = "mutated_during_validation";
// A JSON document that does not parse.
inline constexpr const char kJsonInvalid[] = "json_invalid";
// The default of an empty Violation.
inline constexpr const char kValidationError[] = "validation_error";

}  // namespace tessolin::errors::code

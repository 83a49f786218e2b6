// Records and mappings, walked in two stages: a membership stage, then, for
// a non-member in a collecting mode, a report of why.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "check/precompute.hpp"
#include "check/walk_context.hpp"
#include "check/walk_input.hpp"
#include "errors/path_segment.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

enum class ClauseShape : uint8_t { Closed, Open, StrKeys, General };

ClauseShape clause_shape(const ir::ClauseList& clauses) noexcept;

// Where the fast road of the membership stage stopped: the fields before
// `field_index` passed, `found` of them present, while the dict had `size`
// keys, all of them exact str.
struct MappingSummary {
  bool present = false;
  uint64_t field_index = 0;
  uint64_t found = 0;
  int64_t size = 0;
};

bool walk_mapping(const ir::FieldList& fields, const ir::ClauseList& clauses, WalkInput input, const WalkContext& ctx,
                  MappingSummary* summary);

void report_mapping_failures(const ir::FieldList& fields, const ir::ClauseList& clauses, WalkInput input,
                             const WalkContext& ctx, const MappingSummary& summary);

// Some clause, in order, takes both the key and the value (Membership).
bool walk_mapping_items(const ir::ClauseList& clauses, PyObject* key, PyObject* value, const WalkContext& ctx);

// The UTF-8 of a key that may stand for a declared name: a str, or a str
// subclass instance that hashes and compares like the plain str of its
// text. The view lives as long as the key. Exceptions go through the fatal
// rule.
std::optional<std::string_view> str_key_utf8(PyObject* key, const WalkShared& shared);

bool is_declared_key(const RecordKeys* entry, const ir::FieldList& fields, std::string_view text);

// The position of the field that `key` stands for by the key text rule, or
// `field_count` when it stands for none. Exceptions go through the fatal
// rule.
size_t declared_field_index(PyObject* key, const NamePositions& positions, size_t field_count,
                            const WalkShared& shared);

// Whether every key is exactly a str. The caller of the _locked form holds
// the dict's critical section.
bool keys_exact_str_locked(PyObject* dict) noexcept;
bool keys_exact_str(PyObject* dict) noexcept;

py::PathSegment key_path_segment(PyObject* key, const WalkShared& shared);

}  // namespace tessolin::check

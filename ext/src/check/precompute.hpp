// A validator's once-only lookup tables, built on its first check and then
// only read, by any number of threads, without locks.
//
// Every table is keyed by the identity (address) of a shared array inside
// the validator's immutable nodes: a record's field list, an object's
// attribute list, a union's member list, a pattern constraint's text. Nodes
// that share an array (hash-consing) share one entry. A missing entry means
// the reader does the work itself, with the same answer.
#pragma once

#include <Python.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "binding/ref.hpp"
#include "check/json/json_plan.hpp"
#include "compile/annotated/anchored_pattern.hpp"
#include "ir/definitions.hpp"
#include "ir/node.hpp"

namespace tessolin::check {

struct IdentityHash {
  size_t operator()(const void* p) const noexcept {
    // FxHash of one word, finished by the rotation.
    uint64_t h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) * 0xf1357aea2e62a9c5ULL;
    return static_cast<size_t>((h << 26) | (h >> 38));
  }
};

template <class V>
using IdentityMap = std::unordered_map<const void*, V, IdentityHash>;

// Field name text -> position in the field list (a repeated name keeps its
// later position). The views point into the field list's own name texts,
// which live as long as the schema.
using NamePositions = std::unordered_map<std::string_view, uint64_t>;

struct RecordKeys {
  std::vector<py::PyRef> names;  // interned str per field, field order
  NamePositions positions;
  uint64_t required = 0;
};

struct LiteralSet {
  std::unordered_set<int64_t> ints;
  std::vector<std::string> text_storage;       // owned texts; never resized after building
  std::unordered_set<std::string_view> texts;  // views into text_storage
};

struct Precompute {
  IdentityMap<RecordKeys> record_keys;
  IdentityMap<std::vector<py::PyRef>> attribute_names;
  IdentityMap<LiteralSet> literal_sets;
  IdentityMap<std::shared_ptr<const build::AnchoredPattern>> patterns;
  // Points into the four tables above, so it is built last.
  std::unique_ptr<JsonPlan> json_plan;

  const RecordKeys* find_record(const ir::FieldList& fields) const noexcept {
    auto it = record_keys.find(fields.identity());
    return it == record_keys.end() ? nullptr : &it->second;
  }
  const std::vector<py::PyRef>* find_attributes(const ir::FieldList& attributes) const noexcept {
    auto it = attribute_names.find(attributes.identity());
    return it == attribute_names.end() ? nullptr : &it->second;
  }
  const LiteralSet* find_literals(const ir::NodeList& members) const noexcept {
    auto it = literal_sets.find(members.identity());
    return it == literal_sets.end() ? nullptr : &it->second;
  }
  const build::AnchoredPattern* find_pattern(std::string_view source) const noexcept {
    auto it = patterns.find(source.data());
    return it == patterns.end() ? nullptr : it->second.get();
  }
};

// Builds the four tables for a finalised schema (the root, then every
// definition in order), then the JSON plan over them. Throws PythonError / InternalError only when a
// Python string cannot be made (the cell then stays empty).
std::unique_ptr<Precompute> build_precompute(std::span<const py::PyRef> pool, ir::DefinitionsView definitions,
                                             const ir::SchemaNode& root);

// The name -> position map of a field list, built without the tables.
NamePositions name_positions(const ir::FieldList& fields);

// The garbage-collection visit of the interned strings held.
int visit_precompute(const Precompute& tables, visitproc visit, void* arg) noexcept;

}  // namespace tessolin::check

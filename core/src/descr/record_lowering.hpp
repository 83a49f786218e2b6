// Lowering of Record nodes (dicts, records, TypedDicts) into record shapes.
//
// A record's fields become listed str keys. An undeclared key is admitted
// when some clause admits both the key and its value, so the keys a clause
// names by value are listed with the JOIN of the values of every clause that
// admits them (their kind's clauses included), and the unlisted keys of each
// kind take the join of the values of the clauses admitting that kind. A
// clause key that names a field is dropped: a declared field never looks at
// a clause.
// Tested by core/tests/descr_record.
#pragma once

#include <cstdint>
#include <vector>

#include "descr/descriptor.hpp"
#include "descr/record_shape.hpp"
#include "ir/node.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr {

// What a clause's key schema admits: keys by value and whole key kinds
// (SlotKind codes; Int gives Int and Bool). Repeats are kept.
struct ClauseKeys {
  std::vector<LiteralKey> keys;
  std::vector<uint8_t> codes;
};

// Gives up for key schemas other than Anything, Nothing, the scalar kinds,
// literals of None, bool, int, str or bytes, and unions of these.
Outcome<ClauseKeys> lower_record_pairs(const ir::SchemaNode& key, ir::Oracle& oracle);

// A Descriptor whose only non-empty slot is Dict. `depth` is the record's
// own depth (lower_node spent its unit and checked it): field and clause
// schemas are lowered at depth - 1 with the shared `allowance`.
Outcome<Descriptor> lower_record(const ir::FieldList& fields, const ir::ClauseList& clauses, ir::Oracle& oracle,
                                 uint32_t& allowance, uint32_t depth);

// A Record node into slot Dict (lower_record of its fields and clauses);
// `depth` as for lower_record.
Outcome<Descriptor> lower_record_node(const ir::SchemaNode& node, ir::Oracle& oracle, uint32_t& allowance,
                                      uint32_t depth);

}  // namespace tessolin::descr

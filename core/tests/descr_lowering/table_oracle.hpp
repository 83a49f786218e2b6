// An oracle that answers the algebra's three questions (constraint values,
// literal values, class answers) from tables a test fills, and every other
// question as the IR tests' scripted oracle does (non-committally unless
// scripted), so the schema-level decisions leave constants to the algebra.
// Counts the questions asked.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "../ir/ir_test_support.hpp"
#include "ir/oracle.hpp"

namespace tessolin::descr::testing {

using ir::ClassAnswer;
using ir::LiteralValue;
using ir::SchemaNode;
using ir::SlotKind;

class TableOracle : public ir::testing::ScriptedOracle {
 public:
  std::map<uint64_t, LiteralValue> values;  // pool index -> value (slots 1 and 2)
  std::map<uint64_t, ClassAnswer> classes;  // pool index -> class answer (slot 3)
  int value_questions = 0;
  int class_questions = 0;

  TableOracle& set_int(uint64_t i, int64_t v) { return set(i, LiteralValue::of_int(v)); }
  TableOracle& set_float(uint64_t i, double v) { return set(i, LiteralValue::of_float(v)); }
  TableOracle& set_bool(uint64_t i, bool v) { return set(i, LiteralValue::of_bool(v)); }
  TableOracle& set_str(uint64_t i, std::string s) { return set(i, LiteralValue::of_text(SlotKind::Str, std::move(s))); }
  TableOracle& set_bytes(uint64_t i, std::string s) {
    return set(i, LiteralValue::of_text(SlotKind::Bytes, std::move(s)));
  }
  TableOracle& set(uint64_t i, LiteralValue v) {
    values[i] = std::move(v);
    return *this;
  }
  // A class with id `id`, the given further class ids on its MRO, and a
  // builtin base kind (SlotKind::Unknown: none).
  TableOracle& set_class(uint64_t i, uint32_t id, std::vector<uint32_t> bases, SlotKind base_kind) {
    ClassAnswer a;
    a.class_id = id;
    a.ids = std::move(bases);
    a.ids.push_back(id);
    std::sort(a.ids.begin(), a.ids.end());
    a.tag = static_cast<uint8_t>(base_kind);
    a.base_position = base_kind == SlotKind::Unknown ? 0 : 1;
    classes[i] = std::move(a);
    return *this;
  }

  LiteralValue constraint_value(uint64_t i) override { return value_of(i); }
  LiteralValue literal_value(uint64_t i) override { return value_of(i); }
  ClassAnswer class_answer(uint64_t i) override {
    ++class_questions;
    auto it = classes.find(i);
    return it == classes.end() ? ClassAnswer{} : it->second;
  }

 protected:
  virtual LiteralValue value_of(uint64_t i) {
    ++value_questions;
    auto it = values.find(i);
    return it == values.end() ? LiteralValue::declined() : it->second;
  }
};

}  // namespace tessolin::descr::testing

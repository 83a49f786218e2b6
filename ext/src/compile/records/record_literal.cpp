// A dict written as a schema: str keys name fields (a trailing `?` makes one
// optional), every other key is the schema of further keys.
#include <string>
#include <unordered_set>
#include <vector>

#include "binding/error.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/forms.hpp"
#include "compile/generics/generic_support.hpp"
#include "compile/records/dict_entries.hpp"
#include "compile/records/record_support.hpp"
#include "ir/constructors.hpp"
#include "render/value_text.hpp"

namespace tessolin::build {

namespace {

void refuse_repeated_names(const std::vector<ir::RecordField>& fields) {
  std::unordered_set<std::string_view> seen;
  seen.reserve(fields.size());
  for (const ir::RecordField& f : fields) {
    if (!seen.insert(f.name.view()).second) {
      py::raise_value_error("the key " + py::quote_text(f.name.view()) +
                            " is declared twice in this record: a name and the same name with a trailing `?` are "
                            "one field, so write it once with the type and the optionality it has");
    }
  }
}

}  // namespace

ir::SchemaNode compile_record_literal(CompileContext& ctx, PyObject* dict) {
  std::vector<ir::RecordField> fields;
  std::vector<ir::CatchAll> clauses;
  bool stripped = false;
  DictEntries entries(dict);
  py::PyRef key;
  py::PyRef value;
  while (entries.next(key, value)) {
    if (PyUnicode_Check(key.get())) {
      std::string_view text = record_key_text(key.get());
      bool required = true;
      if (!text.empty() && text.back() == '?') {
        text.remove_suffix(1);
        required = false;
        stripped = true;
      }
      ir::Text name(text);
      ir::SchemaNode schema = compile_annotation(ctx, value.get());
      fields.push_back(ir::RecordField{std::move(schema), std::move(name), required});
    } else {
      ir::SchemaNode key_schema = compile_annotation(ctx, key.get());
      refuse_refined_key(key_schema, key.get());
      ir::SchemaNode value_schema = compile_annotation(ctx, value.get());
      clauses.push_back(ir::CatchAll{std::move(key_schema), std::move(value_schema)});
    }
  }
  // Distinct dict keys can share a name only through a stripped `?`.
  if (stripped) refuse_repeated_names(fields);
  return ir::make_record(std::move(fields), std::move(clauses));
}

}  // namespace tessolin::build

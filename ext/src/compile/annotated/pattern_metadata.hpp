// A metadata object with a `pattern` attribute (such as a compiled
// re.Pattern) becomes one Pattern constraint matched in full by our own
// engine: its re flags carried inline where they can be, the spellings the
// two engines read differently refused.
#pragma once

#include <Python.h>

#include <string>
#include <string_view>
#include <vector>

#include "compile/annotated/metadata_attributes.hpp"
#include "ir/constraint.hpp"

namespace tessolin::build {

// Appends the Pattern constraint for `pattern_value` (the item's `pattern`
// attribute, present). Throws PythonError with the refusal pending.
void append_pattern_constraint(const MetadataReader& reader, PyObject* pattern_value,
                               std::vector<ir::Constraint>& constraints);

}  // namespace tessolin::build

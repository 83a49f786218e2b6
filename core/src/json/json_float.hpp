#pragma once
// Decimal text of a JSON number with a fraction or an exponent to double.

namespace tessolin::json {

// [first, last) must match the JSON number grammar. Correctly rounded;
// beyond the double range the result is +-inf, below it +-0.0.
double json_float_value(const char* first, const char* last) noexcept;

}  // namespace tessolin::json

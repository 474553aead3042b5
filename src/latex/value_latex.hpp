#pragma once

#include <string>

#include "base/error.hpp"
#include "latex/format_settings.hpp"
#include "quantity/unit.hpp"
#include "quantity/value.hpp"

namespace mensurator {

// A value as LaTeX: converted into the hint when there is one, otherwise in its own base units
// with an automatic prefix.
Result<void> append_value(const Value& value, const FormatSettings& settings, std::string& out);

// A plain number as append_value writes it without a hint: in its own digits, no unit, no power
// of ten (there is none to take out of a number without a unit).
void append_plain_number(double x, const FormatSettings& settings, std::string& out);

// The dimensions of a unit as LaTeX, with its exp10 written as a prefix; "" when dimensionless.
std::string unit_to_latex(const Unit& unit);

}  // namespace mensurator

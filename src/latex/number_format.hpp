#pragma once

#include <cstdint>
#include <string>

namespace mensurator {

// x in plain positional decimal with exactly p digits after the point (none when p is 0),
// correctly rounded from the exact value of the double; "NaN", "inf", "-inf".
std::string format_number(double x, std::uint64_t p);
// The same, appended to `out`.
void append_number(double x, std::uint64_t p, std::string& out);

// The precision rule of every caller: `digits` when x has a fractional part or is NaN, else 0.
std::uint64_t precision_for(double x, std::uint64_t digits);

// x rounded to `figures` significant figures (at least 1), correctly from the exact value of the
// double, in plain positional decimal with the significant trailing zeros (0.0200, 157000). A
// whole number with no more digits than that is written as it is, like every whole number under
// a count of decimals; "NaN", "inf", "-inf" as above.
void append_significant(double x, unsigned figures, std::string& out);

}  // namespace mensurator

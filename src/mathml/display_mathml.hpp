#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mensurator {

// The display MathML of one of the engine's math lines (the LaTeX between its dollar signs), as
// the HTML report shows it: the value after the last of two or more top-level equals signs is
// grouped as <mrow class="result">. Only the LaTeX the engine itself writes is known here
// (letters, numbers, operators, groups, \mathrm, \frac, scripts, spaces, Greek letters); for
// anything else the result is empty and the caller converts the line some other way.
std::optional<std::string> display_mathml(std::string_view latex);

}  // namespace mensurator

#pragma once

#include <string_view>

#include "base/error.hpp"
#include "grammar/parse.hpp"
#include "run/program_state.hpp"

namespace mensurator {

// The first lines of every document.
inline constexpr std::string_view preamble = "\\documentclass{article}\n\\begin{document}\n";

// A fresh state: the preamble, the constants \pi and e, the alias pi, the default settings.
ProgramState seeded_state();

// The error a failed parse is reported as.
RunError parse_failure_error(const ParseFailure& failure);

// Parses and builds the whole document into a ready-to-run state, which refers to the text.
Result<ProgramState> front_end(std::string_view text);

}  // namespace mensurator

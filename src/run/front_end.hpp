#pragma once

#include <string_view>

#include "run/error.hpp"
#include "run/program_state.hpp"

namespace mensurator {

// The first line of every document.
inline constexpr std::string_view preamble = "\\documentclass{article}\n\\begin{document}\n";

// Parses and builds the document into a ready-to-run state seeded with the preamble, the
// constants \pi and e and the alias pi.
Result<ProgramState> front_end(std::string_view text);

}  // namespace mensurator

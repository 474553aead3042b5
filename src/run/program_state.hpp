#pragma once

#include <string>
#include <string_view>

#include "eval/evaluate.hpp"
#include "latex/format_settings.hpp"
#include "run/alias_table.hpp"
#include "run/shown_units.hpp"

namespace mensurator {

// Everything one run works on: its tables, its settings and the output so far.
struct ProgramState {
    VariableTable variables;
    std::string output;
    FormatSettings settings;
    AliasTable aliases;
    // Substitution steps: whether printed expressions show them, and what they write.
    bool steps = false;
    ShownUnits shown_units;
};

// The first lines of every document.
inline constexpr std::string_view preamble = "\\documentclass{article}\n\\begin{document}\n";

// A fresh state: the preamble, the constants \pi and e, the alias pi, the default settings.
ProgramState seeded_state();

}  // namespace mensurator

#pragma once

#include <map>
#include <string>
#include <vector>

#include "eval/evaluate.hpp"
#include "latex/format_settings.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

using AliasTable = std::map<std::string, std::string, std::less<>>;

// Everything one run works on: the program, its tables, its settings and the output so far.
struct ProgramState {
    VariableTable variables;
    std::vector<Statement> statements;
    std::string output;
    FormatSettings settings;
    AliasTable aliases;
};

}  // namespace mensurator

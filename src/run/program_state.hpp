#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "eval/evaluate.hpp"
#include "latex/format_settings.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Display names by name; looked up for every variable of every statement.
using AliasTable = std::unordered_map<std::string, std::string, NameHash, std::equal_to<>>;

// Everything one run works on: the program, its tables, its settings and the output so far.
struct ProgramState {
    VariableTable variables;
    std::vector<Statement> statements;
    std::unique_ptr<ExprStore> expressions;  // the statements' expressions
    std::string output;
    FormatSettings settings;
    AliasTable aliases;
};

}  // namespace mensurator

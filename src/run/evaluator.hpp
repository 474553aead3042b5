#pragma once

#include <string>

#include "run/error.hpp"
#include "run/program_state.hpp"

namespace mensurator {

// Renames, in place, every variable of the expression that has an alias. Function names and
// unit annotations are left alone; a replaced name is not looked up again.
void apply_aliases(Expr& expr, const AliasTable& aliases);

// Runs the statements in order and returns the finished document, or the first statement's
// error as "Line {line}: {message}" (nothing of the output is returned then).
Result<std::string> evaluate_program(ProgramState state);

}  // namespace mensurator

#pragma once

#include "expr/val.hpp"
#include "parser/tree.hpp"
#include "run/error.hpp"

namespace mensurator {

// Evaluates a call of one of the built-in functions.
Result<Value> call_function(const FnCall& call, const VariableTable& variables);

}  // namespace mensurator

#pragma once

#include "base/error.hpp"
#include "eval/evaluate.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Evaluates a call of one of the built-in functions.
Result<Value> call_function(const FnCall& call, const VariableTable& variables);

}  // namespace mensurator

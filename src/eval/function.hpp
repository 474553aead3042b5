#pragma once

#include "eval/evaluate.hpp"
#include "syntax/tree.hpp"
#include "base/error.hpp"

namespace mensurator {

// Evaluates a call of one of the built-in functions.
Result<Value> call_function(const FnCall& call, const VariableTable& variables);

}  // namespace mensurator

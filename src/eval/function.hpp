#pragma once

#include "base/error.hpp"
#include "eval/evaluate.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Calls one of the built-in functions.
// Evaluates the call node `call` of the store.
Result<Value> call_function(const ExprStore& store, NodeIndex call, const VariableTable& variables);

}  // namespace mensurator

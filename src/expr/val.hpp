#pragma once

#include <map>
#include <string>

#include "expr/value.hpp"
#include "parser/tree.hpp"
#include "run/error.hpp"

namespace mensurator {

using VariableTable = std::map<std::string, Value, std::less<>>;

// The value of an expression against the variables; names that are not variables are units.
Result<Value> evaluate(const Expr& expr, const VariableTable& variables);

}  // namespace mensurator

#pragma once

#include "base/error.hpp"
#include "quantity/unit.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Folds a unit-expression tree into one unit. Fails only when an exponent leaves -128..127.
// A node with the wrong operand count is an InternalError.
Result<Unit> evaluate_unit_expr(const UnitExpr& tree);

}  // namespace mensurator

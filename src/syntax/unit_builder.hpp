#pragma once

#include <string_view>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "quantity/unit_table.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Builds the unit-expression tree of a unit_expr node: unit names are looked up, parenthesised
// groups are evaluated into leaves, * and / associate to the left, ^ binds tightest.
Result<UnitExpr> build_unit_expr(const ParseNode& node, std::string_view source,
                                 UnitTable table = UnitTable::specified);

// build_unit_expr followed by evaluate_unit_expr.
Result<Unit> build_unit(const ParseNode& node, std::string_view source,
                        UnitTable table = UnitTable::specified);

}  // namespace mensurator

#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "syntax/tree.hpp"
#include "syntax/unit_chain.hpp"

namespace mensurator {

// Builds the expression tree of an expression node, applying the binding powers
// (+ - loosest, then * /, then unit annotations, then ^; all left-associative).
Result<Expr> parse_expression(const ParseNode& node, std::string_view source);

// The binding-power loop over the remaining children of one expression node.
Result<Expr> parse_expression_bp(ChildCursor& children, std::uint8_t min_bp,
                                 std::string_view source);

}  // namespace mensurator

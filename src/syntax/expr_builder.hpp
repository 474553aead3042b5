#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "syntax/expr_assembler.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// The operator a one-character operation stands for.
std::optional<OperatorKind> infix_operator(char symbol);

// The value of a number literal as matched (blanks around it allowed).
double parse_number(std::string_view text);
// The significant figures of a number as written: its digits from the first non-zero one on
// ("0.0250" has three), at most 255.
std::uint8_t written_figures(std::string_view text);

// Builds the expression of an expression node into the assembler's store.
Result<Expr> build_expression(const ParseNode& node, std::string_view source,
                              ExprAssembler& assembler);

}  // namespace mensurator

#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "grammar/parse.hpp"
#include "grammar/parse_node.hpp"
#include "syntax/expr_assembler.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Digit counts a document may set with !digits.
inline constexpr std::uint64_t max_digits = 1000;

// The statements that are their text: a digit count as matched, and a LaTeX block with its
// fences.
Result<Statement::Kind> digit_set_from(std::string_view integer_text);
Statement::Kind latex_block_from(std::string_view block_text);

// Builds one statement node; `lines` gives its line number.
Result<Statement> build_statement(const ParseNode& node, std::string_view source, LineCursor& lines,
                                  ExprAssembler& assembler);

}  // namespace mensurator

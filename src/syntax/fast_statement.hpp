#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "grammar/parse.hpp"
#include "syntax/expr_assembler.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Recognizes and builds the most common statements without the grammar engine: definitions and
// printed expressions made of names, numbers, operators and unit annotations, ending their line.
// What it puts into `built` is what building the engine's node for the statement at `start`
// gives, errors included, and the result is where the engine would look for the statement after
// it. Everything else, every statement that would fail to match included, is left to the engine:
// the result is then empty, and `built` and the store are as they were. `lines` is asked for the
// statement's line only on success. With `implied_line_end`, the text is read as if a line feed
// followed it.
std::optional<std::size_t> build_fast_statement(std::string_view text, bool implied_line_end,
                                                std::size_t start, LineCursor& lines,
                                                ExprAssembler& assembler,
                                                std::optional<Result<Statement>>& built);

}  // namespace mensurator

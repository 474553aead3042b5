#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "grammar/parse_node.hpp"

namespace mensurator {

// A statement matched without the grammar engine, and where the next statement starts.
struct FastStatement {
    ParseNode node;
    std::size_t next = 0;
};

// Matches the most common statements directly: definitions and printed expressions made of
// names, numbers, operators and unit annotations, ending their line. The result has exactly the
// nodes and spans the grammar engine gives the statement at `start`, and `next` is where the
// engine would look for the one after it. Everything else, every statement that would fail
// included, is left to the engine: the result is then empty.
std::optional<FastStatement> match_fast_statement(std::string_view text, std::size_t start);

}  // namespace mensurator

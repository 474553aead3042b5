#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "grammar/grammar_rule.hpp"

namespace mensurator {

// One successful match of a node-producing rule: byte offsets into the parsed text and the nodes
// produced inside it, in text order.
struct ParseNode {
    GrammarRule rule{};
    std::size_t start = 0;
    std::size_t end = 0;
    std::vector<ParseNode> children;

    std::string_view text(std::string_view source) const {
        return source.substr(start, end - start);
    }
};

}  // namespace mensurator

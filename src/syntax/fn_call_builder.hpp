#pragma once

#include <string_view>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Builds a call from a fn_call node: the name as matched and one expression per argument.
Result<FnCall> parse_fn_call(const ParseNode& node, std::string_view source);

}  // namespace mensurator

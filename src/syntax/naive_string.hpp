#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// The unit expression of a unit_expr node exactly as written, for display.
Result<NaiveUnit> parse_naive_unit(const ParseNode& node, std::string_view source);

// "\mathrm{...}" around the written units, fractions and powers.
Result<std::string> naive_to_latex(const NaiveUnit& naive);

}  // namespace mensurator

#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "quantity/unit_table.hpp"

namespace mensurator {

// The unit expression of a unit_expr node typeset as printed matter, in one \mathrm group: each
// name as its prefix and unit symbols (k\Omega, \mu F, Hz), a thin space between units, fractions
// and powers as written. Written parentheses stay, but for those around the whole of a
// fraction's numerator or denominator. Unknown names fail as their lookup does.
Result<std::string> printed_unit_latex(const ParseNode& unit_expr, std::string_view source,
                                       UnitTable table);

}  // namespace mensurator

#pragma once

#include <string>

#include "base/error.hpp"
#include "latex/format_settings.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Appends the expression's LaTeX to `out`; after a failure `out` holds part of it.
Result<void> append_expression(const Expr& expr, const FormatSettings& settings, std::string& out);

}  // namespace mensurator

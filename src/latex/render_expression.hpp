#pragma once

#include <string>

#include "latex/format_settings.hpp"
#include "syntax/tree.hpp"
#include "base/error.hpp"

namespace mensurator {

Result<std::string> render_expression(const Expr& expr, const FormatSettings& settings);
Result<std::string> render_call(const FnCall& call, const FormatSettings& settings);

}  // namespace mensurator

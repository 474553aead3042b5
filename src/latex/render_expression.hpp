#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "latex/format_settings.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Appends the expression's LaTeX to `out`; after a failure `out` holds part of it.
Result<void> append_expression(const Expr& expr, const FormatSettings& settings, std::string& out);

// What a substitution step writes in place of a variable's name.
class VariableSubstitution {
  public:
    // The LaTeX of the variable's value, or nothing to keep the name.
    virtual Result<std::optional<std::string>> value_latex(std::string_view name) const = 0;

  protected:
    ~VariableSubstitution() = default;
};

// The same with the variables that `substitution` knows written as their values, parenthesised
// where the bare value would read differently: a negative value after an operator or as a
// power's base, a value with a unit or a power of ten as a power's base or under an annotation,
// and one with a power of ten beside a multiplication.
Result<void> append_substituted_expression(const Expr& expr, const FormatSettings& settings,
                                           const VariableSubstitution& substitution,
                                           std::string& out);

}  // namespace mensurator

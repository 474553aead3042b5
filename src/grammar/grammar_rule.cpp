#include "grammar/grammar_rule.hpp"

#include <array>

namespace mensurator {

namespace {

constexpr std::array<std::string_view, grammar_rule_count> rule_names = {
    "integer",
    "number",
    "ident",
    "unit_expr",
    "unit_operation",
    "unit_postfix_operation",
    "unit",
    "unit_term",
    "paren_unit_expr",
    "expression",
    "term",
    "paren_expr",
    "fn_call",
    "operation",
    "add",
    "subtract",
    "multiply",
    "divide",
    "power",
    "statement",
    "error",
    "line_gap_stmt",
    "latex_block",
    "var_dec",
    "print_expr",
    "dec_print_expr",
    "alias_stmt",
    "format_directive",
    "digit_set",
    "set_scientific",
    "program",
    "sub_program",
    "WHITESPACE",
    "check_stmt",
    "relation",
    "set_steps",
};

}  // namespace

std::string_view rule_name(GrammarRule rule) {
    return rule_names.at(static_cast<std::size_t>(rule));
}

}  // namespace mensurator

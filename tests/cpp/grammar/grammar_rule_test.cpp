#include "grammar/grammar_rule.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string_view>
#include <utility>

namespace mensurator {
namespace {

// Each rule is named as in the grammar: tree texts in tests and the builders' internal error
// messages are written in these names. Nothing here depends on the rules' numeric values.
TEST(GrammarRules, AreNamedAsInTheGrammar) {
    const std::pair<GrammarRule, std::string_view> names[] = {
        {GrammarRule::program, "program"},
        {GrammarRule::sub_program, "sub_program"},
        {GrammarRule::statement, "statement"},
        {GrammarRule::error, "error"},
        {GrammarRule::line_gap_stmt, "line_gap_stmt"},
        {GrammarRule::latex_block, "latex_block"},
        {GrammarRule::var_dec, "var_dec"},
        {GrammarRule::print_expr, "print_expr"},
        {GrammarRule::dec_print_expr, "dec_print_expr"},
        {GrammarRule::alias_stmt, "alias_stmt"},
        {GrammarRule::format_directive, "format_directive"},
        {GrammarRule::digit_set, "digit_set"},
        {GrammarRule::set_scientific, "set_scientific"},
        {GrammarRule::expression, "expression"},
        {GrammarRule::term, "term"},
        {GrammarRule::paren_expr, "paren_expr"},
        {GrammarRule::fn_call, "fn_call"},
        {GrammarRule::operation, "operation"},
        {GrammarRule::add, "add"},
        {GrammarRule::subtract, "subtract"},
        {GrammarRule::multiply, "multiply"},
        {GrammarRule::divide, "divide"},
        {GrammarRule::power, "power"},
        {GrammarRule::unit_expr, "unit_expr"},
        {GrammarRule::unit_operation, "unit_operation"},
        {GrammarRule::unit_postfix_operation, "unit_postfix_operation"},
        {GrammarRule::unit, "unit"},
        {GrammarRule::unit_term, "unit_term"},
        {GrammarRule::paren_unit_expr, "paren_unit_expr"},
        {GrammarRule::integer, "integer"},
        {GrammarRule::number, "number"},
        {GrammarRule::ident, "ident"},
        {GrammarRule::WHITESPACE, "WHITESPACE"},
        {GrammarRule::check_stmt, "check_stmt"},
        {GrammarRule::relation, "relation"},
        {GrammarRule::set_steps, "set_steps"},
    };
    std::set<GrammarRule> listed;
    for (const auto& [rule, name] : names) {
        EXPECT_EQ(rule_name(rule), name);
        listed.insert(rule);
    }
    // Every rule is listed once, so that a new rule without its name here fails.
    EXPECT_EQ(listed.size(), std::size(names));
    EXPECT_EQ(listed.size(), grammar_rule_count);
}

}  // namespace
}  // namespace mensurator

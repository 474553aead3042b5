#pragma once

#include <cstdint>
#include <string_view>

namespace mensurator {

// The rules of the document grammar. The numeric order is the one used wherever rule lists are
// sorted.
enum class GrammarRule : std::uint8_t {
    integer,
    number,
    ident,
    unit_expr,
    unit_operation,
    unit_postfix_operation,
    unit,
    unit_term,
    paren_unit_expr,
    expression,
    term,
    paren_expr,
    fn_call,
    operation,
    add,
    subtract,
    multiply,
    divide,
    power,
    statement,
    error,
    line_gap_stmt,
    latex_block,
    var_dec,
    print_expr,
    dec_print_expr,
    alias_stmt,
    format_directive,
    digit_set,
    set_scientific,
    program,
    sub_program,
    WHITESPACE,
    check_stmt,
    relation,
    set_steps,
};

inline constexpr std::size_t grammar_rule_count = 36;

// The rule's name as written in the grammar (for diagnostics and tests).
std::string_view rule_name(GrammarRule rule);

}  // namespace mensurator

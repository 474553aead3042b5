#pragma once

// Matching one grammar rule alone, as the grammar tests do: a matcher of single rules on top of
// the grammar engine's matcher.

#include <expected>
#include <string_view>
#include <utility>
#include <vector>

#include "grammar/grammar_rule.hpp"
#include "grammar/matcher.hpp"
#include "grammar/parse.hpp"
#include "grammar/parse_node.hpp"

namespace mensurator {

class RuleMatcher : private Matcher {
  public:
    explicit RuleMatcher(std::string_view text) : Matcher(text, false) {}

    std::expected<std::vector<ParseNode>, ParseFailure> run(GrammarRule start) {
        const bool matched = dispatch(start);
        if (too_deep_) return failure(too_deep_at_, true);
        // A document must be matched to its end: a line that a statement only partly matches
        // is an error, not the silent end of the document.
        if (!matched || (start == GrammarRule::program && pos_ != size_)) {
            return failure(attempt_, false);
        }
        return std::move(out_);
    }

  private:
    bool dispatch(GrammarRule rule) {
        using enum GrammarRule;
        switch (rule) {
            case integer:
                return match_integer();
            case number:
                return match_number();
            case ident:
                return match_ident();
            case unit_expr:
                return match_unit_expr();
            case unit_operation:
                return match_unit_operation();
            case unit_postfix_operation:
                return match_unit_postfix_operation();
            case unit:
                return match_unit();
            case unit_term:
                return match_unit_term();
            case paren_unit_expr:
                return match_paren_unit_expr();
            case expression:
                return match_expression();
            case term:
                return match_term();
            case paren_expr:
                return match_paren_expr();
            case fn_call:
                return match_fn_call();
            case operation:
                return match_operation();
            case add:
                return symbol_rule(add, '+');
            case subtract:
                return symbol_rule(subtract, '-');
            case multiply:
                return symbol_rule(multiply, '*');
            case divide:
                return symbol_rule(divide, '/');
            case power:
                return symbol_rule(power, '^');
            case statement:
                return match_statement();
            case error:
                return match_error();
            case line_gap_stmt:
                return match_line_gap_stmt();
            case latex_block:
                return match_latex_block();
            case var_dec:
                return match_var_dec();
            case print_expr:
                return match_print_expr();
            case dec_print_expr:
                return match_dec_print_expr();
            case alias_stmt:
                return match_alias_stmt();
            case format_directive:
                return match_format_directive();
            case digit_set:
                return match_digit_set();
            case set_scientific:
                return match_set_scientific();
            case program:
                return match_program();
            case sub_program:
                return match_sub_program();
            case WHITESPACE:
                return match_whitespace();
            case check_stmt:
                return match_check_stmt();
            case relation:
                return match_relation();
            case set_steps:
                return match_set_steps();
        }
        return false;
    }
};

// Matches `start` at offset 0 of `text`. On success returns the top-level nodes; a match of
// `program` must reach the end of the text, otherwise the parse fails at the attempt position.
inline std::expected<std::vector<ParseNode>, ParseFailure> parse(GrammarRule start,
                                                                 std::string_view text) {
    return RuleMatcher(text).run(start);
}

}  // namespace mensurator

#pragma once

// The grammar engine's matcher. Only the statement stream matches documents with it; its rules
// and state are protected so that a matcher of single rules can be built on it.

#include <algorithm>
#include <cstddef>
#include <expected>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/utf8.hpp"
#include "grammar/char_classes.hpp"
#include "grammar/grammar_rule.hpp"
#include "grammar/parse.hpp"
#include "grammar/parse_node.hpp"
#include "grammar/scanner.hpp"

namespace mensurator {

// A packrat-free PEG matcher with one member function per grammar rule.
//
// Conventions: every matching function either succeeds (advancing `pos_` and leaving the nodes it
// produced at the end of `out_`) or fails leaving `pos_` and `out_` as it found them. Implicit
// white space follows the grammar's rules: between the elements of a sequence, and between the
// tries of a repetition (undone when the try fails); never inside atomic rules.
class Matcher : protected Scanner {
  public:
    Matcher(std::string_view text, bool implied_line_end)
        : Scanner(text, implied_line_end, 0), implied_line_end_(implied_line_end) {}

    // The document rule taken apart for streaming: the leading line ends, then one statement
    // per call, each followed by the blanks that the repetition skips.
    void begin_program() {
        skip_leading_line_ends();
        skip();
    }

    std::expected<std::optional<ParseNode>, ParseFailure> next_statement(bool first) {
        const bool matched = match_statement();
        if (too_deep_) return failure(too_deep_at_, true);
        if (!matched) {
            if (first || pos_ != size_) return failure(attempt_, false);
            return std::optional<ParseNode>{};
        }
        ParseNode node = std::move(out_.back());
        out_.pop_back();
        skip();
        return std::optional<ParseNode>(std::move(node));
    }

    // Where the next statement is looked for, and a move past statements matched elsewhere.
    std::size_t position() const { return pos_; }
    bool at_text_end() const { return pos_ >= size_; }
    void move_to(std::size_t position) { pos_ = position; }
    // Starts over at `position` after a failure, as if a statement had ended just before it.
    void resume_at(std::size_t position) {
        pos_ = position;
        attempt_ = position;
        atomic_ = 0;
        depth_ = 0;
        too_deep_ = false;
        out_.clear();
        skip();
    }

  protected:
    struct Mark {
        std::size_t pos;
        std::size_t nodes;
    };

    bool implied_line_end_;
    std::size_t attempt_ = 0;  // largest start of a failed node-producing rule
    int atomic_ = 0;           // > 0 while inside an atomic rule
    std::size_t depth_ = 0;    // bracket nesting
    bool too_deep_ = false;
    std::size_t too_deep_at_ = 0;
    std::vector<ParseNode> out_;  // produced nodes not yet taken by their parent

    // The first position at or after a given one whose character is wanted (the text's size if
    // none). The answer holds for every position between the scan's start and the answer, and
    // statement starts only move forward, so the scans stay linear over a whole line of
    // statements.
    class NextOccurrence {
      public:
        explicit NextOccurrence(bool (*wanted)(char)) : wanted_(wanted) {}

        std::size_t find(std::string_view text, std::size_t from) {
            if (from < scanned_from_ || from > found_at_) {
                scanned_from_ = from;
                found_at_ = static_cast<std::size_t>(
                    std::find_if(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                 wanted_) -
                    text.begin());
            }
            return found_at_;
        }

      private:
        bool (*wanted_)(char);
        std::size_t scanned_from_ = 1;
        std::size_t found_at_ = 0;
    };
    NextOccurrence next_question_mark_{[](char c) { return c == '?'; }};
    NextOccurrence next_line_end_{[](char c) { return c == '\n' || c == '\r'; }};

    std::unexpected<ParseFailure> failure(std::size_t position, bool nesting) const {
        const LineColumn at = line_column(text_, position, implied_line_end_);
        return std::unexpected(ParseFailure{position, at.line, at.column, nesting});
    }

    // ---- engine primitives ----

    Mark mark() const { return {pos_, out_.size()}; }

    void reset(Mark m) {
        pos_ = m.pos;
        if (out_.size() > m.nodes) {
            out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(m.nodes), out_.end());
        }
    }

    // Implicit white space, never inside atomic rules.
    void skip() {
        if (atomic_ > 0) return;
        Scanner::skip();
    }

    bool any_char() {
        if (at_end()) return false;
        pos_ += pos_ < text_.size() ? utf8_char_length(text_, pos_) : 1;
        return true;
    }

    // A normal rule: on success one node spanning the match, with the nodes produced inside it
    // as children; on failure an attempt event at its start. Inside atomic mode neither.
    template <class Body>
    bool rule(GrammarRule which, Body&& body) {
        if (too_deep_) return false;
        const Mark start = mark();
        if (!body()) {
            reset(start);
            if (atomic_ == 0) attempt_ = std::max(attempt_, start.pos);
            return false;
        }
        if (atomic_ == 0) {
            std::vector<ParseNode> children;
            if (out_.size() > start.nodes) {
                const auto first = out_.begin() + static_cast<std::ptrdiff_t>(start.nodes);
                children.assign(std::make_move_iterator(first),
                                std::make_move_iterator(out_.end()));
                out_.erase(first, out_.end());
            }
            out_.push_back(ParseNode{which, start.pos, pos_, std::move(children)});
        }
        return true;
    }

    // An atomic rule: its body runs without white-space skipping and produces no nodes.
    template <class Body>
    bool atomic_rule(GrammarRule which, Body&& body) {
        return rule(which, [&] {
            ++atomic_;
            const bool matched = body();
            --atomic_;
            return matched;
        });
    }

    // e*: greedy; between tries white space is skipped, and given back when the try fails.
    template <class Element>
    void repeat(Element&& element) {
        if (!element()) return;
        for (;;) {
            const Mark before = mark();
            skip();
            if (!element()) {
                reset(before);
                return;
            }
        }
    }

    // Runs `body` one bracket level deeper; past the nesting limit the whole parse fails.
    template <class Body>
    bool nested(Body&& body) {
        if (depth_ >= max_nesting_depth) {
            if (!too_deep_) too_deep_at_ = pos_;
            too_deep_ = true;
            return false;
        }
        ++depth_;
        const bool matched = body();
        --depth_;
        return matched;
    }

    // A sequence of elements with white space skipped between them; undone as a whole on failure.
    template <class... Elements>
    bool sequence(Elements&&... elements) {
        const Mark start = mark();
        bool first = true;
        const bool matched = ([&] {
            if (!first) skip();
            first = false;
            return elements();
        }() && ...);
        if (!matched) reset(start);
        return matched;
    }

    auto lit(std::string_view s) {
        return [this, s] { return literal(s); };
    }

    // ---- statements ----

    // LINE_END*, with blanks allowed between the line ends but not before the first.
    void skip_leading_line_ends() {
        if (!line_end()) return;
        for (;;) {
            const Mark before = mark();
            skip();
            if (!line_end()) {
                reset(before);
                return;
            }
        }
    }

    bool match_program() {
        const Mark start = mark();
        skip_leading_line_ends();
        skip();
        if (match_sub_program()) return true;
        reset(start);
        return false;
    }

    // statement ~ sub_program*, matched as a loop so that depth does not grow with the
    // number of statements.
    bool match_sub_program() {
        if (!match_statement()) return false;
        for (;;) {
            skip();
            if (!match_statement()) return true;
        }
    }

    // A statement is first matched without the two printing alternatives when its line holds no
    // "?": they would fail anyway. Their failed attempts still count for the failure position and
    // the nesting limit, so a statement that fails, or that ends up as an unrecognised line, is
    // matched again with every alternative.
    bool match_statement() {
        const Mark start = mark();
        const std::size_t attempt = attempt_;
        if (match_statement_with(line_has_question_mark())) {
            const GrammarRule content = out_.back().children.front().rule;
            if (content != GrammarRule::error) return true;
            reset(start);
        }
        attempt_ = attempt;
        return match_statement_with(true);
    }

    bool line_has_question_mark() {
        // Past the text there is at most the implied line end, and no question mark.
        if (pos_ >= text_.size()) return false;
        return next_question_mark_.find(text_, pos_) < next_line_end_.find(text_, pos_);
    }

    bool match_statement_with(bool printing) {
        return rule(GrammarRule::statement, [&] {
            if (match_latex_block() || match_line_gap_stmt()) return true;
            const bool content = match_format_directive() || match_check_stmt() ||
                                 (printing && (match_dec_print_expr() || match_print_expr())) ||
                                 match_var_dec() || match_alias_stmt() || match_error();
            if (!content) return false;
            skip();
            return line_end();
        });
    }

    bool match_format_directive() {
        return sequence(lit("!"), [&] {
            return match_digit_set() || match_set_scientific() || match_set_steps();
        });
    }

    // Whether only blanks remain on the line; consumes nothing.
    bool only_blanks_left() {
        const Mark start = mark();
        Scanner::skip();
        const bool blank = at_line_end();
        reset(start);
        return blank;
    }

    // "steps", alone on its line: any other line that starts so is the unrecognised line it
    // always was.
    bool match_set_steps() {
        return rule(GrammarRule::set_steps, [&] { return literal("steps") && only_blanks_left(); });
    }

    // "check" ~ expression ~ relation ~ expression, filling its line. The keyword must end
    // where a name would, so that `checks < 1` stays an unrecognised line. A line that does not
    // match it as a whole leaves no trace, neither a failure position nor a nesting failure:
    // every such line was, and stays, whatever the other alternatives make of it.
    bool match_check_stmt() {
        if (!starts_with_at(pos_, "check") ||
            (pos_ + 5 < size_ && is_ident_rest(char_at(pos_ + 5)))) {
            return false;
        }
        if (too_deep_) return false;
        const std::size_t attempt = attempt_;
        const std::size_t depth = depth_;
        const bool matched = rule(GrammarRule::check_stmt, [&] {
            return sequence(
                lit("check"), [&] { return match_expression(); }, [&] { return match_relation(); },
                [&] { return match_expression(); }, [&] { return only_blanks_left(); });
        });
        if (!matched) {
            attempt_ = attempt;
            depth_ = depth;
            too_deep_ = false;
        }
        return matched;
    }

    // "<=" | ">=" | "<" | ">"
    bool match_relation() {
        return atomic_rule(GrammarRule::relation, [&] {
            return literal("<=") || literal(">=") || literal("<") || literal(">");
        });
    }

    bool match_digit_set() {
        return rule(GrammarRule::digit_set,
                    [&] { return sequence(lit("digits"), [&] { return match_integer(); }); });
    }

    bool match_set_scientific() {
        return rule(GrammarRule::set_scientific, [&] { return literal("scientific"); });
    }

    // "=" ~ "?" ~ unit_expr?, the tail of both printing statements.
    auto print_tail() {
        return [this] {
            return sequence(lit("="), lit("?"), [&] {
                match_unit_expr();
                return true;
            });
        };
    }

    bool match_dec_print_expr() {
        return rule(GrammarRule::dec_print_expr, [&] {
            return sequence([&] { return match_ident(); }, lit("="),
                            [&] { return match_expression(); }, print_tail());
        });
    }

    bool match_print_expr() {
        return rule(GrammarRule::print_expr,
                    [&] { return sequence([&] { return match_expression(); }, print_tail()); });
    }

    bool match_var_dec() {
        return rule(GrammarRule::var_dec, [&] {
            return sequence([&] { return match_ident(); }, lit("="),
                            [&] { return match_expression(); });
        });
    }

    bool match_alias_stmt() {
        return rule(GrammarRule::alias_stmt, [&] {
            return sequence(
                lit("alias"), [&] { return match_ident(); }, [&] { return match_ident(); });
        });
    }

    // (!LINE_END ~ ANY_CHAR)*: the rest of the line, without its trailing blanks.
    bool match_error() {
        return rule(GrammarRule::error, [&] {
            repeat([&] {
                return sequence([&] { return !at_line_end(); }, [&] { return any_char(); });
            });
            return true;
        });
    }

    bool match_whitespace() { return char_if(is_blank); }

    bool match_line_gap_stmt() {
        return rule(GrammarRule::line_gap_stmt, [&] {
            repeat([&] { return match_whitespace(); });
            skip();
            return line_end();
        });
    }

    bool match_latex_block() {
        return rule(GrammarRule::latex_block, [&] {
            return sequence(
                lit("'''"),
                [&] {
                    repeat([&] {
                        return sequence([&] { return !starts_with_at(pos_, "'''"); },
                                        [&] { return any_char(); });
                    });
                    return true;
                },
                lit("'''"));
        });
    }

    bool match_ident() {
        return atomic_rule(GrammarRule::ident, [&] { return ident(); });
    }

    // ---- expressions ----

    bool match_expression() {
        return rule(GrammarRule::expression, [&] {
            if (!match_term()) return false;
            skip();
            repeat([&] {
                return sequence([&] { return match_operation(); }, [&] { return match_term(); });
            });
            return true;
        });
    }

    bool match_term() {
        // A call is only tried where a name and a parenthesis follow: elsewhere its attempt
        // would fail at the position where the identifier alternative then succeeds and is
        // followed by later attempts, so skipping it changes neither the nodes nor the failure
        // position.
        if ((at_call() && match_fn_call()) || match_paren_expr()) return true;
        if (!match_ident() && !match_number()) return false;
        skip();
        repeat([&] { return match_unit_expr(); });
        return true;
    }

    bool match_paren_expr() {
        return sequence(
            lit("("), [&] { return nested([&] { return match_expression(); }); }, lit(")"));
    }

    bool match_fn_call() {
        return rule(GrammarRule::fn_call, [&] {
            return sequence([&] { return match_ident(); }, lit("("),
                            [&] {
                                return nested([&] {
                                    return sequence([&] { return match_expression(); },
                                                    [&] {
                                                        repeat([&] {
                                                            return sequence(lit(","), [&] {
                                                                return match_expression();
                                                            });
                                                        });
                                                        return true;
                                                    },
                                                    lit(")"));
                                });
                            });
        });
    }

    bool symbol_rule(GrammarRule which, char symbol) {
        return rule(which, [&] { return literal(std::string_view(&symbol, 1)); });
    }

    bool match_operation() {
        using enum GrammarRule;
        return atomic_rule(operation, [&] {
            return symbol_rule(add, '+') || symbol_rule(subtract, '-') ||
                   symbol_rule(multiply, '*') || symbol_rule(divide, '/') ||
                   symbol_rule(power, '^');
        });
    }

    bool match_number() {
        return atomic_rule(GrammarRule::number, [&] { return number(); });
    }

    bool match_integer() {
        return atomic_rule(GrammarRule::integer, [&] { return integer(); });
    }

    // ---- unit expressions ----

    bool match_unit_expr() {
        return rule(GrammarRule::unit_expr, [&] {
            if (!match_unit_term()) return false;
            skip();
            repeat([&] {
                return sequence([&] { return match_unit_operation(); },
                                [&] { return match_unit_term(); });
            });
            return true;
        });
    }

    bool match_unit_term() {
        return sequence([&] { return match_unit(); },
                        [&] { return match_unit_postfix_operation(); }) ||
               match_paren_unit_expr() ||
               sequence(lit("1"), [&] { return match_unit_operation(); }) || match_unit();
    }

    bool match_paren_unit_expr() {
        return sequence(
            lit("("), [&] { return nested([&] { return match_unit_expr(); }); }, lit(")"));
    }

    bool match_unit_operation() {
        return rule(GrammarRule::unit_operation, [&] { return literal("*") || literal("/"); });
    }

    bool match_unit_postfix_operation() {
        return rule(GrammarRule::unit_postfix_operation,
                    [&] { return sequence(lit("^"), [&] { return match_integer(); }); });
    }

    // ([a-z] | [A-Z])+: the blanks after the first letter stay consumed even when no second
    // letter follows; later blanks only when another letter does.
    bool match_unit() {
        return rule(GrammarRule::unit, [&] {
            if (!char_if(is_letter)) return false;
            skip();
            repeat([&] { return char_if(is_letter); });
            return true;
        });
    }
};

}  // namespace mensurator

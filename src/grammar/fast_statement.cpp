#include "grammar/fast_statement.hpp"

#include <iterator>
#include <utility>
#include <vector>

#include "grammar/char_classes.hpp"

namespace mensurator {

namespace {

// What the recognizer leaves to the engine wholesale: LaTeX blocks ('), directives (!),
// parentheses of groups and calls, argument lists (,), and lines without a line end.
bool plain_line(std::string_view text, std::size_t start, bool& has_question_mark) {
    for (std::size_t at = start; at < text.size(); ++at) {
        switch (text[at]) {
            case '\n':
            case '\r':
                return true;
            case '?':
                has_question_mark = true;
                break;
            case '\'':
            case '!':
            case '(':
            case ')':
            case ',':
                return false;
            default:
                break;
        }
    }
    return false;
}

// One function per grammar rule it handles, each doing what the engine's rule of the same name
// does: the same white-space skipping, the same nodes, the same spans. A function that returns
// false has left the position and the nodes as it found them. `bail_` marks a form the
// recognizer does not handle; the statement then goes to the engine.
class FastMatcher {
  public:
    FastMatcher(std::string_view text, std::size_t start) : text_(text), pos_(start) {
        out_.reserve(16);  // a statement's nodes before they are gathered under their parents
    }

    std::optional<FastStatement> statement() {
        bool printing = false;
        if (!plain_line(text_, pos_, printing)) return std::nullopt;
        const Mark start = mark();
        const bool content = printing ? dec_print_expr() || print_expr() : var_dec();
        if (bail_ || !content) return std::nullopt;
        skip();
        if (!line_end()) return std::nullopt;
        close(GrammarRule::statement, start);
        skip();
        return FastStatement{std::move(out_.back()), pos_};
    }

  private:
    struct Mark {
        std::size_t pos;
        std::size_t nodes;
    };

    std::string_view text_;
    std::size_t pos_;
    bool bail_ = false;
    std::vector<ParseNode> out_;  // produced nodes not yet taken by their parent

    Mark mark() const { return {pos_, out_.size()}; }

    void reset(Mark m) {
        pos_ = m.pos;
        out_.resize(m.nodes);
    }

    // The nodes produced since `start` become the children of one node of `rule`.
    void close(GrammarRule rule, Mark start) {
        std::vector<ParseNode> children(
            std::make_move_iterator(out_.begin() + static_cast<std::ptrdiff_t>(start.nodes)),
            std::make_move_iterator(out_.end()));
        out_.resize(start.nodes);
        out_.push_back(ParseNode{rule, start.pos, pos_, std::move(children)});
    }

    void leaf(GrammarRule rule, std::size_t start) {
        out_.push_back(ParseNode{rule, start, pos_, {}});
    }

    bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

    template <class Predicate>
    bool char_if(Predicate predicate) {
        if (pos_ >= text_.size() || !predicate(text_[pos_])) return false;
        ++pos_;
        return true;
    }

    void skip() {
        while (char_if(is_blank)) {
        }
    }

    bool line_end() {
        if (at('\n')) {
            ++pos_;
            return true;
        }
        if (!at('\r')) return false;
        ++pos_;
        if (at('\n')) ++pos_;
        return true;
    }

    // e*: white space is skipped between tries and given back when a try fails.
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

    bool digits() {
        if (!char_if(is_digit)) return false;
        while (char_if(is_digit)) {
        }
        return true;
    }

    bool ident() {
        const std::size_t start = pos_;
        if (!char_if(is_ident_start)) return false;
        while (char_if(is_ident_rest)) {
        }
        leaf(GrammarRule::ident, start);
        return true;
    }

    bool number() {
        const std::size_t start = pos_;
        if (at('-')) ++pos_;
        if (!digits()) {
            pos_ = start;
            return false;
        }
        const std::size_t fraction = pos_;
        if (at('.')) {
            ++pos_;
            if (!digits()) pos_ = fraction;
        }
        leaf(GrammarRule::number, start);
        return true;
    }

    bool integer() {
        const std::size_t start = pos_;
        if (at('-')) ++pos_;
        if (!digits()) {
            pos_ = start;
            return false;
        }
        leaf(GrammarRule::integer, start);
        return true;
    }

    bool operation() {
        if (pos_ >= text_.size()) return false;
        switch (text_[pos_]) {
            case '+':
            case '-':
            case '*':
            case '/':
            case '^':
                ++pos_;
                leaf(GrammarRule::operation, pos_ - 1);
                return true;
            default:
                return false;
        }
    }

    // A letter, the blanks after it, then more letters with blanks between them.
    bool unit() {
        const std::size_t start = pos_;
        if (!char_if(is_letter)) return false;
        skip();
        repeat([&] { return char_if(is_letter); });
        leaf(GrammarRule::unit, start);
        return true;
    }

    bool unit_operation() {
        if (!at('*') && !at('/')) return false;
        ++pos_;
        leaf(GrammarRule::unit_operation, pos_ - 1);
        return true;
    }

    bool unit_postfix_operation() {
        const Mark start = mark();
        if (!at('^')) return false;
        ++pos_;
        skip();
        if (!integer()) {
            reset(start);
            return false;
        }
        close(GrammarRule::unit_postfix_operation, start);
        return true;
    }

    // unit ~ unit_postfix_operation | paren_unit_expr | "1" ~ unit_operation | unit. The line
    // holds no parentheses; the "1/s" form is left to the engine.
    bool unit_term() {
        const Mark start = mark();
        if (unit()) {
            skip();
            if (unit_postfix_operation()) return true;
        }
        reset(start);
        if (at('1')) {
            ++pos_;
            skip();
            if (at('*') || at('/')) bail_ = true;
            reset(start);
            if (bail_) return false;
        }
        return unit();
    }

    bool unit_expr() {
        const Mark start = mark();
        if (!unit_term()) return false;
        skip();
        repeat([&] {
            const Mark before = mark();
            if (!unit_operation()) return false;
            skip();
            if (unit_term()) return true;
            reset(before);
            return false;
        });
        close(GrammarRule::unit_expr, start);
        return true;
    }

    // A name or a number with its unit annotations; the line holds no calls or groups.
    bool term() {
        if (!ident() && !number()) return false;
        skip();
        repeat([&] { return unit_expr(); });
        return true;
    }

    bool expression() {
        const Mark start = mark();
        if (!term()) return false;
        skip();
        repeat([&] {
            const Mark before = mark();
            if (!operation()) return false;
            skip();
            if (term()) return true;
            reset(before);
            return false;
        });
        close(GrammarRule::expression, start);
        return true;
    }

    // Consumes "=" then, after blanks, `next`; gives both back when either is missing.
    template <class Next>
    bool equals_then(Next&& next) {
        const Mark start = mark();
        if (!at('=')) return false;
        ++pos_;
        skip();
        if (next()) return true;
        reset(start);
        return false;
    }

    // "=" ~ "?" ~ unit_expr?
    bool print_tail() {
        return equals_then([&] {
            if (!at('?')) return false;
            ++pos_;
            skip();
            unit_expr();
            return true;
        });
    }

    // ident ~ "=" ~ expression: how both definitions begin.
    bool name_equals_expression() {
        const Mark start = mark();
        if (!ident()) return false;
        skip();
        if (equals_then([&] { return expression(); })) return true;
        reset(start);
        return false;
    }

    bool var_dec() {
        const Mark start = mark();
        if (!name_equals_expression()) return false;
        close(GrammarRule::var_dec, start);
        return true;
    }

    bool dec_print_expr() {
        const Mark start = mark();
        if (!name_equals_expression()) return false;
        skip();
        if (!print_tail()) {
            reset(start);
            return false;
        }
        close(GrammarRule::dec_print_expr, start);
        return true;
    }

    bool print_expr() {
        const Mark start = mark();
        if (!expression()) return false;
        skip();
        if (!print_tail()) {
            reset(start);
            return false;
        }
        close(GrammarRule::print_expr, start);
        return true;
    }
};

}  // namespace

std::optional<FastStatement> match_fast_statement(std::string_view text, std::size_t start) {
    return FastMatcher(text, start).statement();
}

}  // namespace mensurator

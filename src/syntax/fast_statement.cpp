#include "syntax/fast_statement.hpp"

#include <iterator>
#include <utility>
#include <vector>

#include "grammar/char_classes.hpp"
#include "syntax/expr_builder.hpp"
#include "syntax/statement_builder.hpp"

namespace mensurator {

namespace {

// What the recognizer leaves to the engine wholesale: LaTeX blocks ('), directives (!),
// parentheses of groups and calls, argument lists (,), and lines without a line end.
bool plain_line(std::string_view text, bool implied_line_end, std::size_t start,
                bool& has_question_mark) {
    for (std::size_t at = start;; ++at) {
        if (at == text.size()) return implied_line_end;
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
}

// One function per grammar rule it handles, each matching what the engine's rule of the same
// name matches, with the same white-space skipping. Unit expressions are matched into the
// engine's nodes, which their builders take; everything else of an expression goes straight to
// the assembler, in written order, once it can no longer be given back. A function that returns
// false has left the position and the nodes as it found them. `bail_` marks a form the
// recognizer does not handle; the statement then goes to the engine.
class FastMatcher {
  public:
    FastMatcher(std::string_view text, bool implied_line_end, std::size_t start,
                ExprAssembler& assembler)
        : text_(text),
          size_(text.size() + (implied_line_end ? 1 : 0)),
          pos_(start),
          assembler_(assembler),
          store_(assembler.store()) {
        out_.reserve(16);  // a unit expression's nodes before they are gathered under their parents
    }

    std::optional<FastStatement> statement(LineCursor& lines) {
        bool printing = false;
        if (pos_ > text_.size() || !plain_line(text_, size_ > text_.size(), pos_, printing)) {
            return std::nullopt;
        }
        const std::size_t start = pos_;
        const ExprStore::Mark before = store_.mark();
        bool content = false;
        if (printing) {
            content = dec_print_expr();
            if (!content) {
                forget_built(before);
                content = print_expr();
            }
        } else {
            content = var_dec();
        }
        if (content && !bail_) {
            skip();
            if (line_end()) {
                skip();
                return FastStatement{built_statement(lines.line_at(start)), pos_};
            }
        }
        forget_built(before);
        return std::nullopt;
    }

  private:
    struct Mark {
        std::size_t pos;
        std::size_t nodes;
    };

    std::string_view text_;
    std::size_t size_;  // the text's, and one more for an implied final line end
    std::size_t pos_;
    ExprAssembler& assembler_;
    ExprStore& store_;
    bool bail_ = false;
    std::vector<ParseNode> out_;  // unit-expression nodes not yet taken by their parent

    // What the statement is made of, once matched.
    GrammarRule kind_ = GrammarRule::var_dec;
    std::string_view name_;
    Expr expr_;
    std::optional<ParseNode> hint_;
    std::optional<RunError> expr_error_;  // the first error building the expression met

    void forget_built(ExprStore::Mark before) {
        assembler_.reset();
        store_.truncate(before);
        expr_error_.reset();
        hint_.reset();
        out_.clear();
    }

    Result<Statement> built_statement(std::uint64_t line) {
        // A hint is built before the expression, so its error comes first.
        std::shared_ptr<const UnitHint> hint;
        if (hint_) {
            Result<std::shared_ptr<const UnitHint>> built = assembler_.units().hint(*hint_, text_);
            if (!built) return fail(statement_error(line, built.error()));
            hint = std::move(*built);
        }
        if (expr_error_) return fail(statement_error(line, *expr_error_));
        switch (kind_) {
            case GrammarRule::var_dec:
                return Statement{line, VarDec{name_, expr_}};
            case GrammarRule::dec_print_expr:
                return Statement{line, DecPrintExpr{name_, expr_, std::move(hint)}};
            default:
                return Statement{line, PrintExpr{expr_, std::move(hint)}};
        }
    }

    // ---- what goes to the assembler; nothing more once building has failed ----

    void emit_variable(std::size_t start) {
        if (expr_error_) return;
        assembler_.operand(store_.add_named(ExprKind::Variable, text_.substr(start, pos_ - start)));
    }

    void emit_number(std::size_t start) {
        if (expr_error_) return;
        assembler_.operand(store_.add_number(parse_number(text_.substr(start, pos_ - start))));
    }

    void emit_infix(char symbol) {
        if (!expr_error_) assembler_.infix(*infix_operator(symbol));
    }

    // The unit_expr node just matched annotates the operand before it.
    void emit_annotation() {
        ParseNode node = std::move(out_.back());
        out_.pop_back();
        if (expr_error_) return;
        Result<std::uint32_t> annotation = assembler_.units().annotation(node, text_, store_);
        if (!annotation) {
            expr_error_ = std::move(annotation.error());
            return;
        }
        assembler_.annotation(*annotation);
    }

    // ---- matching ----

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

    // The character at `at`, the implied line end included.
    char char_at(std::size_t at) const { return at < text_.size() ? text_[at] : '\n'; }

    bool at(char c) const { return pos_ < size_ && char_at(pos_) == c; }

    template <class Predicate>
    bool char_if(Predicate predicate) {
        if (pos_ >= size_ || !predicate(char_at(pos_))) return false;
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
        if (!char_if(is_ident_start)) return false;
        while (char_if(is_ident_rest)) {
        }
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
        return true;
    }

    // Whether a term starts here: a name, or a number with its optional minus sign.
    bool term_ahead() const {
        if (pos_ >= size_) return false;
        const char c = char_at(pos_);
        if (is_ident_start(c) || is_digit(c)) return true;
        return c == '-' && pos_ + 1 < size_ && is_digit(char_at(pos_ + 1));
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

    bool operation(char& symbol) {
        if (pos_ >= size_) return false;
        switch (char_at(pos_)) {
            case '+':
            case '-':
            case '*':
            case '/':
            case '^':
                symbol = text_[pos_++];
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
        const std::size_t start = pos_;
        if (ident()) {
            emit_variable(start);
        } else if (number()) {
            emit_number(start);
        } else {
            return false;
        }
        skip();
        repeat([&] {
            if (!unit_expr()) return false;
            emit_annotation();
            return true;
        });
        return true;
    }

    // Matches an expression into the assembler; an operator goes to it only once the term
    // after it has started, when it can no longer be given back.
    bool expression() {
        const NodeIndex begin = static_cast<NodeIndex>(store_.nodes.size());
        const ExprAssembler::Outer outer = assembler_.begin();
        if (!term()) return false;
        skip();
        repeat([&] {
            const Mark before = mark();
            char symbol = 0;
            if (!operation(symbol)) return false;
            skip();
            if (!term_ahead()) {
                reset(before);
                return false;
            }
            emit_infix(symbol);
            return term();
        });
        if (expr_error_) {
            assembler_.reset();
        } else {
            const NodeIndex root = assembler_.finish(outer);
            expr_ = Expr{&store_, root, begin, static_cast<NodeIndex>(store_.nodes.size())};
        }
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

    // "=" ~ "?" ~ unit_expr?; a unit expression matched is the hint.
    bool print_tail() {
        return equals_then([&] {
            if (!at('?')) return false;
            ++pos_;
            skip();
            if (unit_expr()) {
                hint_ = std::move(out_.back());
                out_.pop_back();
            }
            return true;
        });
    }

    // ident ~ "=" ~ expression: how both definitions begin.
    bool name_equals_expression() {
        const Mark start = mark();
        if (!ident()) return false;
        name_ = text_.substr(start.pos, pos_ - start.pos);
        skip();
        if (equals_then([&] { return expression(); })) return true;
        reset(start);
        return false;
    }

    bool var_dec() {
        kind_ = GrammarRule::var_dec;
        return name_equals_expression();
    }

    bool dec_print_expr() {
        kind_ = GrammarRule::dec_print_expr;
        const Mark start = mark();
        if (!name_equals_expression()) return false;
        skip();
        if (!print_tail()) {
            reset(start);
            return false;
        }
        return true;
    }

    bool print_expr() {
        kind_ = GrammarRule::print_expr;
        const Mark start = mark();
        if (!expression()) return false;
        skip();
        if (!print_tail()) {
            reset(start);
            return false;
        }
        return true;
    }
};

}  // namespace

std::optional<FastStatement> build_fast_statement(std::string_view text, bool implied_line_end,
                                                  std::size_t start, LineCursor& lines,
                                                  ExprAssembler& assembler) {
    return FastMatcher(text, implied_line_end, start, assembler).statement(lines);
}

}  // namespace mensurator

#include "syntax/fast_statement.hpp"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "grammar/char_classes.hpp"
#include "grammar/scanner.hpp"
#include "syntax/expr_builder.hpp"
#include "syntax/statement_builder.hpp"

namespace mensurator {

namespace {

// One function per grammar rule it handles, each matching what the engine's rule of the same
// name matches, with the same white-space skipping. Unit expressions are matched into the
// engine's nodes, which their builders take; everything else of an expression goes straight to
// the assembler, in written order, once it can no longer be given back. A function that returns
// false has left the position and the nodes as it found them. `bail_` marks a form the
// recognizer does not handle; the statement then goes to the engine.
class FastMatcher : private Scanner {
  public:
    FastMatcher(std::string_view text, bool implied_line_end, std::size_t start,
                ExprAssembler& assembler, std::optional<Result<Statement>>& built)
        : Scanner(text, implied_line_end, start),
          assembler_(assembler),
          store_(assembler.store()),
          built_(built) {}

    // The engine's order: a LaTeX block, a line gap, a directive, then a definition, a printing
    // statement or an alias. The engine tries the printing statements first when the line holds a
    // "?"; which of them the line is shows as it is read, so it is read once.
    std::optional<std::size_t> statement(LineCursor& lines) {
        const std::size_t start = pos_;
        if (start >= size_) return std::nullopt;
        if (starts_with_fence(start)) return latex_block(lines);
        if (at_line_end()) {
            line_end();
            skip();
            built_.emplace(std::in_place, line_of(lines, start, start), LineGap{});
            return pos_;
        }
        if (at('!')) return directive(lines);
        const ExprStore::Mark before = store_.mark();
        if (content() && !bail_) {
            skip();
            const std::size_t end = pos_;
            if (line_end()) {
                skip();
                build(line_of(lines, start, end));
                return pos_;
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

    ExprAssembler& assembler_;
    ExprStore& store_;
    std::optional<Result<Statement>>& built_;
    bool bail_ = false;
    bool recording_ = false;      // whether unit expressions make their nodes
    std::size_t depth_ = 0;       // bracket nesting
    std::vector<ParseNode> out_;  // unit-expression nodes not yet taken by their parent

    // What the statement is made of, once matched.
    GrammarRule kind_ = GrammarRule::var_dec;
    std::string_view name_;
    std::string_view display_;  // an alias's
    Expr expr_;
    std::optional<std::size_t> hint_start_;  // where the hint's unit expression starts
    std::size_t hint_end_ = 0;
    std::optional<RunError> expr_error_;  // the first error building the expression met

    // The line of the statement at `start`, which has been read up to here; `lines` moves on
    // here, counting only the line feeds from `rest` on, where those before cannot be.
    std::uint64_t line_of(LineCursor& lines, std::size_t start, std::size_t rest) const {
        const std::uint64_t line = lines.line_at(start);
        const std::size_t end = std::min(pos_, text_.size());
        lines.move_on(end, static_cast<std::size_t>(
                               std::count(text_.begin() + rest, text_.begin() + end, '\n')));
        return line;
    }

    void forget_built(ExprStore::Mark before) {
        assembler_.reset();
        store_.truncate(before);
        expr_error_.reset();
        hint_start_.reset();
        out_.clear();
    }

    // The statement matched, or the error building it.
    void build(std::uint64_t line) {
        // A hint is built before the expression, so its error comes first.
        std::shared_ptr<const UnitHint> hint;
        if (hint_start_) {
            const std::string_view text = text_.substr(*hint_start_, hint_end_ - *hint_start_);
            hint = assembler_.units().known_hint(text);
            if (!hint) {
                const ParseNode node = unit_expr_node(*hint_start_, hint_end_);
                Result<std::shared_ptr<const UnitHint>> built =
                    assembler_.units().hint(node, text_);
                if (!built) return fail_with(statement_error(line, built.error()));
                hint = std::move(*built);
            }
        }
        if (expr_error_) return fail_with(statement_error(line, *expr_error_));
        switch (kind_) {
            case GrammarRule::var_dec:
                built_.emplace(std::in_place, line, VarDec{name_, expr_});
                return;
            case GrammarRule::dec_print_expr:
                built_.emplace(std::in_place, line, DecPrintExpr{name_, expr_, std::move(hint)});
                return;
            case GrammarRule::alias_stmt:
                built_.emplace(std::in_place, line,
                               AliasStmt{std::string(name_), std::string(display_)});
                return;
            default:
                built_.emplace(std::in_place, line, PrintExpr{expr_, std::move(hint)});
                return;
        }
    }

    void fail_with(RunError error) { built_.emplace(std::unexpect, std::move(error)); }

    // The statement's content up to its line end. A line the engine would take as a definition
    // or an alias holds no "?" once matched to its end; one it would take as a printing statement
    // has the "=?" of its print tail. Neither kind matches a line of the other, so the first that
    // matches to the line end is the engine's. The blanks before the line end are left.
    bool content() {
        const Mark start = mark();
        if (!ident()) return print_expr();
        name_ = text_.substr(start.pos, pos_ - start.pos);
        skip();
        if (!at('=')) {
            reset(start);
            if (alias() && blanks_then_line_end()) return true;
            reset(start);
            return print_expr();
        }
        ++pos_;
        skip();
        if (at('?')) {  // a printed name: "x =? m"
            reset(start);
            return print_expr();
        }
        kind_ = GrammarRule::var_dec;
        if (!statement_expression()) return false;
        if (blanks_then_line_end()) return true;
        kind_ = GrammarRule::dec_print_expr;
        return ends_printing(start);
    }

    bool blanks_then_line_end() {
        const std::size_t resume = pos_;
        skip();
        const bool line_ends = at_line_end();
        pos_ = resume;
        return line_ends;
    }

    // ---- statements made of their text ----

    bool starts_with_fence(std::size_t at) const {
        return text_.substr(std::min(at, text_.size())).starts_with("'''");
    }

    // ''' ~ (!''' ~ ANY_CHAR)* ~ ''': the block ends at the first fence after the opening one,
    // and the next statement starts right after it. Blocks with characters beyond ASCII are left
    // to the engine, which steps over them as whole characters.
    std::optional<std::size_t> latex_block(LineCursor& lines) {
        const std::size_t start = pos_;
        const std::size_t close = text_.find("'''", start + 3);
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view block = text_.substr(start, close + 3 - start);
        for (const char c : block) {
            if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
        }
        pos_ = close + 3;
        skip();
        built_.emplace(std::in_place, line_of(lines, start, start),
                       std::get<LatexBlock>(latex_block_from(block)));
        return pos_;
    }

    // "!" ~ ("digits" ~ integer | "scientific"), then the line end.
    std::optional<std::size_t> directive(LineCursor& lines) {
        const std::size_t start = pos_;
        ++pos_;
        skip();
        std::optional<std::string_view> digits;  // a digit count as written
        if (literal("digits")) {
            skip();
            const std::size_t digits_start = pos_;
            if (!integer_leaf()) return std::nullopt;
            digits = text_.substr(digits_start, pos_ - digits_start);
        } else if (!literal("scientific")) {
            return std::nullopt;
        }
        skip();
        const std::size_t end = pos_;
        if (!line_end()) return std::nullopt;
        skip();
        const std::uint64_t line = line_of(lines, start, end);
        if (!digits) {
            built_.emplace(std::in_place, line, SetScientific{});
            return pos_;
        }
        const Result<Statement::Kind> digit_set = digit_set_from(*digits);
        if (digit_set) {
            built_.emplace(std::in_place, line, std::get<DigitSet>(*digit_set));
        } else {
            fail_with(statement_error(line, digit_set.error()));
        }
        return pos_;
    }

    // "alias" ~ ident ~ ident
    bool alias() {
        kind_ = GrammarRule::alias_stmt;
        const Mark start = mark();
        if (!literal("alias")) return false;
        skip();
        const std::size_t name_start = pos_;
        if (!ident()) {
            reset(start);
            return false;
        }
        name_ = text_.substr(name_start, pos_ - name_start);
        skip();
        const std::size_t display_start = pos_;
        if (!ident()) {
            reset(start);
            return false;
        }
        display_ = text_.substr(display_start, pos_ - display_start);
        return true;
    }

    // ---- what goes to the assembler; nothing more once building has failed ----

    void emit_variable(std::size_t start) {
        if (expr_error_) return;
        assembler_.operand(store_.add_named(ExprKind::Variable, text_.substr(start, pos_ - start)));
    }

    void emit_number(std::size_t start) {
        if (expr_error_) return;
        const std::string_view number = text_.substr(start, pos_ - start);
        assembler_.operand(store_.add_number(parse_number(number), written_figures(number)));
    }

    void emit_infix(char symbol) {
        if (!expr_error_) assembler_.infix(*infix_operator(symbol));
    }

    // The unit expression just matched from `start` annotates the operand before it. Its nodes
    // are made only for a text the cache does not know yet.
    void emit_annotation(std::size_t start) {
        if (expr_error_) return;
        const std::string_view text = text_.substr(start, pos_ - start);
        if (const auto known = assembler_.units().known_annotation(text, store_)) {
            assembler_.annotation(*known);
            return;
        }
        const ParseNode node = unit_expr_node(start, pos_);
        Result<std::uint32_t> annotation = assembler_.units().annotation(node, text_, store_);
        if (!annotation) {
            expr_error_ = std::move(annotation.error());
            return;
        }
        assembler_.annotation(*annotation);
    }

    // ---- matching ----

    // The nodes of the unit expression matched from `start` to `end`, matched again to make them:
    // unit expressions are matched without their nodes otherwise.
    ParseNode unit_expr_node(std::size_t start, std::size_t end) {
        const std::size_t resume = pos_;
        pos_ = start;
        recording_ = true;
        const bool matched = unit_expr();
        recording_ = false;
        if (!matched || pos_ != end) throw InternalError("a unit expression matched differently");
        pos_ = resume;
        ParseNode node = std::move(out_.back());
        out_.pop_back();
        return node;
    }

    Mark mark() const { return {pos_, recording_ ? out_.size() : 0}; }

    void reset(Mark m) {
        pos_ = m.pos;
        if (recording_) out_.resize(m.nodes);
    }

    // The nodes produced since `start` become the children of one node of `rule`.
    void close(GrammarRule rule, Mark start) {
        if (!recording_) return;
        std::vector<ParseNode> children(
            std::make_move_iterator(out_.begin() + static_cast<std::ptrdiff_t>(start.nodes)),
            std::make_move_iterator(out_.end()));
        out_.resize(start.nodes);
        out_.push_back(ParseNode{rule, start.pos, pos_, std::move(children)});
    }

    void leaf(GrammarRule rule, std::size_t start) {
        if (!recording_) return;
        out_.push_back(ParseNode{rule, start, pos_, {}});
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

    // Whether a term starts here: a name, or a number with its optional minus sign.
    bool term_ahead() const {
        if (pos_ >= size_) return false;
        const char c = char_at(pos_);
        if (is_ident_start(c) || is_digit(c) || c == '(') return true;
        return c == '-' && pos_ + 1 < size_ && is_digit(char_at(pos_ + 1));
    }

    bool integer_leaf() {
        const std::size_t start = pos_;
        if (!integer()) return false;
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

    // A letter, the blanks after it, then more letters with blanks between them; the blanks after
    // a later letter are given back.
    bool unit() {
        const std::size_t start = pos_;
        if (!char_if(is_letter)) return false;
        skip();
        if (char_if(is_letter)) {
            for (std::size_t end = pos_;; end = pos_) {
                skip();
                if (!char_if(is_letter)) {
                    pos_ = end;
                    break;
                }
            }
        }
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
        if (!integer_leaf()) {
            reset(start);
            return false;
        }
        close(GrammarRule::unit_postfix_operation, start);
        return true;
    }

    // unit ~ unit_postfix_operation | paren_unit_expr | "1" ~ unit_operation | unit. A unit
    // without a power is the last alternative, which matches what the first began with. Unit
    // groups and the "1/s" form are left to the engine.
    bool unit_term() {
        const Mark start = mark();
        if (unit()) {
            const Mark bare = mark();
            skip();
            if (!unit_postfix_operation()) reset(bare);
            return true;
        }
        if (at('(')) {
            bail_ = true;
            return false;
        }
        if (at('1')) {
            ++pos_;
            skip();
            if (at('*') || at('/')) bail_ = true;
            reset(start);
        }
        return false;
    }

    bool unit_expr() {
        // What unit_term's alternatives start with; most terms have no annotation.
        if (pos_ >= text_.size()) return false;
        if (const char c = text_[pos_]; !is_letter(c) && c != '(' && c != '1') return false;
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

    // Brackets nest one level deeper; at the limit the engine reports the statement.
    bool enter_bracket() {
        if (depth_ >= max_nesting_depth) {
            bail_ = true;
            return false;
        }
        ++depth_;
        return true;
    }

    // "(" ~ expression ~ ")". A group that does not match is left to the engine, which may then
    // take the line another way.
    bool paren_expr() {
        ++pos_;
        skip();
        if (!enter_bracket()) return false;
        NodeIndex inner = no_node;
        const bool matched = expression(inner);
        --depth_;
        skip();
        if (!matched || !at(')')) {
            bail_ = true;
            return false;
        }
        ++pos_;
        if (!expr_error_) {
            ExprNode paren;
            paren.kind = ExprKind::Paren;
            paren.link = {0, inner};
            assembler_.operand(store_.add(paren));
        }
        return true;
    }

    // ident ~ "(" ~ expression ~ ("," ~ expression)* ~ ")", after the name; one that does not
    // match is left to the engine.
    bool fn_call(std::string_view name) {
        skip();
        ++pos_;  // the "(" that call_follows saw
        skip();
        if (!enter_bracket()) return false;
        const NodeIndex call = expr_error_ ? no_node : store_.add_named(ExprKind::Call, name);
        NodeIndex last = no_node;
        for (bool first = true;; first = false) {
            if (!first) {
                skip();
                if (!at(',')) break;
                ++pos_;
                skip();
            }
            NodeIndex arg = no_node;
            if (!expression(arg)) {
                bail_ = true;
                return false;
            }
            if (expr_error_) continue;
            if (last == no_node) {
                store_[call].link.first = arg;
            } else {
                store_[last].next = arg;
            }
            last = arg;
        }
        --depth_;
        skip();
        if (!at(')')) {
            bail_ = true;
            return false;
        }
        ++pos_;
        if (!expr_error_) assembler_.operand(call);
        return true;
    }

    // A call, a group, or a name or a number with its unit annotations, tried in that order.
    bool term() {
        if (bail_) return false;
        if (at('(')) return paren_expr();
        const std::size_t start = pos_;
        if (ident()) {
            if (call_follows()) return fn_call(text_.substr(start, pos_ - start));
            emit_variable(start);
        } else if (number()) {
            emit_number(start);
        } else {
            return false;
        }
        skip();
        repeat([&] {
            const std::size_t annotation_start = pos_;
            if (!unit_expr()) return false;
            emit_annotation(annotation_start);
            return true;
        });
        return true;
    }

    // Matches an expression into the assembler and gives its root, unless building has failed;
    // an operator goes to the assembler only once the term after it has started, when it can no
    // longer be given back.
    bool expression(NodeIndex& root) {
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
        if (bail_) return false;
        if (!expr_error_) root = assembler_.finish(outer);
        return true;
    }

    // The statement's expression.
    bool statement_expression() {
        const NodeIndex begin = static_cast<NodeIndex>(store_.nodes.size());
        NodeIndex root = no_node;
        if (!expression(root)) return false;
        if (expr_error_) {
            assembler_.reset();
        } else {
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
            const std::size_t start = pos_;
            if (unit_expr()) {
                hint_start_ = start;
                hint_end_ = pos_;
            }
            return true;
        });
    }

    // The print tail after a printing statement's expression; without it the statement gives
    // back everything from `start`.
    bool ends_printing(Mark start) {
        skip();
        if (print_tail()) return true;
        reset(start);
        return false;
    }

    bool print_expr() {
        kind_ = GrammarRule::print_expr;
        const Mark start = mark();
        return statement_expression() && ends_printing(start);
    }
};

}  // namespace

std::optional<std::size_t> build_fast_statement(std::string_view text, bool implied_line_end,
                                                std::size_t start, LineCursor& lines,
                                                ExprAssembler& assembler,
                                                std::optional<Result<Statement>>& built) {
    return FastMatcher(text, implied_line_end, start, assembler, built).statement(lines);
}

}  // namespace mensurator

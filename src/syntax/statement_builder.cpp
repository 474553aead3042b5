#include "syntax/statement_builder.hpp"

#include <charconv>
#include <string>

#include "syntax/expr_builder.hpp"
#include "syntax/naive_string.hpp"
#include "syntax/opt_in_directive.hpp"
#include "syntax/unit_builder.hpp"

namespace mensurator {

namespace {

const ParseNode& child(const ParseNode& node, std::size_t index) {
    if (index >= node.children.size()) {
        throw InternalError(std::string(rule_name(node.rule)) + ": missing child");
    }
    return node.children[index];
}

void expect_rule(const ParseNode& node, GrammarRule rule) {
    if (node.rule != rule) {
        throw InternalError("expected a " + std::string(rule_name(rule)) + " node, got " +
                            std::string(rule_name(node.rule)));
    }
}

// The optional unit hint of a printing statement.
Result<std::shared_ptr<const UnitHint>> build_hint(const ParseNode& node, std::size_t index,
                                                   std::string_view source,
                                                   ExprAssembler& assembler) {
    if (index >= node.children.size()) return std::shared_ptr<const UnitHint>{};
    return assembler.units().hint(node.children[index], source);
}

Result<Statement::Kind> build_var_dec(const ParseNode& node, std::string_view source,
                                      ExprAssembler& assembler) {
    expect_rule(node, GrammarRule::var_dec);
    const std::string_view name = child(node, 0).text(source);
    Result<Expr> expr = build_expression(child(node, 1), source, assembler);
    if (!expr) return fail(expr.error());
    return VarDec{name, *expr};
}

Result<Statement::Kind> build_print_expr(const ParseNode& node, std::string_view source,
                                         ExprAssembler& assembler) {
    expect_rule(node, GrammarRule::print_expr);
    const ParseNode& expression = child(node, 0);
    Result<std::shared_ptr<const UnitHint>> hint = build_hint(node, 1, source, assembler);
    if (!hint) return fail(hint.error());
    Result<Expr> expr = build_expression(expression, source, assembler);
    if (!expr) return fail(expr.error());
    return PrintExpr{*expr, std::move(*hint)};
}

Result<Statement::Kind> build_dec_print_expr(const ParseNode& node, std::string_view source,
                                             ExprAssembler& assembler) {
    expect_rule(node, GrammarRule::dec_print_expr);
    const std::string_view name = child(node, 0).text(source);
    const ParseNode& expression = child(node, 1);
    Result<std::shared_ptr<const UnitHint>> hint = build_hint(node, 2, source, assembler);
    if (!hint) return fail(hint.error());
    Result<Expr> expr = build_expression(expression, source, assembler);
    if (!expr) return fail(expr.error());
    return DecPrintExpr{name, *expr, std::move(*hint)};
}

Result<Statement::Kind> build_alias(const ParseNode& node, std::string_view source) {
    expect_rule(node, GrammarRule::alias_stmt);
    return AliasStmt{std::string(child(node, 0).text(source)),
                     std::string(child(node, 1).text(source))};
}

Result<Statement::Kind> build_digit_set(const ParseNode& node, std::string_view source) {
    expect_rule(node, GrammarRule::digit_set);
    return digit_set_from(child(node, 0).text(source));
}

Result<Statement::Kind> build_latex_block(const ParseNode& node, std::string_view source) {
    expect_rule(node, GrammarRule::latex_block);
    return latex_block_from(node.text(source));
}

Relation relation_from(std::string_view text) {
    if (text == "<") return Relation::less;
    if (text == "<=") return Relation::less_equal;
    if (text == ">") return Relation::greater;
    if (text == ">=") return Relation::greater_equal;
    throw InternalError("not a relation: " + std::string(text));
}

Result<Statement::Kind> build_check(const ParseNode& node, std::string_view source,
                                    ExprAssembler& assembler) {
    expect_rule(node, GrammarRule::check_stmt);
    Result<Expr> left = build_expression(child(node, 0), source, assembler);
    if (!left) return fail(left.error());
    const Relation relation = relation_from(child(node, 1).text(source));
    Result<Expr> right = build_expression(child(node, 2), source, assembler);
    if (!right) return fail(right.error());
    return CheckStmt{*left, *right, relation};
}

Result<Statement::Kind> build_kind(const ParseNode& content, std::string_view source,
                                   ExprAssembler& assembler) {
    switch (content.rule) {
        case GrammarRule::var_dec:
            return build_var_dec(content, source, assembler);
        case GrammarRule::print_expr:
            return build_print_expr(content, source, assembler);
        case GrammarRule::dec_print_expr:
            return build_dec_print_expr(content, source, assembler);
        case GrammarRule::alias_stmt:
            return build_alias(content, source);
        case GrammarRule::digit_set:
            return build_digit_set(content, source);
        case GrammarRule::set_scientific:
            return SetScientific{};
        case GrammarRule::set_steps:
            return SetSteps{};
        case GrammarRule::check_stmt:
            return build_check(content, source, assembler);
        case GrammarRule::line_gap_stmt:
            return LineGap{};
        case GrammarRule::latex_block:
            return build_latex_block(content, source);
        case GrammarRule::error:
            if (auto directive = opt_in_directive(content.text(source))) return *directive;
            return fail(RunError::other("Invalid statement " + std::string(content.text(source))));
        default:
            throw InternalError("unexpected statement content " +
                                std::string(rule_name(content.rule)));
    }
}

}  // namespace

// The digit count is a number of decimals; counts outside 0..max_digits are refused here
// rather than producing a giant number text later.
Result<Statement::Kind> digit_set_from(std::string_view text) {
    const bool negative = text.starts_with('-');
    const std::string_view digits = text.substr(negative || text.starts_with('+') ? 1 : 0);
    std::uint64_t count = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    const bool whole = end == digits.data() + digits.size() && !digits.empty();
    if (error != std::errc{} || !whole || count > max_digits || (negative && count != 0)) {
        return fail(RunError::other("Digit count " + std::string(text) + " is out of range 0.." +
                                    std::to_string(max_digits)));
    }
    return DigitSet{count};
}

// The text between the fences: leading and then trailing runs of ''' are removed.
Statement::Kind latex_block_from(std::string_view text) {
    while (text.starts_with("'''")) text.remove_prefix(3);
    while (text.ends_with("'''")) text.remove_suffix(3);
    return LatexBlock{std::string(text)};
}

Result<Statement> build_statement(const ParseNode& node, std::string_view source, LineCursor& lines,
                                  ExprAssembler& assembler) {
    if (node.children.empty()) throw InternalError("statement without content");
    const ParseNode& content = node.children.front();
    const std::uint64_t line = lines.line_at(content.start);
    Result<Statement::Kind> kind = build_kind(content, source, assembler);
    if (!kind) return fail(statement_error(line, kind.error()));
    return Result<Statement>(std::in_place, line, std::move(*kind));
}

}  // namespace mensurator

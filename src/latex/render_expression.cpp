#include "latex/render_expression.hpp"

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "latex/value_latex.hpp"

namespace mensurator {

namespace {

const Expr& paren_inner(const Paren& paren) {
    if (paren.inner.empty()) throw InternalError("not yet implemented");
    return paren.inner.front();
}

// An operand of a fraction or an exponent: one written pair of parentheses is dropped, since
// the braces already group it.
const Expr& without_outer_paren(const Expr& operand) {
    if (const auto* paren = std::get_if<Paren>(&operand.node)) return paren_inner(*paren);
    return operand;
}

// A power base is parenthesised when it is itself a power or a negative literal, where the
// bare text would read as a different power.
bool base_needs_parens(const Expr& base) {
    if (const auto* operation = std::get_if<Operation>(&base.node)) {
        return operation->op.kind == OperatorKind::Pow;
    }
    if (const auto* literal = std::get_if<Value>(&base.node)) return literal->number < 0;
    return false;
}

std::string_view infix_text(OperatorKind kind) {
    switch (kind) {
        case OperatorKind::Add:
            return " + ";
        case OperatorKind::Sub:
            return " - ";
        case OperatorKind::Mul:
            return " \\times ";
        case OperatorKind::Div:
        case OperatorKind::Pow:
        case OperatorKind::WithUnit:
            break;
    }
    throw InternalError("operator without infix text");
}

// The first operand, checking that the operation has all the operands its template uses.
const Expr& first_operand(const Operation& operation) {
    const std::size_t needed = operation.op.kind == OperatorKind::WithUnit ? 1 : 2;
    if (operation.operands.size() < needed) throw InternalError("not yet implemented");
    return operation.operands.front();
}

Result<std::string> render_leaf(const Expr& leaf, const FormatSettings& settings) {
    switch (leaf.kind()) {
        case Expr::Kind::Value:
            return render_value(std::get<Value>(leaf.node), settings);
        case Expr::Kind::Variable:
            return std::get<Variable>(leaf.node).name;
        case Expr::Kind::Call:
            return render_call(std::get<FnCall>(leaf.node), settings);
        case Expr::Kind::Paren:
        case Expr::Kind::Operation:
            break;
    }
    throw InternalError("not a leaf expression");
}

// The text after the first operand of a spine node: the closing parenthesis, or the operator and
// the rendered later operand.
Result<std::string> closing_text(const Expr& node, const FormatSettings& settings) {
    if (std::holds_alternative<Paren>(node.node)) return ")";
    const Operation& operation = std::get<Operation>(node.node);
    const OperatorKind kind = operation.op.kind;
    if (kind == OperatorKind::WithUnit) return "\\ \\mathrm{" + operation.op.latex + "}";

    const Expr& right = operation.operands[1];
    Result<std::string> rendered = render_expression(
        kind == OperatorKind::Div || kind == OperatorKind::Pow ? without_outer_paren(right) : right,
        settings);
    if (!rendered) return rendered;
    switch (kind) {
        case OperatorKind::Div:
            return "}{" + *rendered + "}";
        case OperatorKind::Pow:
            return std::string(base_needs_parens(operation.operands[0]) ? ")" : "") + "^{" +
                   *rendered + "}";
        default:
            return std::string(infix_text(kind)) + *rendered;
    }
}

}  // namespace

// Operator chains are left-deep and may be very long. The walk follows first operands and
// parenthesised inner expressions in a loop (the spine), writes every opening text top-down,
// then the innermost leaf, then every closing text bottom-up; it recurses only into later
// operands and arguments.
Result<std::string> render_expression(const Expr& expr, const FormatSettings& settings) {
    if (expr.kind() != Expr::Kind::Paren && expr.kind() != Expr::Kind::Operation) {
        return render_leaf(expr, settings);
    }
    std::vector<const Expr*> spine;
    std::string text;
    const Expr* current = &expr;
    for (;;) {
        if (const auto* paren = std::get_if<Paren>(&current->node)) {
            spine.push_back(current);
            text += '(';
            current = &paren_inner(*paren);
        } else if (const auto* operation = std::get_if<Operation>(&current->node)) {
            spine.push_back(current);
            const Expr& first = first_operand(*operation);
            if (operation->op.kind == OperatorKind::Div) {
                text += "\\frac{";
                current = &without_outer_paren(first);
            } else {
                if (operation->op.kind == OperatorKind::Pow && base_needs_parens(first)) {
                    text += '(';
                }
                current = &first;
            }
        } else {
            break;
        }
    }

    Result<std::string> leaf = render_leaf(*current, settings);
    if (!leaf) return leaf;
    text += *leaf;
    for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
        Result<std::string> closing = closing_text(**it, settings);
        if (!closing) return closing;
        text += *closing;
    }
    return text;
}

Result<std::string> render_call(const FnCall& call, const FormatSettings& settings) {
    std::string arguments;
    std::optional<RunError> failure;
    // Every argument is rendered; the first failure is the result.
    for (const Expr& arg : call.args) {
        Result<std::string> rendered = render_expression(arg, settings);
        if (!rendered) {
            if (!failure) failure = std::move(rendered.error());
        } else if (!failure) {
            arguments += *rendered;
            arguments += ',';
        }
    }
    if (failure) return fail(std::move(*failure));
    if (!arguments.empty()) arguments.pop_back();
    return "\\mathrm{" + call.name + "}(" + arguments + ")";
}

}  // namespace mensurator

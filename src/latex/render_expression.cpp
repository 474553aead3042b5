#include "latex/render_expression.hpp"

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/stack_vector.hpp"
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

Result<void> append_call(const FnCall& call, const FormatSettings& settings, std::string& out);

Result<void> append_leaf(const Expr& leaf, const FormatSettings& settings, std::string& out) {
    switch (leaf.kind()) {
        case Expr::Kind::Value: {
            Result<std::string> value = render_value(std::get<Value>(leaf.node), settings);
            if (!value) return fail(std::move(value.error()));
            out += *value;
            return {};
        }
        case Expr::Kind::Variable:
            out += std::get<Variable>(leaf.node).name;
            return {};
        case Expr::Kind::Call:
            return append_call(std::get<FnCall>(leaf.node), settings, out);
        case Expr::Kind::Paren:
        case Expr::Kind::Operation:
            break;
    }
    throw InternalError("not a leaf expression");
}

// The text after the first operand of a spine node: the closing parenthesis, or the operator and
// the rendered later operand.
Result<void> append_closing(const Expr& node, const FormatSettings& settings, std::string& out) {
    if (std::holds_alternative<Paren>(node.node)) {
        out += ')';
        return {};
    }
    const Operation& operation = std::get<Operation>(node.node);
    const OperatorKind kind = operation.op.kind;
    if (kind == OperatorKind::WithUnit) {
        out += "\\ \\mathrm{";
        out += operation.op.latex;
        out += '}';
        return {};
    }
    const Expr& right = operation.operands[1];
    switch (kind) {
        case OperatorKind::Div: {
            out += "}{";
            Result<void> rendered = append_expression(without_outer_paren(right), settings, out);
            if (!rendered) return rendered;
            out += '}';
            return {};
        }
        case OperatorKind::Pow: {
            if (base_needs_parens(operation.operands[0])) out += ')';
            out += "^{";
            Result<void> rendered = append_expression(without_outer_paren(right), settings, out);
            if (!rendered) return rendered;
            out += '}';
            return {};
        }
        default:
            out += infix_text(kind);
            return append_expression(right, settings, out);
    }
}

// Every argument is rendered, also after a failing one; the first failure is the result.
Result<void> append_call(const FnCall& call, const FormatSettings& settings, std::string& out) {
    out += "\\mathrm{";
    out += call.name;
    out += "}(";
    std::optional<RunError> failure;
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        if (i > 0) out += ',';
        Result<void> rendered = append_expression(call.args[i], settings, out);
        if (!rendered && !failure) failure = std::move(rendered.error());
    }
    if (failure) return fail(std::move(*failure));
    out += ')';
    return {};
}

}  // namespace

// Operator chains are left-deep and may be very long. The walk follows first operands and
// parenthesised inner expressions in a loop (the spine), writes every opening text top-down,
// then the innermost leaf, then every closing text bottom-up; it recurses only into later
// operands and arguments.
Result<void> append_expression(const Expr& expr, const FormatSettings& settings, std::string& out) {
    if (expr.kind() != Expr::Kind::Paren && expr.kind() != Expr::Kind::Operation) {
        return append_leaf(expr, settings, out);
    }
    // Most expressions are a few operations deep.
    StackVector<const Expr*, 16> spine_buffer;
    std::pmr::vector<const Expr*>& spine = spine_buffer.items;
    const Expr* current = &expr;
    for (;;) {
        if (const auto* paren = std::get_if<Paren>(&current->node)) {
            spine.push_back(current);
            out += '(';
            current = &paren_inner(*paren);
        } else if (const auto* operation = std::get_if<Operation>(&current->node)) {
            spine.push_back(current);
            const Expr& first = first_operand(*operation);
            if (operation->op.kind == OperatorKind::Div) {
                out += "\\frac{";
                current = &without_outer_paren(first);
            } else {
                if (operation->op.kind == OperatorKind::Pow && base_needs_parens(first)) {
                    out += '(';
                }
                current = &first;
            }
        } else {
            break;
        }
    }

    Result<void> leaf = append_leaf(*current, settings, out);
    if (!leaf) return leaf;
    for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
        Result<void> closing = append_closing(**it, settings, out);
        if (!closing) return closing;
    }
    return {};
}

Result<std::string> render_expression(const Expr& expr, const FormatSettings& settings) {
    std::string text;
    Result<void> rendered = append_expression(expr, settings, text);
    if (!rendered) return fail(std::move(rendered.error()));
    return text;
}

}  // namespace mensurator

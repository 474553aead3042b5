#include "syntax/expr_builder.hpp"

#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string>

#include "base/trim.hpp"
#include "syntax/fn_call_builder.hpp"
#include "syntax/naive_string.hpp"
#include "syntax/unit_builder.hpp"

namespace mensurator {

namespace {

struct InfixOperator {
    char symbol;
    OperatorKind kind;
    std::uint8_t left_bp;
    std::uint8_t right_bp;
};

constexpr std::array<InfixOperator, 5> infix_operators = {{
    {'+', OperatorKind::Add, 1, 2},
    {'-', OperatorKind::Sub, 1, 2},
    {'*', OperatorKind::Mul, 3, 4},
    {'/', OperatorKind::Div, 3, 4},
    {'^', OperatorKind::Pow, 7, 8},
}};

// A unit annotation binds tighter than * and / but looser than ^.
constexpr std::uint8_t annotation_bp = 6;

const InfixOperator& infix_operator(std::string_view text) {
    const std::string_view symbol = trim(text);
    if (symbol.size() == 1) {
        for (const InfixOperator& op : infix_operators) {
            if (op.symbol == symbol.front()) return op;
        }
    }
    throw InternalError("Bad operator " + std::string(symbol));
}

// from_chars leaves the number unset for a literal beyond the double range. The nearest double
// is then an infinity when the literal has a non-zero integer part, and zero when it is too small.
double out_of_range_number(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    const bool overflows = text.find_first_not_of('0') < text.find('.');
    const double magnitude = overflows ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

Value parse_number(std::string_view text) {
    text = trim(text);
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if ((error != std::errc{} && error != std::errc::result_out_of_range) ||
        end != text.data() + text.size()) {
        throw InternalError("invalid number " + std::string(text));
    }
    if (error == std::errc::result_out_of_range) number = out_of_range_number(text);
    return Value{number, Unit{}};
}

Result<Expr> parse_operand(const ParseNode& child, std::string_view source) {
    switch (child.rule) {
        case GrammarRule::number:
            return Expr(parse_number(child.text(source)));
        case GrammarRule::ident:
            return Expr(Variable{std::string(trim(child.text(source)))});
        case GrammarRule::expression: {
            Result<Expr> inner = parse_expression(child, source);
            if (!inner) return inner;
            return make_paren(std::move(*inner));
        }
        case GrammarRule::fn_call: {
            Result<FnCall> call = parse_fn_call(child, source);
            if (!call) return fail(call.error());
            return Expr(std::move(*call));
        }
        default:
            dump_node(child, source);
            throw InternalError("unexpected operand in expression");
    }
}

struct Annotation {
    Unit unit;
    std::string latex;
};

Result<Annotation> build_annotation(const ParseNode& child, std::string_view source) {
    Result<NaiveUnit> naive = parse_naive_unit(child, source);
    if (!naive) return fail(naive.error());
    Result<std::string> latex = naive_to_latex(*naive);
    if (!latex) return fail(latex.error());
    Result<Unit> unit = parse_and_evaluate_unit(child, source);
    if (!unit) return fail(unit.error());
    return Annotation{*unit, std::move(*latex)};
}

}  // namespace

Result<Expr> parse_expression(const ParseNode& node, std::string_view source) {
    if (node.rule != GrammarRule::expression)
        throw InternalError("parse_expression: not an expression");
    ChildCursor children(node.children);
    return parse_expression_bp(children, 0, source);
}

Result<Expr> parse_expression_bp(ChildCursor& children, std::uint8_t min_bp,
                                 std::string_view source) {
    const ParseNode* first = children.take();
    if (first == nullptr) throw InternalError("empty expression");
    Result<Expr> lhs = parse_operand(*first, source);
    if (!lhs) return lhs;

    while (const ParseNode* next = children.peek()) {
        if (next->rule == GrammarRule::unit_expr) {
            // An annotation inside an exponent belongs to the enclosing power as a whole.
            if (min_bp > annotation_bp) break;
            Result<Annotation> annotation = build_annotation(*next, source);
            if (!annotation) return fail(annotation.error());
            children.take();
            lhs = make_with_unit(std::move(*lhs), annotation->unit, std::move(annotation->latex));
            continue;
        }
        if (next->rule != GrammarRule::operation) throw InternalError("not yet implemented");
        const InfixOperator& op = infix_operator(next->text(source));
        if (op.left_bp < min_bp) break;
        children.take();
        Result<Expr> rhs = parse_expression_bp(children, op.right_bp, source);
        if (!rhs) return rhs;
        lhs = make_operation(op.kind, std::move(*lhs), std::move(*rhs));
    }
    return lhs;
}

}  // namespace mensurator

#include "eval/evaluate.hpp"

#include <array>
#include <span>
#include <variant>
#include <vector>

#include "base/stack_vector.hpp"
#include "eval/function.hpp"
#include "quantity/unit.hpp"
#include "quantity/unit_table.hpp"

namespace mensurator {

namespace {

// A node whose value needs no operand evaluation of its own: a literal, a name or a call.
Result<Value> evaluate_leaf(const Expr& expr, const VariableTable& variables) {
    switch (expr.kind()) {
        case Expr::Kind::Value:
            return normalize(std::get<Value>(expr.node));
        case Expr::Kind::Variable: {
            const std::string& name = std::get<Variable>(expr.node).name;
            // A variable shadows a unit of the same name; any other name is one of its unit.
            if (const auto it = variables.find(name); it != variables.end()) return it->second;
            Result<Unit> unit = lookup_unit(name);
            if (!unit) return fail(std::move(unit.error()));
            return Value{1.0, *unit};
        }
        case Expr::Kind::Call:
            return call_function(std::get<FnCall>(expr.node), variables);
        case Expr::Kind::Paren:
            throw InternalError("parenthesised expression without an inner expression");
        case Expr::Kind::Operation:
            return fail(RunError::math_error());  // an operation without operands
    }
    throw InternalError("unknown expression kind");
}

// Applies an operation to its evaluated operands, the left one first.
Result<Value> apply_operator(const Operator& op, std::span<const Value> operands) {
    if (op.kind == OperatorKind::WithUnit) {
        if (operands.size() != 1) return fail(RunError::math_error());
        Result<Unit> unit = unit_mul(operands[0].unit, op.unit);
        if (!unit) return fail(std::move(unit.error()));
        return Value{operands[0].number, *unit};
    }
    if (operands.size() != 2) return fail(RunError::math_error());
    const Value& left = operands[0];
    const Value& right = operands[1];
    switch (op.kind) {
        case OperatorKind::Add:
            return value_add(left, right);
        case OperatorKind::Sub:
            return value_sub(left, right);
        case OperatorKind::Mul:
            return value_mul(left, right);
        case OperatorKind::Div:
            return value_div(left, right);
        case OperatorKind::Pow:
            return value_pow(left, right);
        case OperatorKind::WithUnit:
            break;
    }
    throw InternalError("unknown operator");
}

}  // namespace

// Operator chains are left-deep and may be very long, so the walk follows first operands and
// parenthesised inner expressions in a loop and recurses only into later operands.
Result<Value> evaluate(const Expr& expr, const VariableTable& variables) {
    if (expr.kind() != Expr::Kind::Paren && expr.kind() != Expr::Kind::Operation) {
        return evaluate_leaf(expr, variables);
    }
    // Most expressions are a few operations deep.
    StackVector<const Operation*, 16> spine_buffer;
    std::pmr::vector<const Operation*>& spine = spine_buffer.items;
    const Expr* leaf = &expr;
    for (;;) {
        const std::vector<Expr>* children = leaf->children();
        const bool descends =
            leaf->kind() == Expr::Kind::Paren || leaf->kind() == Expr::Kind::Operation;
        if (!descends || children->empty()) break;
        if (const auto* operation = std::get_if<Operation>(&leaf->node)) spine.push_back(operation);
        leaf = &children->front();
    }

    Result<Value> result = evaluate_leaf(*leaf, variables);
    for (auto it = spine.rbegin(); it != spine.rend() && result; ++it) {
        const Operation& operation = **it;
        // Well-formed operations have one or two operands; more are evaluated, for their
        // errors, and then refused as malformed.
        std::array<Value, 2> operands{*result};
        std::size_t count = 1;
        for (std::size_t i = 1; i < operation.operands.size(); ++i) {
            Result<Value> operand = evaluate(operation.operands[i], variables);
            if (!operand) return operand;
            if (count < operands.size()) operands[count] = *operand;
            ++count;
        }
        if (count > operands.size()) return fail(RunError::math_error());
        result = apply_operator(operation.op, std::span<const Value>(operands.data(), count));
    }
    return result;
}

}  // namespace mensurator

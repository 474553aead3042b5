#include "eval/evaluate.hpp"

#include "base/stack_vector.hpp"
#include "eval/function.hpp"
#include "quantity/unit.hpp"
#include "quantity/unit_table.hpp"

namespace mensurator {

namespace {

bool has_operand_child(ExprKind kind) {
    return kind == ExprKind::Paren || kind == ExprKind::Chain || kind == ExprKind::WithUnit;
}

// A node whose value needs no operand evaluation of its own: a literal, a name or a call.
Result<Value> evaluate_leaf(const ExprStore& store, NodeIndex index,
                            const VariableTable& variables) {
    const ExprNode& node = store[index];
    switch (node.kind) {
        case ExprKind::Number:
            return normalize(Value{node.number, Unit{}});
        case ExprKind::Variable: {
            const std::string_view name = store.names[node.link.index];
            // A variable shadows a unit of the same name; any other name is one of its unit.
            if (std::optional<Value> value = variables.find(name)) return *value;
            Result<Unit> unit = lookup_unit(name, store.unit_table);
            if (!unit) return fail(std::move(unit.error()));
            return Value{1.0, *unit};
        }
        case ExprKind::Call:
            return call_function(store, index, variables);
        case ExprKind::Paren:
        case ExprKind::Chain:
        case ExprKind::WithUnit:
            break;
    }
    throw InternalError("not a leaf expression");
}

Result<Value> apply_operator(OperatorKind op, const Value& left, const Value& right) {
    switch (op) {
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
    }
    throw InternalError("unknown operator");
}

}  // namespace

Result<Value> evaluate(const Expr& expr, const VariableTable& variables) {
    return evaluate_node(*expr.store, expr.root, variables);
}

// The tree is deep only along first children, so the walk follows them in a loop (the spine),
// evaluates the innermost node, then applies the spine's nodes bottom-up; it recurses only into
// later operands, whose depth the bracket nesting bounds.
Result<Value> evaluate_node(const ExprStore& store, NodeIndex index,
                            const VariableTable& variables) {
    // Most expressions are a few nodes deep.
    StackVector<NodeIndex, 16> spine;
    while (has_operand_child(store[index].kind)) {
        spine.push_back(index);
        index = store[index].link.first;
    }
    Result<Value> result = evaluate_leaf(store, index, variables);
    for (std::size_t level = spine.size(); level > 0 && result; --level) {
        const ExprNode& node = store[spine[level - 1]];
        if (node.kind == ExprKind::WithUnit) {
            Result<Unit> unit = unit_mul(result->unit, store.annotations[node.link.index].unit);
            if (!unit) return fail(std::move(unit.error()));
            result = Value{result->number, *unit};
        } else if (node.kind == ExprKind::Chain) {
            for (NodeIndex operand = store[node.link.first].next; operand != no_node && result;
                 operand = store[operand].next) {
                Result<Value> right = evaluate_node(store, operand, variables);
                if (!right) return right;
                result = apply_operator(store[operand].op, *result, *right);
            }
        }
    }
    return result;
}

}  // namespace mensurator

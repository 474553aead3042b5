// A check statement: both sides evaluated as printed expressions, compared by magnitude, and
// shown on one math line with the relation and the verdict.

#include <memory>
#include <string_view>

#include "quantity/magnitude_order.hpp"
#include "run/statement_runner.hpp"

namespace mensurator {

namespace {

std::string_view relation_latex(Relation relation) {
    switch (relation) {
        case Relation::less:
            return " < ";
        case Relation::less_equal:
            return " \\leq ";
        case Relation::greater:
            return " > ";
        case Relation::greater_equal:
            return " \\geq ";
    }
    return " < ";
}

bool is_literal(const Expr& expr) {
    const ExprStore& store = *expr.store;
    const ExprNode& root = store[expr.root];
    return root.kind == ExprKind::Number ||
           (root.kind == ExprKind::WithUnit && store[root.link.first].kind == ExprKind::Number);
}

}  // namespace

// The unit the author last showed a side's variable in, else the unit a literal side is
// written in: `check sigma <= 235 MPa` shows both sides in MPa.
std::shared_ptr<const UnitHint> StatementRunner::check_unit(const CheckStmt& statement) const {
    for (const Expr* side : {&statement.left, &statement.right}) {
        const ExprNode& root = (*side->store)[side->root];
        if (root.kind != ExprKind::Variable) continue;
        const auto* shown = state_.shown_units.find(side->store->names[root.link.index]);
        if (shown != nullptr && *shown) return *shown;
    }
    for (const Expr* side : {&statement.left, &statement.right}) {
        if (std::shared_ptr<const UnitHint> unit = defined_unit(*side)) return unit;
    }
    return nullptr;
}

Result<void> StatementRunner::append_check_side(const Expr& expr, const Value& value,
                                                const UnitHint* unit) {
    if (Result<void> latex = append_expression_part(expr, true); !latex) return latex;
    if (is_literal(expr)) return {};
    if (Result<void> steps = append_substitution_part(expr); !steps) return steps;
    return append_value_part(value, unit);
}

Result<void> StatementRunner::execute(CheckStmt& statement) {
    apply_aliases(statement.left, state_.aliases);
    apply_aliases(statement.right, state_.aliases);
    Result<Value> left = evaluate(statement.left, state_.variables);
    if (!left) return fail(left.error());
    Result<Value> right = evaluate(statement.right, state_.variables);
    if (!right) return fail(right.error());
    // Sides that could not be added cannot be compared either, and fail alike.
    if (Result<Value> sum = value_add(*left, *right); !sum) return fail(sum.error());
    const bool passed = holds(statement.relation, compare_magnitudes(*left, *right));

    const std::shared_ptr<const UnitHint> unit = check_unit(statement);
    begin_math_line();
    if (Result<void> side = append_check_side(statement.left, *left, unit.get()); !side)
        return side;
    state_.output += relation_latex(statement.relation);
    if (Result<void> side = append_check_side(statement.right, *right, unit.get()); !side)
        return side;
    state_.output += passed ? " \\quad \\mathrm{OK}" : " \\quad \\mathrm{NOT\\ OK}";
    end_math_line();
    if (trace_ != nullptr) trace_->check = CheckVerdict{statement.relation, passed, *left, *right};
    return {};
}

}  // namespace mensurator

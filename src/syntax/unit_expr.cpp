#include "syntax/unit_expr.hpp"

#include <string>
#include <vector>

namespace mensurator {

namespace {

std::size_t operand_count(UnitOpKind kind) {
    return kind == UnitOpKind::UnitPow ? 1 : 2;
}

std::string kind_name(UnitOpKind kind) {
    switch (kind) {
        case UnitOpKind::UnitMul:
            return "UnitMul";
        case UnitOpKind::UnitDiv:
            return "UnitDiv";
        case UnitOpKind::UnitPow:
            return "UnitPow";
    }
    return "unknown unit operator";
}

}  // namespace

Result<Unit> evaluate_unit_expr(const UnitExpr& tree) {
    // Chains are left-deep and may be very long, so the left spine is walked with a loop: first
    // down to its leaf, then back up, applying each operator to the unit folded so far. Right
    // operands are evaluated recursively; they are short.
    std::vector<const UnitExpr*> spine;
    const UnitExpr* node = &tree;
    while (const auto* op = std::get_if<UnitOp>(&node->node)) {
        if (node->operands.size() != operand_count(op->kind)) {
            throw InternalError("Malformed unit expression: " + kind_name(op->kind) + " with " +
                                std::to_string(node->operands.size()) + " operands");
        }
        spine.push_back(node);
        node = &node->operands.front();
    }
    Unit folded = std::get<Unit>(node->node);
    for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
        const UnitOp& op = std::get<UnitOp>((*it)->node);
        Result<Unit> next = folded;
        switch (op.kind) {
            case UnitOpKind::UnitMul:
            case UnitOpKind::UnitDiv: {
                auto right = evaluate_unit_expr((*it)->operands[1]);
                if (!right) return right;
                next = op.kind == UnitOpKind::UnitMul ? unit_mul(folded, *right)
                                                      : unit_div(folded, *right);
                break;
            }
            case UnitOpKind::UnitPow:
                next = unit_powi(folded, op.exponent);
                break;
        }
        if (!next) return next;
        folded = *next;
    }
    return folded;
}

}  // namespace mensurator

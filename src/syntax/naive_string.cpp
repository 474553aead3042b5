#include "syntax/naive_string.hpp"

#include <string>
#include <vector>

#include "syntax/unit_chain.hpp"

namespace mensurator {

Result<NaiveUnit> parse_naive_unit(const ParseNode& node, std::string_view source) {
    if (node.rule != GrammarRule::unit_expr)
        throw InternalError("parse_naive_unit: not a unit_expr");
    auto make_leaf = [source](const ParseNode& child) -> Result<NaiveUnit> {
        switch (child.rule) {
            case GrammarRule::unit:
                return NaiveUnit(std::string(child.text(source)));
            case GrammarRule::unit_expr: {
                Result<NaiveUnit> group = parse_naive_unit(child, source);
                if (!group) return fail(group.error());
                Result<std::string> latex = naive_to_latex(*group);
                if (!latex) return fail(latex.error());
                return NaiveUnit(std::move(*latex));
            }
            default:
                throw InternalError("unexpected term in unit expression");
        }
    };
    ChildCursor children(node.children);
    return build_unit_chain<NaiveUnit>(children, 0, source, node, make_leaf);
}

// Every node renders as "\mathrm{" prefix, first operand, middle, second operand, suffix "}".
// Chains are left-deep, so the first operands are walked as a loop: all prefixes first, then
// the innermost leaf, then the middles and suffixes from the inside out.
Result<std::string> naive_to_latex(const NaiveUnit& naive) {
    std::vector<const NaiveUnit*> chain;
    const NaiveUnit* node = &naive;
    while (!node->is_leaf()) {
        const UnitOp op = std::get<UnitOp>(node->node);
        const std::size_t needed = op.kind == UnitOpKind::UnitPow ? 1 : 2;
        if (node->operands.size() < needed) throw InternalError("not yet implemented");
        chain.push_back(node);
        node = &node->operands.front();
    }
    std::string out;
    for (const NaiveUnit* link : chain) {
        out += "\\mathrm{";
        if (std::get<UnitOp>(link->node).kind == UnitOpKind::UnitDiv) out += "\\frac{";
    }
    out += "\\mathrm{";
    out += std::get<std::string>(node->node);
    out += "}";
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const UnitOp op = std::get<UnitOp>((*it)->node);
        if (op.kind == UnitOpKind::UnitPow) {
            out += "^{" + std::to_string(op.exponent) + "}";
        } else {
            Result<std::string> right = naive_to_latex((*it)->operands[1]);
            if (!right) return right;
            out += op.kind == UnitOpKind::UnitMul ? " \\ " : "}{";
            out += *right;
            if (op.kind == UnitOpKind::UnitDiv) out += "}";
        }
        out += "}";
    }
    return out;
}

}  // namespace mensurator

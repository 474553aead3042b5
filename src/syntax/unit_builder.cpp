#include "syntax/unit_builder.hpp"

#include "quantity/unit_table.hpp"
#include "syntax/unit_chain.hpp"
#include "syntax/unit_expr.hpp"

namespace mensurator {

Result<UnitExpr> build_unit_expr(const ParseNode& node, std::string_view source, UnitTable table) {
    if (node.rule != GrammarRule::unit_expr)
        throw InternalError("build_unit_expr: not a unit_expr");
    auto make_leaf = [source, table](const ParseNode& child) -> Result<UnitExpr> {
        switch (child.rule) {
            case GrammarRule::unit: {
                Result<Unit> unit = lookup_unit(child.text(source), table);
                if (!unit) return fail(unit.error());
                return UnitExpr(*unit);
            }
            case GrammarRule::unit_expr: {
                Result<Unit> group = build_unit(child, source, table);
                if (!group) return fail(group.error());
                return UnitExpr(*group);
            }
            default:
                throw InternalError("unexpected term in unit expression");
        }
    };
    ChildCursor children(node.children);
    return build_unit_chain<UnitExpr>(children, 0, source, node, make_leaf);
}

Result<Unit> build_unit(const ParseNode& node, std::string_view source, UnitTable table) {
    Result<UnitExpr> tree = build_unit_expr(node, source, table);
    if (!tree) return fail(tree.error());
    return evaluate_unit_expr(*tree);
}

}  // namespace mensurator

#include "syntax/printed_unit.hpp"

#include <string>
#include <utility>
#include <vector>

#include "syntax/tree.hpp"
#include "syntax/unit_chain.hpp"

namespace mensurator {

namespace {

// A written group's LaTeX is kept in its parentheses; names never start with one.
bool is_group(const std::string& leaf) {
    return leaf.starts_with('(');
}

std::string without_group_parens(const std::string& leaf) {
    return is_group(leaf) ? leaf.substr(1, leaf.size() - 2) : leaf;
}

Result<NaiveUnit> printed_tree(const ParseNode& node, std::string_view source, UnitTable table);
std::string printed_body(const NaiveUnit& printed);

// A fraction's parts are grouped by its braces already.
std::string fraction_part(const NaiveUnit& part) {
    if (part.is_leaf()) return without_group_parens(std::get<std::string>(part.node));
    return printed_body(part);
}

// Chains are left-deep, so the first operands are walked as a loop, as in naive_to_latex: what
// comes before the innermost leaf first, then the leaf, then each operator's rest from the
// inside out. Later operands are a unit or a power of one, so their recursion stays shallow.
std::string printed_body(const NaiveUnit& printed) {
    std::vector<const NaiveUnit*> chain;
    const NaiveUnit* node = &printed;
    while (!node->is_leaf()) {
        const std::size_t needed = std::get<UnitOp>(node->node).kind == UnitOpKind::UnitPow ? 1 : 2;
        if (node->operands.size() < needed) throw InternalError("unit operator without operands");
        chain.push_back(node);
        node = &node->operands.front();
    }
    std::string out;
    for (const NaiveUnit* link : chain) {
        const UnitOp op = std::get<UnitOp>(link->node);
        if (op.kind == UnitOpKind::UnitDiv) out += "\\frac{";
        // A power of a power needs braces around the inner one: a^{2}^{3} does not compile.
        if (op.kind == UnitOpKind::UnitPow && !link->operands.front().is_leaf()) out += '{';
    }
    const std::string& leaf = std::get<std::string>(node->node);
    const bool leaf_in_fraction =
        !chain.empty() && std::get<UnitOp>(chain.back()->node).kind == UnitOpKind::UnitDiv;
    out += leaf_in_fraction ? without_group_parens(leaf) : leaf;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const UnitOp op = std::get<UnitOp>((*it)->node);
        switch (op.kind) {
            case UnitOpKind::UnitPow:
                if (!(*it)->operands.front().is_leaf()) out += '}';
                out += "^{" + std::to_string(op.exponent) + "}";
                break;
            case UnitOpKind::UnitMul:
                out += "\\,";
                out += printed_body((*it)->operands[1]);
                break;
            case UnitOpKind::UnitDiv:
                out += "}{";
                out += fraction_part((*it)->operands[1]);
                out += '}';
                break;
        }
    }
    return out;
}

Result<NaiveUnit> printed_tree(const ParseNode& node, std::string_view source, UnitTable table) {
    auto make_leaf = [source, table](const ParseNode& child) -> Result<NaiveUnit> {
        switch (child.rule) {
            case GrammarRule::unit: {
                std::optional<std::string> name = printed_unit_name(child.text(source), table);
                if (!name) {
                    Result<Unit> unknown = lookup_unit(child.text(source), table);
                    if (unknown) throw InternalError("a unit without a printed name");
                    return fail(std::move(unknown.error()));
                }
                return NaiveUnit(std::move(*name));
            }
            case GrammarRule::unit_expr: {
                Result<NaiveUnit> group = printed_tree(child, source, table);
                if (!group) return fail(group.error());
                std::string leaf = "(";
                leaf += printed_body(*group);
                leaf += ')';
                return NaiveUnit(std::move(leaf));
            }
            default:
                throw InternalError("unexpected term in unit expression");
        }
    };
    ChildCursor children(node.children);
    return build_unit_chain<NaiveUnit>(children, 0, source, node, make_leaf);
}

}  // namespace

Result<std::string> printed_unit_latex(const ParseNode& unit_expr, std::string_view source,
                                       UnitTable table) {
    if (unit_expr.rule != GrammarRule::unit_expr)
        throw InternalError("printed_unit_latex: not a unit_expr");
    Result<NaiveUnit> printed = printed_tree(unit_expr, source, table);
    if (!printed) return fail(std::move(printed.error()));
    return "\\mathrm{" + printed_body(*printed) + "}";
}

}  // namespace mensurator

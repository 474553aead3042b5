#include "latex/render_expression.hpp"

#include <optional>
#include <string>

#include "base/stack_vector.hpp"
#include "latex/function_latex.hpp"
#include "latex/value_latex.hpp"

namespace mensurator {

namespace {

Result<void> append_node(const ExprStore& store, NodeIndex index, const FormatSettings& settings,
                         std::string& out);

// An operand of a fraction or an exponent: one written pair of parentheses is dropped, since
// the braces already group it.
NodeIndex without_outer_paren(const ExprStore& store, NodeIndex operand) {
    return store[operand].kind == ExprKind::Paren ? store[operand].link.first : operand;
}

// The base of the i-th power of a chain (i from 1) is parenthesised when it is itself a power,
// as every base after the first is, a negative literal, or a quantity with a unit annotation:
// the bare text would read as a different power (`5 (m/s)^2` squares the 5 as well).
bool base_needs_parens(const ExprStore& store, const ExprNode& chain, std::size_t i) {
    if (i > 1) return true;
    const ExprNode& base = store[chain.link.first];
    if (base.kind == ExprKind::Chain)
        return store[store[base.link.first].next].op == OperatorKind::Pow;
    if (base.kind == ExprKind::WithUnit) return true;
    return base.kind == ExprKind::Number && base.number < 0;
}

bool has_operand_child(ExprKind kind) {
    return kind == ExprKind::Paren || kind == ExprKind::Chain || kind == ExprKind::WithUnit;
}

// Every argument is rendered, also after a failing one; the first failure is the result.
Result<void> append_call(const ExprStore& store, const ExprNode& call,
                         const FormatSettings& settings, std::string& out) {
    std::string_view close = ")";
    if (settings.symbols) {
        PrintedCall printed = printed_call(store.names[call.link.index]);
        out += printed.open;
        close = printed.close;
    } else {
        out += "\\mathrm{";
        out += store.names[call.link.index];
        out += "}(";
    }
    std::optional<RunError> failure;
    for (NodeIndex arg = call.link.first; arg != no_node; arg = store[arg].next) {
        if (arg != call.link.first) out += ',';
        Result<void> rendered = append_node(store, arg, settings, out);
        if (!rendered && !failure) failure = std::move(rendered.error());
    }
    if (failure) return fail(std::move(*failure));
    out += close;
    return {};
}

Result<void> append_leaf(const ExprStore& store, const ExprNode& leaf,
                         const FormatSettings& settings, std::string& out) {
    switch (leaf.kind) {
        case ExprKind::Number:
            // Under significant figures a literal keeps at least the figures it was written with.
            if (settings.sigfigs != 0 && leaf.written_figures > settings.sigfigs) {
                FormatSettings as_written = settings;
                as_written.sigfigs = leaf.written_figures;
                return append_value(Value{leaf.number, Unit{}}, as_written, out);
            }
            return append_value(Value{leaf.number, Unit{}}, settings, out);
        case ExprKind::Variable:
            out += store.names[leaf.link.index];
            return {};
        case ExprKind::Call:
            return append_call(store, leaf, settings, out);
        case ExprKind::Paren:
        case ExprKind::Chain:
        case ExprKind::WithUnit:
            break;
    }
    throw InternalError("not a leaf expression");
}

// What a chain writes before its first operand: a fraction opens for every division, and a
// parenthesis for every power base that needs one; the outermost operator comes first. Returns
// the first operand as rendered.
NodeIndex append_chain_opening(const ExprStore& store, const ExprNode& chain, std::string& out) {
    const NodeIndex first = chain.link.first;
    std::size_t i = 0;
    for (NodeIndex operand = store[first].next; operand != no_node; operand = store[operand].next) {
        ++i;
        const OperatorKind op = store[operand].op;
        if (op == OperatorKind::Div) out += "\\frac{";
        if (op == OperatorKind::Pow && base_needs_parens(store, chain, i)) out += '(';
    }
    return store[store[first].next].op == OperatorKind::Div ? without_outer_paren(store, first)
                                                            : first;
}

// What a chain writes after its first operand: each later operand with its operator.
Result<void> append_chain_rest(const ExprStore& store, const ExprNode& chain,
                               const FormatSettings& settings, std::string& out) {
    std::size_t i = 0;
    for (NodeIndex operand = store[chain.link.first].next; operand != no_node;
         operand = store[operand].next) {
        ++i;
        Result<void> rendered;
        switch (store[operand].op) {
            case OperatorKind::Add:
                out += " + ";
                rendered = append_node(store, operand, settings, out);
                break;
            case OperatorKind::Sub:
                out += " - ";
                rendered = append_node(store, operand, settings, out);
                break;
            case OperatorKind::Mul:
                out += " \\times ";
                rendered = append_node(store, operand, settings, out);
                break;
            case OperatorKind::Div:
                out += "}{";
                rendered = append_node(store, without_outer_paren(store, operand), settings, out);
                if (rendered) out += '}';
                break;
            case OperatorKind::Pow:
                if (base_needs_parens(store, chain, i)) out += ')';
                out += "^{";
                rendered = append_node(store, without_outer_paren(store, operand), settings, out);
                if (rendered) out += '}';
                break;
        }
        if (!rendered) return rendered;
    }
    return {};
}

// The tree is deep only along first children. The walk follows them in a loop (the spine),
// writes every opening text top-down, then the innermost node, then every closing text
// bottom-up; it recurses only into later operands and arguments.
Result<void> append_node(const ExprStore& store, NodeIndex index, const FormatSettings& settings,
                         std::string& out) {
    // Most expressions are a few nodes deep.
    StackVector<NodeIndex, 16> spine;
    while (has_operand_child(store[index].kind)) {
        const ExprNode& node = store[index];
        spine.push_back(index);
        if (node.kind == ExprKind::Chain) {
            index = append_chain_opening(store, node, out);
        } else {
            if (node.kind == ExprKind::Paren) out += '(';
            index = node.link.first;
        }
    }

    Result<void> leaf = append_leaf(store, store[index], settings, out);
    if (!leaf) return leaf;
    for (std::size_t level = spine.size(); level > 0; --level) {
        const ExprNode& node = store[spine[level - 1]];
        if (node.kind == ExprKind::Paren) {
            out += ')';
        } else if (node.kind == ExprKind::WithUnit) {
            // A typeset annotation is one \mathrm group already.
            out += settings.symbols ? "\\ " : "\\ \\mathrm{";
            out += store.annotation_latex(store.annotations[node.link.index]);
            if (!settings.symbols) out += '}';
        } else if (Result<void> rest = append_chain_rest(store, node, settings, out); !rest) {
            return rest;
        }
    }
    return {};
}

}  // namespace

Result<void> append_expression(const Expr& expr, const FormatSettings& settings, std::string& out) {
    return append_node(*expr.store, expr.root, settings, out);
}

}  // namespace mensurator

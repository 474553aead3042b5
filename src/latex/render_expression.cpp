#include "latex/render_expression.hpp"

#include <cstdint>
#include <optional>
#include <string>

#include "base/stack_vector.hpp"
#include "latex/function_latex.hpp"
#include "latex/value_latex.hpp"

namespace mensurator {

namespace {

bool has_operand_child(ExprKind kind) {
    return kind == ExprKind::Paren || kind == ExprKind::Chain || kind == ExprKind::WithUnit;
}

// What the text of an operand follows.
enum class Follows : std::uint8_t { nothing, sum, product };

// Whether a value's LaTeX holds a power of ten, which reads as part of a product beside it.
bool has_power_of_ten(std::string_view latex) {
    return latex.find("10^{") != std::string_view::npos;
}

// A value's LaTeX is a bare number when it holds nothing but digits, a point and a sign (or the
// words of infinities and NaN); otherwise it carries a unit or a power of ten.
bool is_bare_number(std::string_view latex) {
    for (const char c : latex) {
        if (c == ' ' || c == '\\' || c == '{') return false;
    }
    return true;
}

// One expression's LaTeX, written into `out`.
class ExpressionWriter {
  public:
    ExpressionWriter(const ExprStore& store, const FormatSettings& settings,
                     const VariableSubstitution* substitution, std::string& out)
        : store_(store), settings_(settings), substitution_(substitution), out_(out) {}

    Result<void> node(NodeIndex index, Follows follows);

  private:
    const ExprStore& store_;
    const FormatSettings& settings_;
    const VariableSubstitution* substitution_;
    std::string& out_;

    // An operand of a fraction or an exponent: one written pair of parentheses is dropped,
    // since the braces already group it.
    NodeIndex without_outer_paren(NodeIndex operand) const {
        return store_[operand].kind == ExprKind::Paren ? store_[operand].link.first : operand;
    }

    // The value written for a variable, when it is substituted.
    Result<std::optional<std::string>> substituted(const ExprNode& variable) const {
        if (substitution_ == nullptr) return std::optional<std::string>{};
        return substitution_->value_latex(store_.names[variable.link.index]);
    }

    bool base_needs_parens(const ExprNode& chain, std::size_t i) const;
    Result<void> call(const ExprNode& call);
    // Where the innermost node of a spine stands.
    struct LeafPlace {
        Follows follows = Follows::nothing;
        bool annotated = false;       // it is the operand of a unit annotation
        bool before_product = false;  // a multiplication follows it
    };
    Result<void> leaf(const ExprNode& leaf, LeafPlace place);
    NodeIndex chain_opening(const ExprNode& chain);
    Result<void> chain_rest(const ExprNode& chain);
};

// The base of the i-th power of a chain (i from 1) is parenthesised when it is itself a power,
// as every base after the first is, a negative literal, or a quantity with a unit annotation:
// the bare text would read as a different power (`5 (m/s)^2` squares the 5 as well). So is a
// variable whose substituted value is negative or more than a number.
bool ExpressionWriter::base_needs_parens(const ExprNode& chain, std::size_t i) const {
    if (i > 1) return true;
    const ExprNode& base = store_[chain.link.first];
    if (base.kind == ExprKind::Chain)
        return store_[store_[base.link.first].next].op == OperatorKind::Pow;
    if (base.kind == ExprKind::WithUnit) return true;
    if (base.kind == ExprKind::Variable) {
        const Result<std::optional<std::string>> value = substituted(base);
        return value && *value && (value->value().starts_with('-') || !is_bare_number(**value));
    }
    return base.kind == ExprKind::Number && base.number < 0;
}

// Every argument is rendered, also after a failing one; the first failure is the result.
Result<void> ExpressionWriter::call(const ExprNode& call) {
    std::string_view close = ")";
    if (settings_.symbols) {
        PrintedCall printed = printed_call(store_.names[call.link.index]);
        out_ += printed.open;
        close = printed.close;
    } else {
        out_ += "\\mathrm{";
        out_ += store_.names[call.link.index];
        out_ += "}(";
    }
    std::optional<RunError> failure;
    for (NodeIndex arg = call.link.first; arg != no_node; arg = store_[arg].next) {
        if (arg != call.link.first) out_ += ',';
        Result<void> rendered = node(arg, Follows::nothing);
        if (!rendered && !failure) failure = std::move(rendered.error());
    }
    if (failure) return fail(std::move(*failure));
    out_ += close;
    return {};
}

Result<void> ExpressionWriter::leaf(const ExprNode& leaf, LeafPlace place) {
    switch (leaf.kind) {
        case ExprKind::Number:
            // A hint, which the runner never passes to an expression, applies to literals too.
            if (settings_.unit_hint != nullptr)
                return append_value(Value{leaf.number, Unit{}}, settings_, out_);
            // Under significant figures a literal keeps at least the figures it was written with.
            if (settings_.sigfigs != 0 && leaf.written_figures > settings_.sigfigs) {
                FormatSettings as_written = settings_;
                as_written.sigfigs = leaf.written_figures;
                append_plain_number(leaf.number, as_written, out_);
            } else {
                append_plain_number(leaf.number, settings_, out_);
            }
            return {};
        case ExprKind::Variable: {
            Result<std::optional<std::string>> value = substituted(leaf);
            if (!value) return fail(std::move(value.error()));
            if (!*value) {
                out_ += store_.names[leaf.link.index];
                return {};
            }
            const std::string& latex = **value;
            const bool beside_product = place.follows == Follows::product || place.before_product;
            const bool parens = (place.follows != Follows::nothing && latex.starts_with('-')) ||
                                (place.annotated && !is_bare_number(latex)) ||
                                (beside_product && has_power_of_ten(latex));
            if (parens) out_ += '(';
            out_ += latex;
            if (parens) out_ += ')';
            return {};
        }
        case ExprKind::Call:
            return call(leaf);
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
NodeIndex ExpressionWriter::chain_opening(const ExprNode& chain) {
    const NodeIndex first = chain.link.first;
    std::size_t i = 0;
    for (NodeIndex operand = store_[first].next; operand != no_node;
         operand = store_[operand].next) {
        ++i;
        const OperatorKind op = store_[operand].op;
        if (op == OperatorKind::Div) out_ += "\\frac{";
        if (op == OperatorKind::Pow && base_needs_parens(chain, i)) out_ += '(';
    }
    return store_[store_[first].next].op == OperatorKind::Div ? without_outer_paren(first) : first;
}

// What a chain writes after its first operand: each later operand with its operator.
Result<void> ExpressionWriter::chain_rest(const ExprNode& chain) {
    std::size_t i = 0;
    for (NodeIndex operand = store_[chain.link.first].next; operand != no_node;
         operand = store_[operand].next) {
        ++i;
        Result<void> rendered;
        switch (store_[operand].op) {
            case OperatorKind::Add:
                out_ += " + ";
                rendered = node(operand, Follows::sum);
                break;
            case OperatorKind::Sub:
                out_ += " - ";
                rendered = node(operand, Follows::sum);
                break;
            case OperatorKind::Mul:
                out_ += " \\times ";
                rendered = node(operand, Follows::product);
                break;
            case OperatorKind::Div:
                out_ += "}{";
                rendered = node(without_outer_paren(operand), Follows::nothing);
                if (rendered) out_ += '}';
                break;
            case OperatorKind::Pow:
                if (base_needs_parens(chain, i)) out_ += ')';
                out_ += "^{";
                rendered = node(without_outer_paren(operand), Follows::nothing);
                if (rendered) out_ += '}';
                break;
        }
        if (!rendered) return rendered;
    }
    return {};
}

// The tree is deep only along first children. The walk follows them in a loop (the spine),
// writes every opening text top-down, then the innermost node, then every closing text
// bottom-up; it recurses only into later operands and arguments.
Result<void> ExpressionWriter::node(NodeIndex index, Follows follows) {
    // Most expressions are a few nodes deep.
    StackVector<NodeIndex, 16> spine;
    LeafPlace place{follows};
    while (has_operand_child(store_[index].kind)) {
        const ExprNode& node = store_[index];
        spine.push_back(index);
        const std::size_t written = out_.size();
        if (node.kind == ExprKind::Chain) {
            index = chain_opening(node);
        } else {
            if (node.kind == ExprKind::Paren) out_ += '(';
            index = node.link.first;
        }
        // Once an opening is written, the innermost node no longer follows the operator.
        if (out_.size() != written) place.follows = Follows::nothing;
        place.annotated = node.kind == ExprKind::WithUnit;
        place.before_product = node.kind == ExprKind::Chain && out_.size() == written &&
                               store_[store_[node.link.first].next].op == OperatorKind::Mul;
    }

    Result<void> innermost = leaf(store_[index], place);
    if (!innermost) return innermost;
    for (std::size_t level = spine.size(); level > 0; --level) {
        const ExprNode& node = store_[spine[level - 1]];
        if (node.kind == ExprKind::Paren) {
            out_ += ')';
        } else if (node.kind == ExprKind::WithUnit) {
            // A typeset annotation is one \mathrm group already.
            out_ += settings_.symbols ? "\\ " : "\\ \\mathrm{";
            out_ += store_.annotation_latex(store_.annotations[node.link.index]);
            if (!settings_.symbols) out_ += '}';
        } else if (Result<void> rest = chain_rest(node); !rest) {
            return rest;
        }
    }
    return {};
}

}  // namespace

Result<void> append_expression(const Expr& expr, const FormatSettings& settings, std::string& out) {
    return ExpressionWriter(*expr.store, settings, nullptr, out).node(expr.root, Follows::nothing);
}

Result<void> append_substituted_expression(const Expr& expr, const FormatSettings& settings,
                                           const VariableSubstitution& substitution,
                                           std::string& out) {
    return ExpressionWriter(*expr.store, settings, &substitution, out)
        .node(expr.root, Follows::nothing);
}

}  // namespace mensurator

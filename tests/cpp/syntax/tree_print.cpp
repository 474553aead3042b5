#include "tree_print.hpp"

#include <charconv>
#include <utility>
#include <variant>

#include "grammar/parse.hpp"
#include "support/rule_parse.hpp"
#include "support/test_entry_points.hpp"
#include "syntax/statement_builder.hpp"

namespace mensurator::test_support {

namespace {

std::string number_text(double x) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
    return std::string(buffer, result.ptr);
}

// Line ends and tabs spelled out, so that a statement stays on one line.
std::string visible(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "<LF>";
        } else if (c == '\r') {
            out += "<CR>";
        } else if (c == '\t') {
            out += "<HT>";
        } else {
            out += c;
        }
    }
    return out;
}

std::string quoted(std::string_view text) {
    return '"' + visible(text) + '"';
}

std::string operator_name(OperatorKind kind) {
    switch (kind) {
        case OperatorKind::Add:
            return "Add";
        case OperatorKind::Sub:
            return "Sub";
        case OperatorKind::Mul:
            return "Mul";
        case OperatorKind::Div:
            return "Div";
        case OperatorKind::Pow:
            return "Pow";
    }
    return "?";
}

std::string unit_op_name(const UnitOp& op) {
    switch (op.kind) {
        case UnitOpKind::UnitMul:
            return "UMul";
        case UnitOpKind::UnitDiv:
            return "UDiv";
        case UnitOpKind::UnitPow:
            return "UPow{" + std::to_string(op.exponent) + "}";
    }
    return "?";
}

template <class Node, class Print>
std::string operands_text(const std::vector<Node>& operands, Print print) {
    std::string out = "(";
    for (std::size_t i = 0; i < operands.size(); ++i) {
        if (i > 0) out += ", ";
        out += print(operands[i]);
    }
    return out + ")";
}

std::string hint_text(const std::shared_ptr<const UnitHint>& hint) {
    if (!hint) return "";
    return " hint[" + unit_text(hint->unit) + " | " + naive_text(hint->naive) + "]";
}

struct StatementPrinter {
    std::string operator()(const VarDec& s) const {
        return "VarDec[" + quoted(s.name) + "](" + expr_text(s.expr) + ")";
    }
    std::string operator()(const PrintExpr& s) const {
        return "PrintExpr(" + expr_text(s.expr) + ")" + hint_text(s.unit_hint);
    }
    std::string operator()(const DecPrintExpr& s) const {
        return "DecPrintExpr[" + quoted(s.name) + "](" + expr_text(s.expr) + ")" +
               hint_text(s.unit_hint);
    }
    std::string operator()(const AliasStmt& s) const {
        return "Alias[" + quoted(s.name) + " -> " + quoted(s.display) + "]";
    }
    std::string operator()(const DigitSet& s) const {
        return "Digits[" + std::to_string(s.digits) + "]";
    }
    std::string operator()(const SetScientific&) const { return "Scientific"; }
    std::string operator()(const LineGap&) const { return "LineGap"; }
    std::string operator()(const LatexBlock& s) const { return "Latex[" + quoted(s.text) + "]"; }
    std::string operator()(const CheckStmt& s) const {
        return "Check[" + std::string(relation_text(s.relation)) + "](" + expr_text(s.left) + ", " +
               expr_text(s.right) + ")";
    }
    std::string operator()(const SetSteps&) const { return "Steps"; }
    std::string operator()(const OptInDirective& s) const {
        switch (s.kind) {
            case OptInDirective::Kind::sigfigs:
                return "Sigfigs[" + std::to_string(s.sigfigs) + "]";
            case OptInDirective::Kind::extended_units:
                return "ExtendedUnits";
            case OptInDirective::Kind::symbols:
                return "Symbols";
        }
        return "OptIn";
    }
};

}  // namespace

std::string unit_text(const Unit& unit) {
    std::string out;
    for (std::size_t i = 0; i < base_unit_count; ++i) {
        const Rational8 e = unit.dimensions[i];
        if (e.is_zero()) continue;
        if (!out.empty()) out += ' ';
        out += base_unit_symbols[i];
        if (!(e.is_integer() && e.numerator == 1)) {
            out += '^' + std::to_string(e.numerator);
            if (!e.is_integer()) out += '/' + std::to_string(e.denominator);
        }
    }
    if (unit.exp10 != 0) out += (out.empty() ? "e" : " e") + std::to_string(unit.exp10);
    if (unit.factor != 1.0) out += (out.empty() ? "f" : " f") + number_text(unit.factor);
    return out.empty() ? "1" : out;
}

namespace {

std::string node_text(const ExprStore& store, NodeIndex index) {
    const ExprNode& node = store[index];
    switch (node.kind) {
        case ExprKind::Number:
            return number_text(node.number);
        case ExprKind::Variable:
            return std::string(store.names[node.link.index]);
        case ExprKind::Paren:
            return "Paren(" + node_text(store, node.link.first) + ")";
        case ExprKind::Call: {
            std::string out = "Call[" + quoted(store.names[node.link.index]) + "](";
            for (NodeIndex arg = node.link.first; arg != no_node; arg = store[arg].next) {
                if (arg != node.link.first) out += ", ";
                out += node_text(store, arg);
            }
            return out + ")";
        }
        case ExprKind::WithUnit:
            return "WithUnit[" + unit_text(store.annotations[node.link.index].unit) + "](" +
                   node_text(store, node.link.first) + ")";
        case ExprKind::Chain: {
            // Written as the left-deep binary operations it stands for: a - b + c is
            // Add(Sub(a, b), c).
            std::vector<std::string> heads;
            std::string tail = node_text(store, node.link.first);
            for (NodeIndex operand = store[node.link.first].next; operand != no_node;
                 operand = store[operand].next) {
                heads.push_back(operator_name(store[operand].op) + "(");
                tail += ", " + node_text(store, operand) + ")";
            }
            std::string out;
            for (auto head = heads.rbegin(); head != heads.rend(); ++head) out += *head;
            return out + tail;
        }
    }
    return "?";
}

}  // namespace

std::string expr_text(const Expr& expr) {
    return node_text(*expr.store, expr.root);
}

std::string unit_expr_text(const UnitExpr& tree) {
    if (tree.is_leaf())
        return std::string("[").append(unit_text(std::get<Unit>(tree.node))).append("]");
    return unit_op_name(std::get<UnitOp>(tree.node)) + operands_text(tree.operands, unit_expr_text);
}

std::string naive_text(const NaiveUnit& tree) {
    if (tree.is_leaf()) return quoted(std::get<std::string>(tree.node));
    return unit_op_name(std::get<UnitOp>(tree.node)) + operands_text(tree.operands, naive_text);
}

std::string statement_text(const Statement& statement) {
    return std::string("L")
        .append(std::to_string(statement.line))
        .append(" ")
        .append(std::visit(StatementPrinter{}, statement.kind));
}

std::string build_document(std::string_view text) {
    const auto nodes = parse(GrammarRule::program, text);
    if (!nodes) {
        const ParseFailure& failure = nodes.error();
        return std::string(failure.nesting_too_deep ? "too deep " : "parse failure ") +
               std::to_string(failure.line) + ":" + std::to_string(failure.column);
    }
    ExprStore store;
    const Result<std::vector<Statement>> statements = build_statements(*nodes, text, store);
    if (!statements) return "error: " + statements.error().display();
    std::string out;
    for (const Statement& statement : *statements) {
        if (!out.empty()) out += '\n';
        out += statement_text(statement);
    }
    return out;
}

std::string build_expression(std::string_view expression) {
    const std::string text = "x = " + std::string(expression) + "\n";
    const auto nodes = parse(GrammarRule::program, text);
    if (!nodes) return "parse failure " + std::to_string(nodes.error().column);
    ExprStore store;
    const Result<std::vector<Statement>> statements = build_statements(*nodes, text, store);
    if (!statements) return "error: " + statements.error().display();
    if (statements->size() != 1) return "statements: " + std::to_string(statements->size());
    const auto* dec = std::get_if<VarDec>(&statements->front().kind);
    if (dec == nullptr) return "not a definition: " + statement_text(statements->front());
    return expr_text(dec->expr);
}

const ParseNode* find_node(const std::vector<ParseNode>& nodes, GrammarRule rule) {
    for (const ParseNode& node : nodes) {
        if (node.rule == rule) return &node;
        if (const ParseNode* inner = find_node(node.children, rule)) return inner;
    }
    return nullptr;
}

ParsedDocument::ParsedDocument(std::string document)
    : text(std::move(document)), nodes(parse(GrammarRule::program, text)) {}

const ParseNode* ParsedDocument::find(GrammarRule rule) const {
    return nodes ? find_node(*nodes, rule) : nullptr;
}

const ParseNode* ParsedDocument::hint() const {
    const ParseNode* print = find(GrammarRule::print_expr);
    if (print == nullptr || print->children.size() != 2) return nullptr;
    return &print->children[1];
}

ParsedDocument unit_hint_document(std::string_view unit) {
    return ParsedDocument("x =? " + std::string(unit) + "\n");
}

}  // namespace mensurator::test_support

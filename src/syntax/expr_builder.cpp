#include "syntax/expr_builder.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string>

#include "base/trim.hpp"
#include "syntax/unit_chain.hpp"

namespace mensurator {

namespace {

// from_chars leaves the number unset for a literal beyond the double range. The nearest double
// is then an infinity when the literal has a non-zero integer part, and zero when it is too small.
double out_of_range_number(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    const bool overflows = text.find_first_not_of('0') < text.find('.');
    const double magnitude = overflows ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

// Powers of ten up to the most decimals a short literal has; a double holds each exactly.
constexpr std::array<double, 15> exact_powers_of_ten = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14};

// The value of -?digits(.digits)? with at most 15 digits, the common literal, without the
// general conversion: its digits make an integer below 2^53 and its point a power of ten, both
// exact doubles, so their one correctly rounded quotient is the nearest double to the literal,
// what from_chars gives. Nothing for any other text.
std::optional<double> short_decimal(std::string_view text) {
    const bool negative = text.starts_with('-');
    std::size_t at = negative ? 1 : 0;
    std::uint64_t digits = 0;
    std::size_t count = 0;
    std::size_t point = text.size();
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            ++count;
        } else if (c == '.' && point == text.size() && count > 0) {
            point = at;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0 || count > 15 || point == text.size() - 1) return std::nullopt;
    const std::size_t decimals = point == text.size() ? 0 : text.size() - point - 1;
    const double magnitude = static_cast<double>(digits) / exact_powers_of_ten[decimals];
    return negative ? -magnitude : magnitude;
}

// Builds the children of expression and fn_call nodes; recursion follows the bracket nesting,
// which the grammar bounds.
class NodeBuilder {
  public:
    NodeBuilder(std::string_view source, ExprAssembler& assembler, ExprStore& store)
        : source_(source), assembler_(assembler), store_(store) {}

    Result<NodeIndex> expression(const ParseNode& node) {
        if (node.rule != GrammarRule::expression) throw InternalError("not an expression");
        const ExprAssembler::Outer outer = assembler_.begin();
        for (const ParseNode& child : node.children) {
            if (Result<void> added = piece(child); !added) return fail(std::move(added.error()));
        }
        return assembler_.finish(outer);
    }

  private:
    std::string_view source_;
    ExprAssembler& assembler_;
    ExprStore& store_;

    Result<void> piece(const ParseNode& child) {
        switch (child.rule) {
            case GrammarRule::number:
                assembler_.operand(store_.add_number(parse_number(child.text(source_)),
                                                     written_figures(child.text(source_))));
                return {};
            case GrammarRule::ident:
                assembler_.operand(store_.add_named(ExprKind::Variable, trim(child.text(source_))));
                return {};
            case GrammarRule::expression: {
                Result<NodeIndex> inner = expression(child);
                if (!inner) return fail(std::move(inner.error()));
                ExprNode paren;
                paren.kind = ExprKind::Paren;
                paren.link = {0, *inner};
                assembler_.operand(store_.add(paren));
                return {};
            }
            case GrammarRule::fn_call: {
                Result<NodeIndex> call = fn_call(child);
                if (!call) return fail(std::move(call.error()));
                assembler_.operand(*call);
                return {};
            }
            case GrammarRule::unit_expr: {
                Result<std::uint32_t> annotation =
                    assembler_.units().annotation(child, source_, store_);
                if (!annotation) return fail(std::move(annotation.error()));
                assembler_.annotation(*annotation);
                return {};
            }
            case GrammarRule::operation: {
                const std::string_view symbol = trim(child.text(source_));
                const std::optional<OperatorKind> op =
                    symbol.size() == 1 ? infix_operator(symbol.front()) : std::nullopt;
                if (!op) throw InternalError("Bad operator " + std::string(symbol));
                assembler_.infix(*op);
                return {};
            }
            default:
                dump_node(child, source_);
                throw InternalError("unexpected node in expression");
        }
    }

    Result<NodeIndex> fn_call(const ParseNode& node) {
        if (node.children.empty()) return fail(RunError::other("Invalid function"));
        const NodeIndex call =
            store_.add_named(ExprKind::Call, node.children.front().text(source_));
        NodeIndex last = no_node;
        for (std::size_t i = 1; i < node.children.size(); ++i) {
            Result<NodeIndex> arg = expression(node.children[i]);
            if (!arg) return arg;
            if (last == no_node) {
                store_[call].link.first = *arg;
            } else {
                store_[last].next = *arg;
            }
            last = *arg;
        }
        return call;
    }
};

}  // namespace

std::optional<OperatorKind> infix_operator(char symbol) {
    switch (symbol) {
        case '+':
            return OperatorKind::Add;
        case '-':
            return OperatorKind::Sub;
        case '*':
            return OperatorKind::Mul;
        case '/':
            return OperatorKind::Div;
        case '^':
            return OperatorKind::Pow;
        default:
            return std::nullopt;
    }
}

double parse_number(std::string_view text) {
    text = trim(text);
    if (const std::optional<double> number = short_decimal(text)) return *number;
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if ((error != std::errc{} && error != std::errc::result_out_of_range) ||
        end != text.data() + text.size()) {
        throw InternalError("invalid number " + std::string(text));
    }
    return error == std::errc::result_out_of_range ? out_of_range_number(text) : number;
}

std::uint8_t written_figures(std::string_view text) {
    std::size_t figures = 0;
    for (const char c : text) {
        if (c >= '1' && c <= '9') {
            ++figures;
        } else if (c == '0' && figures > 0) {
            ++figures;
        }
    }
    return static_cast<std::uint8_t>(std::min<std::size_t>(figures, 255));
}

Result<Expr> build_expression(const ParseNode& node, std::string_view source,
                              ExprAssembler& assembler) {
    ExprStore& store = assembler.store();
    const NodeIndex begin = static_cast<NodeIndex>(store.nodes.size());
    Result<NodeIndex> root = NodeBuilder(source, assembler, store).expression(node);
    if (!root) {
        assembler.reset();
        return fail(std::move(root.error()));
    }
    return Expr{&store, *root, begin, static_cast<NodeIndex>(store.nodes.size())};
}

}  // namespace mensurator

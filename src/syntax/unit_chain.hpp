#pragma once

// The binding-power loop shared by the two unit-expression builders: the evaluated one
// (UnitExpr) and the one kept as written (NaiveUnit). They differ only in how a leaf is made.

#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/trim.hpp"
#include "grammar/parse_node.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// The children of one parse node, consumed left to right by the builders.
class ChildCursor {
  public:
    explicit ChildCursor(const std::vector<ParseNode>& children) : children_(children) {}
    const ParseNode* peek() const { return next_ < children_.size() ? &children_[next_] : nullptr; }
    const ParseNode* take() { return next_ < children_.size() ? &children_[next_++] : nullptr; }

  private:
    const std::vector<ParseNode>& children_;
    std::size_t next_ = 0;
};

// Writes a parse node to standard error before an internal error is raised about it.
inline void dump_node(const ParseNode& node, std::string_view source) {
    std::cerr << "mensurator: unexpected " << rule_name(node.rule) << " node \""
              << node.text(source) << "\" at bytes " << node.start << ".." << node.end << '\n';
}

// The operator of a unit expression as written: "*", "/" or "^" and an exponent.
enum class UnitToken : std::uint8_t { Mul, Div, Pow, Other };

struct ParsedUnitOperator {
    UnitToken token = UnitToken::Other;
    std::int64_t exponent = 0;
};

// Reads the text of a unit_operation or unit_postfix_operation child. Blanks between "^" and
// the integer are allowed; an exponent outside the signed 64-bit range is an ordinary error.
inline Result<ParsedUnitOperator> read_unit_operator(std::string_view text) {
    text = trim(text);
    if (text == "*") return ParsedUnitOperator{UnitToken::Mul, 0};
    if (text == "/") return ParsedUnitOperator{UnitToken::Div, 0};
    if (!text.starts_with('^')) return ParsedUnitOperator{};
    std::string_view digits = trim_start(text.substr(1));
    if (digits.starts_with('+')) digits.remove_prefix(1);
    std::int64_t exponent = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
    if (error == std::errc::result_out_of_range) {
        return fail(RunError::other("Unit exponent " + std::string(digits) + " is too large"));
    }
    if (error != std::errc{} || end != digits.data() + digits.size() || digits.empty()) {
        throw InternalError("Bad unit power " + std::string(text));
    }
    return ParsedUnitOperator{UnitToken::Pow, exponent};
}

// Builds a unit tree from the children of a unit_expr node. `make_leaf` turns a `unit` node or a
// nested `unit_expr` node (a parenthesised group) into a leaf of type Tree.
template <class Tree, class MakeLeaf>
Result<Tree> build_unit_chain(ChildCursor& children, std::uint8_t min_bp, std::string_view source,
                              const ParseNode& whole, MakeLeaf& make_leaf) {
    const ParseNode* first = children.take();
    if (first == nullptr) throw InternalError("empty unit expression");
    if (first->rule == GrammarRule::unit_operation) {
        return fail(RunError::other("Invalid unit expression " +
                                    std::string(trim(whole.text(source))) +
                                    ": it must begin with a unit, write s^-1 rather than 1/s"));
    }
    Result<Tree> lhs = make_leaf(*first);
    if (!lhs) return lhs;
    while (const ParseNode* next = children.peek()) {
        Result<ParsedUnitOperator> op = read_unit_operator(next->text(source));
        if (!op) return fail(op.error());
        if (op->token == UnitToken::Pow) {
            children.take();
            std::vector<Tree> operands;
            operands.push_back(std::move(*lhs));
            lhs = Tree(UnitOp{UnitOpKind::UnitPow, op->exponent}, std::move(operands));
            continue;
        }
        if (op->token == UnitToken::Other) {
            dump_node(*next, source);
            throw InternalError("Bad unit operator " + std::string(trim(next->text(source))));
        }
        constexpr std::uint8_t left_bp = 1;
        constexpr std::uint8_t right_bp = 2;
        if (min_bp > left_bp) break;
        children.take();
        Result<Tree> rhs = build_unit_chain<Tree>(children, right_bp, source, whole, make_leaf);
        if (!rhs) return rhs;
        std::vector<Tree> operands;
        operands.reserve(2);
        operands.push_back(std::move(*lhs));
        operands.push_back(std::move(*rhs));
        const UnitOpKind kind =
            op->token == UnitToken::Mul ? UnitOpKind::UnitMul : UnitOpKind::UnitDiv;
        lhs = Tree(UnitOp{kind, 0}, std::move(operands));
    }
    return lhs;
}

}  // namespace mensurator

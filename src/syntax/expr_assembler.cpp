#include "syntax/expr_assembler.hpp"

#include <array>
#include <cstdint>

#include "base/error.hpp"

namespace mensurator {

namespace {

struct BindingPower {
    std::uint8_t left;
    std::uint8_t right;
    std::uint8_t level;  // operators of one level share chains
};

// By OperatorKind: Add, Sub, Mul, Div, Pow.
constexpr std::array<BindingPower, 5> binding_powers = {{
    {1, 2, 0},
    {1, 2, 0},
    {3, 4, 1},
    {3, 4, 1},
    {7, 8, 2},
}};

// A unit annotation binds tighter than * and / but looser than ^.
constexpr std::uint8_t annotation_bp = 6;

const BindingPower& power_of(OperatorKind op) {
    return binding_powers[static_cast<std::size_t>(op)];
}

}  // namespace

ExprAssembler::Outer ExprAssembler::begin() {
    const Outer outer{base_, current_};
    base_ = pending_.size();
    current_ = no_node;
    return outer;
}

void ExprAssembler::operand(NodeIndex node) {
    if (current_ != no_node) throw InternalError("two operands without an operator");
    current_ = node;
}

void ExprAssembler::annotation(std::uint32_t annotation) {
    if (current_ == no_node) throw InternalError("unit annotation without an operand");
    // An annotation inside an exponent belongs to the enclosing power as a whole.
    while (pending_.size() > base_ && power_of(pending_.back().op).right > annotation_bp) {
        reduce_top();
    }
    ExprNode node;
    node.kind = ExprKind::WithUnit;
    node.link = {annotation, current_};
    current_ = store_.add(node);
}

void ExprAssembler::infix(OperatorKind op) {
    if (current_ == no_node) throw InternalError("operator without a left operand");
    while (pending_.size() > base_ && power_of(op).left < power_of(pending_.back().op).right) {
        reduce_top();
    }
    pending_.push_back({current_, op});
    current_ = no_node;
}

NodeIndex ExprAssembler::finish(Outer outer) {
    if (current_ == no_node) throw InternalError("expression without a final operand");
    while (pending_.size() > base_) reduce_top();
    const NodeIndex root = current_;
    base_ = outer.base;
    current_ = outer.current;
    return root;
}

void ExprAssembler::reset() {
    pending_.clear();
    base_ = 0;
    current_ = no_node;
}

void ExprAssembler::reduce_top() {
    const Pending top = pending_.back();
    pending_.pop_back();
    current_ = join(top.lhs, top.op, current_);
}

// lhs op rhs. A chain of the operator's level on the left takes rhs as its last operand: `a - b
// + c` is one chain, evaluated as (a - b) + c.
NodeIndex ExprAssembler::join(NodeIndex lhs, OperatorKind op, NodeIndex rhs) {
    store_[rhs].op = op;
    const ExprNode& left = store_[lhs];
    if (left.kind == ExprKind::Chain) {
        const OperatorKind second = store_[store_[left.link.first].next].op;
        if (power_of(second).level == power_of(op).level) {
            store_[left.link.index].next = rhs;
            store_[lhs].link.index = rhs;
            return lhs;
        }
    }
    store_[lhs].next = rhs;
    ExprNode chain;
    chain.kind = ExprKind::Chain;
    chain.link = {rhs, lhs};
    return store_.add(chain);
}

}  // namespace mensurator

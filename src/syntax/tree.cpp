#include "syntax/tree.hpp"

#include <utility>

namespace mensurator {

namespace {

// Destroys a node's descendants without allocating, so that it is safe while unwinding from an
// allocation failure. Operator chains are deep only along their first children (later operands
// nest only through brackets, whose depth the grammar bounds), so the first child is unlinked
// before its node is freed, as in a linked list, and only later children recurse.
template <class Node>
void release_children(std::vector<Node>& children) noexcept {
    if (children.empty()) return;
    Node next = std::move(children.front());
    children.clear();
    for (std::vector<Node>* grand = next.children(); grand != nullptr && !grand->empty();
         grand = next.children()) {
        Node first = std::move(grand->front());
        grand->clear();
        next = std::move(first);
    }
}

// Copies a tree along its first-child chain iteratively; later children (right operands,
// further arguments) are copied by their own copy constructors, whose depth the grammar bounds.
template <class Node>
Node copy_tree(const Node& root) {
    std::vector<const Node*> chain;
    for (const Node* node = &root;;) {
        chain.push_back(node);
        const std::vector<Node>* children = node->children();
        if (children == nullptr || children->empty()) break;
        node = &children->front();
    }
    Node result = Node::shallow_copy(*chain.back());
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        Node parent = Node::shallow_copy(**it);
        std::vector<Node>& children = *parent.children();
        const std::vector<Node>& source = *(*it)->children();
        children.reserve(source.size());
        children.push_back(std::move(result));
        for (std::size_t i = 1; i < source.size(); ++i) children.push_back(source[i]);
        result = std::move(parent);
    }
    return result;
}

}  // namespace

// ---- UnitExpr ----

UnitExpr UnitExpr::shallow_copy(const UnitExpr& other) {
    UnitExpr copy;
    copy.node = other.node;
    return copy;
}

UnitExpr::UnitExpr(const UnitExpr& other) : UnitExpr(copy_tree(other)) {}

UnitExpr& UnitExpr::operator=(const UnitExpr& other) {
    if (this != &other) *this = copy_tree(other);
    return *this;
}

UnitExpr& UnitExpr::operator=(UnitExpr&& other) noexcept {
    UnitExpr previous(std::move(*this));  // keeps `other` alive when it is one of our descendants
    node = std::move(other.node);
    operands = std::move(other.operands);
    return *this;
}

UnitExpr::~UnitExpr() {
    release_children(operands);
}

// ---- NaiveUnit ----

NaiveUnit NaiveUnit::shallow_copy(const NaiveUnit& other) {
    NaiveUnit copy;
    copy.node = other.node;
    return copy;
}

NaiveUnit::NaiveUnit(const NaiveUnit& other) : NaiveUnit(copy_tree(other)) {}

NaiveUnit& NaiveUnit::operator=(const NaiveUnit& other) {
    if (this != &other) *this = copy_tree(other);
    return *this;
}

NaiveUnit& NaiveUnit::operator=(NaiveUnit&& other) noexcept {
    NaiveUnit previous(std::move(*this));  // keeps `other` alive when it is one of our descendants
    node = std::move(other.node);
    operands = std::move(other.operands);
    return *this;
}

NaiveUnit::~NaiveUnit() {
    release_children(operands);
}

// ---- Expr ----

std::vector<Expr>* Expr::children() {
    return const_cast<std::vector<Expr>*>(std::as_const(*this).children());
}

const std::vector<Expr>* Expr::children() const {
    switch (kind()) {
        case Kind::Paren:
            return &std::get<Paren>(node).inner;
        case Kind::Call:
            return &std::get<FnCall>(node).args;
        case Kind::Operation:
            return &std::get<Operation>(node).operands;
        case Kind::Value:
        case Kind::Variable:
            break;
    }
    return nullptr;
}

Expr Expr::shallow_copy(const Expr& other) {
    Expr copy;
    switch (other.kind()) {
        case Kind::Value:
            copy.node = std::get<Value>(other.node);
            break;
        case Kind::Paren:
            copy.node = Paren{};
            break;
        case Kind::Variable:
            copy.node = std::get<Variable>(other.node);
            break;
        case Kind::Call:
            copy.node = FnCall{std::get<FnCall>(other.node).name, {}};
            break;
        case Kind::Operation:
            copy.node = Operation{std::get<Operation>(other.node).op, {}};
            break;
    }
    return copy;
}

Expr::Expr(const Expr& other) : Expr(copy_tree(other)) {}

Expr& Expr::operator=(const Expr& other) {
    if (this != &other) *this = copy_tree(other);
    return *this;
}

Expr& Expr::operator=(Expr&& other) noexcept {
    Expr previous(std::move(*this));  // keeps `other` alive when it is one of our descendants
    node = std::move(other.node);
    return *this;
}

Expr::~Expr() {
    if (std::vector<Expr>* mine = children()) release_children(*mine);
}

Expr make_paren(Expr inner) {
    Paren paren;
    paren.inner.push_back(std::move(inner));
    return Expr(std::move(paren));
}

Expr make_operation(OperatorKind kind, Expr left, Expr right) {
    Operation operation{Operator{kind, Unit{}, {}}, {}};
    operation.operands.reserve(2);
    operation.operands.push_back(std::move(left));
    operation.operands.push_back(std::move(right));
    return Expr(std::move(operation));
}

Expr make_with_unit(Expr operand, Unit unit, std::string latex) {
    Operation operation{Operator{OperatorKind::WithUnit, unit, std::move(latex)}, {}};
    operation.operands.push_back(std::move(operand));
    return Expr(std::move(operation));
}

}  // namespace mensurator

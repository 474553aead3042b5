#pragma once

// Small builders for expression trees and units in the evaluation and rendering tests.

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "quantity/unit.hpp"
#include "quantity/value.hpp"
#include "syntax/tree.hpp"

namespace mensurator::test_support {

struct Dims {
    int m = 0, g = 0, s = 0, A = 0, K = 0, mol = 0, cd = 0;
};

inline Rational8 whole(int n) {
    return Rational8{static_cast<std::int8_t>(n), 1};
}

inline Unit unit_of(Dims d, std::int64_t exp10 = 0, double factor = 1.0) {
    Unit u;
    u.dimensions = {whole(d.m), whole(d.g),   whole(d.s), whole(d.A),
                    whole(d.K), whole(d.mol), whole(d.cd)};
    u.exp10 = exp10;
    u.factor = factor;
    return u;
}

inline const Unit metre = unit_of({.m = 1});
inline const Unit kilometre = unit_of({.m = 1}, 3);
inline const Unit second = unit_of({.s = 1});
inline const Unit hour = unit_of({.s = 1}, 3, 3.6);
inline const Unit minute = unit_of({.s = 1}, 1, 6.0);
inline const Unit degree = unit_of({}, -2, 1.745329);

// Every tree of a test lives in one store that lasts as long as the test program. An operand
// that already has a parent is copied, so that one built expression may be used in several
// places; a fresh one is linked as it is, so that long chains build in linear time.
inline ExprStore& test_store() {
    static ExprStore store;
    return store;
}

inline bool take_for_parent(NodeIndex index) {
    static std::vector<bool> taken;
    if (taken.size() <= index) taken.resize(index + 1);
    if (taken[index]) return false;
    taken[index] = true;
    return true;
}

// Names are views: the store's names must outlive the tests that build them.
inline std::string_view kept_name(std::string name) {
    static std::deque<std::string> names;
    return names.emplace_back(std::move(name));
}

// Adds `node` over the children, linked in order.
inline NodeIndex add_parent(ExprNode node, const std::vector<NodeIndex>& children) {
    ExprStore& store = test_store();
    node.next = no_node;
    node.link.first = children.empty() ? no_node : children.front();
    for (std::size_t i = 1; i < children.size(); ++i) store[children[i - 1]].next = children[i];
    if (!children.empty()) store[children.back()].next = no_node;
    if (node.kind == ExprKind::Chain) node.link.index = children.back();
    return store.add(node);
}

inline NodeIndex copy_node(NodeIndex index) {
    ExprStore& store = test_store();
    ExprNode node = store[index];
    node.next = no_node;
    if (node.kind == ExprKind::Number || node.link.first == no_node) return store.add(node);
    std::vector<NodeIndex> copies;
    for (NodeIndex child = node.link.first; child != no_node; child = store[child].next) {
        copies.push_back(copy_node(child));
        take_for_parent(copies.back());
    }
    return add_parent(node, copies);
}

inline Expr whole_store_expr(NodeIndex root) {
    return Expr{&test_store(), root, 0, static_cast<NodeIndex>(test_store().nodes.size())};
}

inline Expr lit(double x) {
    return whole_store_expr(test_store().add_number(x));
}
inline Expr var(std::string name) {
    return whole_store_expr(test_store().add_named(ExprKind::Variable, kept_name(std::move(name))));
}

// `node` over the children, each copied when it already has a parent.
inline Expr parent_of(ExprNode node, const std::vector<Expr>& children) {
    std::vector<NodeIndex> linked;
    for (const Expr& child : children) {
        linked.push_back(take_for_parent(child.root) ? child.root : copy_node(child.root));
    }
    return whole_store_expr(add_parent(node, linked));
}

inline Expr paren(Expr inner) {
    ExprNode node;
    node.kind = ExprKind::Paren;
    node.link = {0, no_node};
    return parent_of(node, {inner});
}

inline Expr call(std::string name, std::vector<Expr> args = {}) {
    const Expr named =
        whole_store_expr(test_store().add_named(ExprKind::Call, kept_name(std::move(name))));
    ExprNode node = test_store()[named.root];
    return parent_of(node, args);
}

inline Expr with_unit(Expr operand, Unit unit, std::string latex = "\\mathrm{u}") {
    ExprNode node;
    node.kind = ExprKind::WithUnit;
    node.link = {test_store().add_annotation(unit, latex), no_node};
    return parent_of(node, {operand});
}

// The two-operand chain `a op b`.
inline Expr binary(OperatorKind op, Expr a, Expr b) {
    ExprNode node;
    node.kind = ExprKind::Chain;
    node.link = {0, no_node};
    const Expr chain = parent_of(node, {a, b});
    ExprStore& store = test_store();
    store[store[store[chain.root].link.first].next].op = op;
    return chain;
}

inline Expr add(Expr a, Expr b) {
    return binary(OperatorKind::Add, a, b);
}
inline Expr sub(Expr a, Expr b) {
    return binary(OperatorKind::Sub, a, b);
}
inline Expr mul(Expr a, Expr b) {
    return binary(OperatorKind::Mul, a, b);
}
inline Expr div(Expr a, Expr b) {
    return binary(OperatorKind::Div, a, b);
}
inline Expr pow(Expr a, Expr b) {
    return binary(OperatorKind::Pow, a, b);
}

}  // namespace mensurator::test_support

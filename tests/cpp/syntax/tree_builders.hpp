#pragma once

// Small builders for expression trees and units in the evaluation and rendering tests.

#include <cstdint>
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

inline Expr lit(double x) {
    return Expr(Value{x, Unit{}});
}
inline Expr var(std::string name) {
    return Expr(Variable{std::move(name)});
}
inline Expr paren(Expr inner) {
    return make_paren(std::move(inner));
}

inline Expr call(std::string name, std::vector<Expr> args = {}) {
    return Expr(FnCall{std::move(name), std::move(args)});
}

inline Expr with_unit(Expr operand, Unit unit, std::string latex = "\\mathrm{u}") {
    return make_with_unit(std::move(operand), unit, std::move(latex));
}

inline Expr add(Expr a, Expr b) {
    return make_operation(OperatorKind::Add, std::move(a), std::move(b));
}
inline Expr sub(Expr a, Expr b) {
    return make_operation(OperatorKind::Sub, std::move(a), std::move(b));
}
inline Expr mul(Expr a, Expr b) {
    return make_operation(OperatorKind::Mul, std::move(a), std::move(b));
}
inline Expr div(Expr a, Expr b) {
    return make_operation(OperatorKind::Div, std::move(a), std::move(b));
}
inline Expr pow(Expr a, Expr b) {
    return make_operation(OperatorKind::Pow, std::move(a), std::move(b));
}

// An operation with any operand list, for trees the builders never make.
inline Expr raw_operation(OperatorKind kind, std::vector<Expr> operands) {
    return Expr(Operation{Operator{kind, {}, {}}, std::move(operands)});
}

}  // namespace mensurator::test_support

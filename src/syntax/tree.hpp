#pragma once

// The syntax tree: what the builders make of the parse tree and what evaluation and rendering
// read. Every node owns its children. Operator chains are left-deep and may be very long (a sum
// of 100 000 terms is one chain), so copying and destruction walk chains iteratively; consumers
// that recurse must iterate along the first child as well.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "quantity/unit.hpp"
#include "quantity/value.hpp"

namespace mensurator {

// ---- unit expressions ----

enum class UnitOpKind : std::uint8_t { UnitMul, UnitDiv, UnitPow };

struct UnitOp {
    UnitOpKind kind = UnitOpKind::UnitMul;
    std::int64_t exponent = 0;  // UnitPow only
};

// A unit expression: a leaf holding a unit, or an operator node over operands (two for UnitMul
// and UnitDiv, left first; one for UnitPow).
struct UnitExpr {
    std::variant<Unit, UnitOp> node;
    std::vector<UnitExpr> operands;

    UnitExpr() = default;
    explicit UnitExpr(Unit leaf) : node(leaf) {}
    UnitExpr(UnitOp op, std::vector<UnitExpr> operands) : node(op), operands(std::move(operands)) {}
    UnitExpr(const UnitExpr& other);
    UnitExpr(UnitExpr&&) noexcept = default;
    UnitExpr& operator=(const UnitExpr& other);
    UnitExpr& operator=(UnitExpr&&) noexcept;
    ~UnitExpr();

    bool is_leaf() const { return std::holds_alternative<Unit>(node); }
    std::vector<UnitExpr>* children() { return &operands; }
    const std::vector<UnitExpr>* children() const { return &operands; }
    static UnitExpr shallow_copy(const UnitExpr& other);  // the node without its operands
};

// The same shape with text in place of units: a unit name as written, or the LaTeX already
// rendered for a parenthesised group.
struct NaiveUnit {
    std::variant<std::string, UnitOp> node;
    std::vector<NaiveUnit> operands;

    NaiveUnit() = default;
    explicit NaiveUnit(std::string leaf) : node(std::move(leaf)) {}
    NaiveUnit(UnitOp op, std::vector<NaiveUnit> operands)
        : node(op), operands(std::move(operands)) {}
    NaiveUnit(const NaiveUnit& other);
    NaiveUnit(NaiveUnit&&) noexcept = default;
    NaiveUnit& operator=(const NaiveUnit& other);
    NaiveUnit& operator=(NaiveUnit&&) noexcept;
    ~NaiveUnit();

    bool is_leaf() const { return std::holds_alternative<std::string>(node); }
    std::vector<NaiveUnit>* children() { return &operands; }
    const std::vector<NaiveUnit>* children() const { return &operands; }
    static NaiveUnit shallow_copy(const NaiveUnit& other);  // the node without its operands
};

// The unit a printed result is shown in: evaluated, and as written.
struct UnitHint {
    Unit unit;
    NaiveUnit naive;
};

// ---- expressions ----

enum class OperatorKind : std::uint8_t { Add, Sub, Mul, Div, Pow, WithUnit };

struct Operator {
    OperatorKind kind = OperatorKind::Add;
    Unit unit{};        // WithUnit: the evaluated unit expression
    std::string latex;  // WithUnit: the unit expression as written, in LaTeX
};

struct Expr;

struct Paren {
    std::vector<Expr> inner;  // exactly one expression
};

struct Variable {
    std::string name;
};

struct FnCall {
    std::string name;
    std::vector<Expr> args;
};

struct Operation {
    Operator op;
    std::vector<Expr> operands;  // two for the infix operators (left first), one for WithUnit
};

struct Expr {
    enum class Kind : std::uint8_t { Value, Paren, Variable, Call, Operation };

    std::variant<Value, Paren, Variable, FnCall, Operation> node;

    Expr() = default;
    Expr(Value literal) : node(literal) {}
    Expr(Paren paren) : node(std::move(paren)) {}
    Expr(Variable variable) : node(std::move(variable)) {}
    Expr(FnCall call) : node(std::move(call)) {}
    Expr(Operation operation) : node(std::move(operation)) {}
    Expr(const Expr& other);
    Expr(Expr&&) noexcept = default;
    Expr& operator=(const Expr& other);
    Expr& operator=(Expr&&) noexcept;
    ~Expr();

    Kind kind() const { return static_cast<Kind>(node.index()); }
    // The owned sub-expressions: the inner expression, the arguments or the operands.
    std::vector<Expr>* children();
    const std::vector<Expr>* children() const;
    static Expr shallow_copy(const Expr& other);  // the node without its children
};

Expr make_paren(Expr inner);
Expr make_operation(OperatorKind kind, Expr left, Expr right);
Expr make_with_unit(Expr operand, Unit unit, std::string latex);

// ---- statements ----

struct VarDec {
    std::string name;  // as matched, not trimmed
    Expr expr;
};

struct PrintExpr {
    Expr expr;
    std::optional<UnitHint> unit_hint;
};

struct DecPrintExpr {
    std::string name;  // as matched, not trimmed
    Expr expr;
    std::optional<UnitHint> unit_hint;
};

struct AliasStmt {
    std::string name;
    std::string display;
};

struct DigitSet {
    std::uint64_t digits = 0;
};

struct SetScientific {};
struct LineGap {};

struct LatexBlock {
    std::string text;  // without the ''' fences
};

struct Statement {
    using Kind = std::variant<VarDec, PrintExpr, DecPrintExpr, AliasStmt, DigitSet, SetScientific,
                              LineGap, LatexBlock>;

    std::uint64_t line = 1;
    Kind kind;
};

}  // namespace mensurator

// Evaluation of unit-expression trees into one unit: trees built here by hand, including the
// long and malformed ones that the builders never make.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "quantity/unit_helpers.hpp"
#include "quantity/unit_table.hpp"
#include "syntax/unit_expr.hpp"

namespace mensurator {
namespace {

using test_support::expect_unit;
using test_support::make_unit;

UnitExpr leaf(std::string_view name) {
    return UnitExpr(*lookup_unit(name));
}

UnitExpr binary(UnitOpKind kind, UnitExpr left, UnitExpr right) {
    std::vector<UnitExpr> operands;
    operands.push_back(std::move(left));
    operands.push_back(std::move(right));
    return UnitExpr(UnitOp{kind, 0}, std::move(operands));
}

UnitExpr power(UnitExpr operand, std::int64_t exponent) {
    std::vector<UnitExpr> operands;
    operands.push_back(std::move(operand));
    return UnitExpr(UnitOp{UnitOpKind::UnitPow, exponent}, std::move(operands));
}

TEST(UnitExpression, KilometrePerHour) {
    const UnitExpr tree = binary(UnitOpKind::UnitDiv, leaf("km"), leaf("hour"));
    expect_unit(*evaluate_unit_expr(tree), make_unit({1, 0, -1, 0, 0, 0, 0}, 0, 1.0 / 3.6));
}

TEST(UnitExpression, NewtonFromItsParts) {
    // kg*m/s^2 as (kg*m)/(s^2).
    const UnitExpr tree =
        binary(UnitOpKind::UnitDiv, binary(UnitOpKind::UnitMul, leaf("kg"), leaf("m")),
               power(leaf("s"), 2));
    expect_unit(*evaluate_unit_expr(tree), *lookup_unit("N"));
}

TEST(UnitExpression, Powers) {
    expect_unit(*evaluate_unit_expr(power(leaf("m"), 0)), Unit{});
    expect_unit(*evaluate_unit_expr(power(leaf("m"), -2)), make_unit({-2, 0, 0, 0, 0, 0, 0}));
    expect_unit(*evaluate_unit_expr(power(leaf("hour"), 2)),
                make_unit({0, 0, 2, 0, 0, 0, 0}, 6, 3.6 * 3.6));
    const Unit metre_per_second = *unit_div(*lookup_unit("m"), *lookup_unit("s"));
    expect_unit(*evaluate_unit_expr(power(UnitExpr(metre_per_second), 2)),
                make_unit({2, 0, -2, 0, 0, 0, 0}));
}

TEST(UnitExpression, LeftAssociativeChainsKeepTheirOrder) {
    // (m/s)*kg and m/(s*kg) differ: the tree's grouping is applied as built.
    const UnitExpr left =
        binary(UnitOpKind::UnitMul, binary(UnitOpKind::UnitDiv, leaf("m"), leaf("s")), leaf("kg"));
    expect_unit(*evaluate_unit_expr(left), make_unit({1, 1, -1, 0, 0, 0, 0}, 3));
    const UnitExpr right =
        binary(UnitOpKind::UnitDiv, leaf("m"), binary(UnitOpKind::UnitMul, leaf("s"), leaf("kg")));
    expect_unit(*evaluate_unit_expr(right), make_unit({1, -1, -1, 0, 0, 0, 0}, -3));
}

// A left-deep chain first / second * second / second * ... of the given length.
UnitExpr long_chain(std::size_t length, std::string_view first, UnitOpKind even, UnitOpKind odd) {
    UnitExpr tree = leaf(first);
    for (std::size_t i = 0; i < length; ++i) {
        tree = binary(i % 2 == 0 ? even : odd, std::move(tree), leaf("s"));
    }
    return tree;
}

TEST(UnitExpression, VeryLongChainsDoNotExhaustTheStack) {
    const UnitExpr balanced = long_chain(200'000, "m", UnitOpKind::UnitDiv, UnitOpKind::UnitMul);
    expect_unit(*evaluate_unit_expr(balanced), *lookup_unit("m"));

    const UnitExpr divisions = long_chain(100'000, "m", UnitOpKind::UnitDiv, UnitOpKind::UnitDiv);
    const Result<Unit> result = evaluate_unit_expr(divisions);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().display(), "Unit exponent out of range -128..127");
}

TEST(UnitExpression, OverflowInARightOperandIsReported) {
    const UnitExpr tree = binary(UnitOpKind::UnitMul, leaf("m"), power(power(leaf("m"), 100), 2));
    EXPECT_EQ(evaluate_unit_expr(tree).error().display(), "Unit exponent out of range -128..127");
}

TEST(UnitExpression, MalformedNodesAreInternalErrors) {
    std::vector<UnitExpr> one;
    one.push_back(leaf("m"));
    EXPECT_THROW((void)evaluate_unit_expr(UnitExpr(UnitOp{UnitOpKind::UnitMul, 0}, std::move(one))),
                 InternalError);

    std::vector<UnitExpr> none;
    EXPECT_THROW(
        (void)evaluate_unit_expr(UnitExpr(UnitOp{UnitOpKind::UnitDiv, 0}, std::move(none))),
        InternalError);

    // A malformed node deep in the left spine is found as well.
    std::vector<UnitExpr> two;
    two.push_back(leaf("m"));
    two.push_back(leaf("s"));
    UnitExpr bad_power(UnitOp{UnitOpKind::UnitPow, 2}, std::move(two));
    const UnitExpr tree = binary(UnitOpKind::UnitMul, std::move(bad_power), leaf("s"));
    EXPECT_THROW((void)evaluate_unit_expr(tree), InternalError);

    // ... and in a right operand.
    std::vector<UnitExpr> lone;
    lone.push_back(leaf("s"));
    const UnitExpr right_bad = binary(UnitOpKind::UnitDiv, leaf("m"),
                                      UnitExpr(UnitOp{UnitOpKind::UnitMul, 0}, std::move(lone)));
    EXPECT_THROW((void)evaluate_unit_expr(right_bad), InternalError);
}

}  // namespace
}  // namespace mensurator

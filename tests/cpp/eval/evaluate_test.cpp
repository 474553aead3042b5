#include "eval/evaluate.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "syntax/tree_builders.hpp"

namespace mensurator {
namespace {

using namespace mensurator::test_support;

Value value_of(const Expr& expr, const VariableTable& variables = {}) {
    Result<Value> result = evaluate(expr, variables);
    if (!result) ADD_FAILURE() << result.error().display();
    return result.value_or(Value{});
}

RunError error_of(const Expr& expr, const VariableTable& variables = {}) {
    Result<Value> result = evaluate(expr, variables);
    if (result) throw std::logic_error("evaluation succeeded");
    return result.error();
}

TEST(Evaluate, LiteralsAreNormalised) {
    const Value v = value_of(lit(12345));
    EXPECT_DOUBLE_EQ(v.number, 1.2345);
    EXPECT_EQ(v.unit.exp10, 4);
    EXPECT_EQ(value_of(lit(0)).number, 0);
}

TEST(Evaluate, VariablesAreReturnedAsStored) {
    const VariableTable variables{{"v", Value{12345, metre}}};
    const Value v = value_of(var("v"), variables);
    EXPECT_EQ(v.number, 12345);
    EXPECT_EQ(v.unit.exp10, 0);
    EXPECT_TRUE(same_dimensions(v.unit, metre));
}

TEST(Evaluate, VariableShadowsUnitOfTheSameName) {
    const VariableTable variables{{"m", Value{7, Unit{}}}};
    const Value v = value_of(var("m"), variables);
    EXPECT_EQ(v.number, 7);
    EXPECT_TRUE(is_dimensionless(v.unit));
}

TEST(Evaluate, BareUnitNameIsOneOfThatUnit) {
    const Value km = value_of(var("km"));
    EXPECT_EQ(km.number, 1.0);
    EXPECT_TRUE(same_dimensions(km.unit, metre));
    EXPECT_EQ(km.unit.exp10, 3);

    const Value hours = value_of(var("hours"));
    EXPECT_EQ(hours.number, 1.0);
    EXPECT_DOUBLE_EQ(to_plain_number(hours), 3600);
}

TEST(Evaluate, UnknownNameIsAUnitError) {
    const RunError error = error_of(var("foo"));
    EXPECT_EQ(error.kind(), RunError::Kind::UnitError);
    EXPECT_EQ(error.display(), "foo is not a variable or a valid unit");
}

TEST(Evaluate, AnnotationKeepsTheNumberAndMultipliesTheUnit) {
    const Value v = value_of(with_unit(lit(250), kilometre));
    EXPECT_DOUBLE_EQ(v.number, 2.5);  // the literal is normalised, the result is not
    EXPECT_EQ(v.unit.exp10, 5);
    EXPECT_TRUE(same_dimensions(v.unit, metre));

    const Value per_second = value_of(with_unit(var("km"), unit_of({.s = -1})));
    EXPECT_TRUE(same_dimensions(per_second.unit, unit_of({.m = 1, .s = -1})));
}

TEST(Evaluate, OperationsApplyTheArithmetic) {
    // 2 * 3 km is 6 km.
    const Value product = value_of(mul(lit(2), with_unit(lit(3), kilometre)));
    EXPECT_DOUBLE_EQ(to_plain_number(product), 6000);
    EXPECT_TRUE(same_dimensions(product.unit, metre));

    EXPECT_DOUBLE_EQ(to_plain_number(value_of(sub(lit(10), lit(4)))), 6);
    EXPECT_DOUBLE_EQ(to_plain_number(value_of(div(lit(-30), lit(2)))), -15);
    EXPECT_DOUBLE_EQ(to_plain_number(value_of(pow(lit(2), lit(10)))), 1024);
    EXPECT_DOUBLE_EQ(to_plain_number(value_of(add(lit(1), paren(lit(2))))), 3);
    EXPECT_TRUE(std::isinf(to_plain_number(value_of(div(lit(1), lit(0))))));
}

TEST(Evaluate, CallsGoToTheFunctionTable) {
    EXPECT_DOUBLE_EQ(to_plain_number(value_of(call("sqrt", {add(lit(2), lit(2))}))), 2);
    EXPECT_EQ(error_of(call("Sin", {lit(1)})).display(), "Unknown function Sin");
}

TEST(Evaluate, MismatchedSumIsReported) {
    const RunError error = error_of(add(with_unit(lit(2), metre), with_unit(lit(3), second)));
    EXPECT_EQ(error.kind(), RunError::Kind::Other);
    EXPECT_EQ(error.display(), "Can't sub values with units m and s");
}

TEST(Evaluate, FirstFailingOperandWins) {
    // The left operand fails first, so the unknown function on the right is never reached.
    EXPECT_EQ(error_of(add(var("left"), call("nope"))).display(),
              "left is not a variable or a valid unit");
    EXPECT_EQ(error_of(mul(lit(1), add(var("inner"), var("right")))).display(),
              "inner is not a variable or a valid unit");
    // Deep in a chain the leftmost failure is the one reported.
    EXPECT_EQ(error_of(add(add(add(lit(1), var("first")), var("second")), var("third"))).display(),
              "first is not a variable or a valid unit");
}

}  // namespace
}  // namespace mensurator

#include "eval/function.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "syntax/tree_builders.hpp"

namespace mensurator {
namespace {

using namespace mensurator::test_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

Result<Value> call_with(const std::string& name, std::vector<Expr> args,
                        const VariableTable& variables = {}) {
    const Expr c = call(name, std::move(args));
    return call_function(*c.store, c.root, variables);
}

struct ComputeCase {
    std::string name;
    std::vector<double> args;
    double expected;
};

class FunctionValueTest : public ::testing::TestWithParam<ComputeCase> {};

TEST_P(FunctionValueTest, ComputesOnPlainNumbers) {
    const ComputeCase& c = GetParam();
    std::vector<Expr> args;
    for (double x : c.args) args.push_back(lit(x));
    const Result<Value> result = call_with(c.name, std::move(args));
    ASSERT_TRUE(result.has_value()) << result.error().display();
    EXPECT_TRUE(is_dimensionless(result->unit));
    const double got = to_plain_number(*result);
    if (std::isnan(c.expected)) {
        EXPECT_TRUE(std::isnan(got)) << got;
    } else if (std::isinf(c.expected) || c.expected == 0) {
        EXPECT_EQ(got, c.expected);
    } else {
        EXPECT_NEAR(got, c.expected, std::fabs(c.expected) * 1e-13);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FunctionValueTest,
    ::testing::Values(
        ComputeCase{"abs", {-2}, 2}, ComputeCase{"ceil", {1.2}, 2},
        ComputeCase{"floor", {-0.5}, -1},
        // Halves go away from zero; the largest double below 0.5 is not a half.
        ComputeCase{"round", {2.5}, 3}, ComputeCase{"round", {-2.5}, -3},
        ComputeCase{"round", {0.49999999999999994}, 0}, ComputeCase{"min", {3, 1, 2}, 1},
        ComputeCase{"max", {3, 1, 2}, 3}, ComputeCase{"min", {5}, 5}, ComputeCase{"sqrt", {4}, 2},
        ComputeCase{"sqrt", {-1}, nan}, ComputeCase{"cbrt", {-27}, -3},
        ComputeCase{"exp", {1}, std::numbers::e}, ComputeCase{"ln", {10}, std::numbers::ln10},
        ComputeCase{"ln", {0}, -inf}, ComputeCase{"log2", {8}, 3}, ComputeCase{"log10", {1000}, 3},
        ComputeCase{"sin", {0.5}, 0.479425538604203}, ComputeCase{"cos", {0.5}, 0.8775825618903728},
        ComputeCase{"tan", {0.5}, 0.5463024898437905},
        ComputeCase{"asin", {0.5}, std::numbers::pi / 6},
        ComputeCase{"acos", {0.5}, std::numbers::pi / 3},
        ComputeCase{"atan", {1}, std::numbers::pi / 4},
        // The first argument is y, the second x.
        ComputeCase{"atan2", {1, 0}, std::numbers::pi / 2},
        ComputeCase{"atan2", {0, -1}, std::numbers::pi},
        ComputeCase{"sinh", {1}, 1.1752011936438014}, ComputeCase{"cosh", {1}, 1.5430806348152437},
        ComputeCase{"tanh", {0.5}, 0.46211715726000974},
        ComputeCase{"asinh", {1}, 0.881373587019543},
        ComputeCase{"asinh", {-1}, -0.881373587019543},
        ComputeCase{"acosh", {2}, 1.3169578969248166}, ComputeCase{"acosh", {0.5}, nan},
        ComputeCase{"atanh", {0.5}, 0.5493061443340549}, ComputeCase{"atanh", {1}, inf},
        ComputeCase{"atanh", {2}, nan},
        // Far from 1 the logarithm formulas overflow or cancel; the results stay exact.
        ComputeCase{"asinh", {1e200}, 461.2101657793691},
        ComputeCase{"acosh", {1e200}, 461.2101657793691}, ComputeCase{"asinh", {1e-20}, 1e-20},
        ComputeCase{"atanh", {1e-20}, 1e-20},
        // A NaN is skipped unless every argument is NaN.
        ComputeCase{"max", {nan, 1}, 1}, ComputeCase{"min", {nan, 2, 1}, 1},
        ComputeCase{"max", {1, nan, 3}, 3}, ComputeCase{"min", {nan, nan}, nan},
        ComputeCase{"max", {nan}, nan}),
    [](const ::testing::TestParamInfo<ComputeCase>& info) {
        return info.param.name + "_" + std::to_string(info.index);
    });

TEST(Functions, OfEqualValuesTheFirstWins) {
    struct Case {
        std::string name;
        double first, second;
        bool negative;
    };
    for (const Case& c : {Case{"min", 0.0, -0.0, false}, Case{"min", -0.0, 0.0, true},
                          Case{"max", 0.0, -0.0, false}, Case{"max", -0.0, 0.0, true}}) {
        const Result<Value> result = call_with(c.name, {lit(c.first), lit(c.second)});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(std::signbit(result->number), c.negative) << c.name << " " << c.first;
    }
}

struct ErrorCase {
    std::string name;
    int argument_count;
    std::string message;
};

class FunctionArityTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FunctionArityTest, ReportsNameAndCountErrors) {
    const ErrorCase& c = GetParam();
    std::vector<Expr> args(static_cast<std::size_t>(c.argument_count), lit(1));
    const Result<Value> result = call_with(c.name, std::move(args));
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind(), RunError::Kind::Other);
    EXPECT_EQ(result.error().display(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, FunctionArityTest,
    ::testing::Values(
        ErrorCase{"sqrt", 0,
                  "Incorrect number of arguments to function sqrt, expected 1..=1 but got 0"},
        ErrorCase{"sin", 2,
                  "Incorrect number of arguments to function sin, expected 1..=1 but got 2"},
        ErrorCase{"min", 0,
                  "Incorrect number of arguments to function min, expected "
                  "1..=18446744073709551615 but got 0"},
        ErrorCase{"atan2", 1,
                  "Incorrect number of arguments to function atan2, expected 2..=2 but got 1"},
        ErrorCase{"atan2", 3,
                  "Incorrect number of arguments to function atan2, expected 2..=2 but got 3"},
        ErrorCase{"Sin", 1, "Unknown function Sin"}, ErrorCase{"log", 1, "Unknown function log"},
        ErrorCase{" sin", 1, "Unknown function  sin"},
        ErrorCase{"nope", 0, "Unknown function nope"}));

TEST(Functions, ChecksRunInOrder) {
    // Unknown name before a wrong count or a failing argument.
    Result<Value> result = call_with("Sqrt", {var("nosuch")});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().display(), "Unknown function Sqrt");

    // Wrong count before any argument is evaluated.
    result = call_with("sqrt", {var("nosuch"), var("other")});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().display(),
              "Incorrect number of arguments to function sqrt, expected 1..=1 but got 2");

    // All arguments are evaluated, left to right, before any unit check.
    result = call_with("atan2", {with_unit(lit(3), metre), var("nosuch")});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind(), RunError::Kind::UnitError);
    EXPECT_EQ(result.error().display(), "nosuch is not a variable or a valid unit");

    result = call_with("max", {var("first"), var("second")});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().display(), "first is not a variable or a valid unit");
}

TEST(Functions, DimensionlessOnlyRejectsUnits) {
    for (const char* name : {"sqrt", "exp", "sin", "asinh"}) {
        const Result<Value> result = call_with(name, {with_unit(lit(4), metre)});
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind(), RunError::Kind::UnitError);
        EXPECT_EQ(result.error().display(),
                  std::string("Can't take ") + name + " of unit-ed value");
    }
    const Result<Value> second_argument = call_with("atan2", {lit(1), with_unit(lit(2), second)});
    ASSERT_FALSE(second_argument.has_value());
    EXPECT_EQ(second_argument.error().display(), "Can't take atan2 of unit-ed value");
}

TEST(Functions, DimensionlessUnitsEnterAsPlainNumbers) {
    // 30 degrees: 30 * 1.745329 * 10^-2 radians.
    const Result<Value> result = call_with("sin", {with_unit(lit(30), degree)});
    ASSERT_TRUE(result.has_value()) << result.error().display();
    EXPECT_NEAR(to_plain_number(*result), std::sin(0.5235987), 1e-12);
    EXPECT_TRUE(is_dimensionless(result->unit));
}

TEST(Functions, UnitKeepingMixesScalesOfOneDimension) {
    const Result<Value> longest =
        call_with("max", {with_unit(lit(1), kilometre), with_unit(lit(300), metre)});
    ASSERT_TRUE(longest.has_value()) << longest.error().display();
    EXPECT_DOUBLE_EQ(to_plain_number(*longest), 1000);
    EXPECT_TRUE(same_dimensions(longest->unit, metre));
    EXPECT_EQ(longest->unit.factor, 1.0);

    // The hour's factor is folded into the number: 2 hours are 7200 seconds.
    const Result<Value> duration = call_with("abs", {with_unit(lit(-2), hour)});
    ASSERT_TRUE(duration.has_value()) << duration.error().display();
    EXPECT_DOUBLE_EQ(to_plain_number(*duration), 7200);
    EXPECT_TRUE(same_dimensions(duration->unit, second));
    EXPECT_EQ(duration->unit.factor, 1.0);
    // The result is normalised.
    EXPECT_DOUBLE_EQ(duration->number, 7.2);
    EXPECT_EQ(duration->unit.exp10, 3);
}

TEST(Functions, UnitKeepingRequiresOneDimension) {
    for (auto args : {std::vector<Expr>{with_unit(lit(1), second), with_unit(lit(1), metre)},
                      std::vector<Expr>{with_unit(lit(1), metre), lit(2)},
                      std::vector<Expr>{lit(1), lit(2), with_unit(lit(3), metre)}}) {
        const Result<Value> result = call_with("min", std::move(args));
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind(), RunError::Kind::Other);
        EXPECT_EQ(result.error().display(),
                  "Functions require all arguments to have the same unit");
    }
}

TEST(Functions, ArgumentsSeeTheVariables) {
    const VariableTable variables{{"x", Value{16, Unit{}}}};
    const Result<Value> result = call_with("sqrt", {var("x")}, variables);
    ASSERT_TRUE(result.has_value());
    EXPECT_DOUBLE_EQ(to_plain_number(*result), 4);
}

}  // namespace
}  // namespace mensurator

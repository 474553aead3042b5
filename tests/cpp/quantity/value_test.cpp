#include "quantity/value.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "quantity/unit_helpers.hpp"

namespace mensurator {
namespace {

using test_support::degree;
using test_support::expect_unit;
using test_support::hour;
using test_support::kilometre;
using test_support::make_unit;
using test_support::metre;
using test_support::minute;
using test_support::second;

using test_support::inf;
using test_support::max64;
using test_support::min64;

void expect_value(const Value& actual, double number, const Unit& unit) {
    EXPECT_EQ(actual.number, number);
    expect_unit(actual.unit, unit);
}

// ---- powers of ten ----

struct Pow10Case {
    std::int64_t exponent;
    double expected;
};

class Pow10 : public ::testing::TestWithParam<Pow10Case> {};

TEST_P(Pow10, SquaresOnTheExponentTruncatedTo32Bits) {
    EXPECT_EQ(pow10(GetParam().exponent), GetParam().expected) << GetParam().exponent;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pow10,
    ::testing::Values(Pow10Case{0, 1.0}, Pow10Case{1, 10.0}, Pow10Case{3, 1000.0},
                      Pow10Case{22, 1e22}, Pow10Case{-1, 0.1}, Pow10Case{-3, 0.001},
                      // squaring rounds differently from the nearest double to the power
                      Pow10Case{23, 9.9999999999999992e+22}, Pow10Case{33, 1.0000000000000001e+33},
                      // a negative power is the reciprocal of the positive one
                      Pow10Case{-23, 1.0 / 9.9999999999999992e+22}, Pow10Case{-22, 1.0 / 1e22},
                      Pow10Case{308, 1.0000000000000006e+308}, Pow10Case{309, inf},
                      Pow10Case{-309, 0.0}, Pow10Case{4294967296 + 3, 1000.0},
                      Pow10Case{max64, 0.1}, Pow10Case{min64, 1.0}));

// ---- normal form ----

struct NormalizeCase {
    double number;
    std::int64_t exp10;
    double factor;
    double expected_number;
    std::int64_t expected_exp10;
    double expected_factor;
};

class Normalize : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(Normalize, MovesPowersOfTenIntoExp10) {
    const NormalizeCase& c = GetParam();
    const Value v{c.number, make_unit({1, 0, -1, 0, 0, 0, 0}, c.exp10, c.factor)};
    expect_value(normalize(v), c.expected_number,
                 make_unit({1, 0, -1, 0, 0, 0, 0}, c.expected_exp10, c.expected_factor));
}

INSTANTIATE_TEST_SUITE_P(Cases, Normalize,
                         ::testing::Values(NormalizeCase{12345, 0, 1.0, 1.2345, 4, 1.0},
                                           NormalizeCase{0.05, 0, 1.0, 5.0, -2, 1.0},
                                           NormalizeCase{-0.05, 0, 1.0, -5.0, -2, 1.0},
                                           NormalizeCase{0.05, 7, 1.0, 5.0, 5, 1.0},
                                           NormalizeCase{3.5, -2, 1.0, 3.5, -2, 1.0},
                                           NormalizeCase{0.0, 9, 3600.0, 0.0, 9, 3600.0},
                                           NormalizeCase{1.0, 0, 3600.0, 1.0, 3, 3.6},
                                           NormalizeCase{1.0, 0, 0.5, 1.0, 0, 0.5},
                                           NormalizeCase{1.0, 0, 0.0174, 1.0, -1, 0.0174 / 0.1},
                                           NormalizeCase{250.0, 1, 0.0174, 2.5, 2, 0.0174 / 0.1},
                                           // infinities keep flowing and push exp10 to its limit
                                           NormalizeCase{inf, 3, 1.0, inf, max64, 1.0},
                                           NormalizeCase{-inf, -3, 1.0, -inf, max64 - 3, 1.0},
                                           NormalizeCase{2.0, max64, 1.0, 2.0, max64, 1.0},
                                           NormalizeCase{2.0, 0, inf, 2.0, max64, inf}));

TEST(Normalize, KeepsNaN) {
    const Value v = normalize(Value{std::nan(""), make_unit({1, 0, 0, 0, 0, 0, 0}, 4, 2.0)});
    EXPECT_TRUE(std::isnan(v.number));
    EXPECT_EQ(v.unit.exp10, 4);
}

TEST(Normalize, TinyNumbersStayFinite) {
    // 10^-310 itself rounds to zero, so the power is taken out in two steps.
    const Value v = normalize(Value{3e-310, metre});
    EXPECT_NEAR(v.number, 3.0, 1e-9);
    EXPECT_EQ(v.unit.exp10, -310);
    const Value smallest = normalize(Value{std::numeric_limits<double>::denorm_min(), metre});
    EXPECT_NEAR(smallest.number, 4.94, 0.01);
    EXPECT_EQ(smallest.unit.exp10, -324);
}

TEST(PlainNumber, MultipliesNumberFactorAndPowerOfTen) {
    EXPECT_EQ(to_plain_number(Value{2.0, hour}), 2.0 * 3.6 * 1000.0);
    EXPECT_EQ(to_plain_number(Value{3.0, degree}), 3.0 * 1.7453292519943295 * 0.01);
}

// ---- addition and subtraction ----

TEST(ValueAdd, TakesTheOperandWithTheLargerPowerAsBase) {
    expect_value(*value_add(Value{1, kilometre}, Value{1, metre}), 1.001, kilometre);
    expect_value(*value_add(Value{1, metre}, Value{1, kilometre}), 1.001, kilometre);
}

TEST(ValueAdd, TieMakesTheLeftOperandTheBase) {
    const Unit left = make_unit({1, 0, 0, 0, 0, 0, 0}, -3, 2.0);
    const Unit right = make_unit({1, 0, 0, 0, 0, 0, 0}, 3, 4.0);
    // |-3| = |3|: the left unit (exp10 -3, factor 2) is the base.
    const Value sum = *value_add(Value{1.0, left}, Value{1.0, right});
    EXPECT_EQ(sum.unit.factor, 2.0);
    EXPECT_EQ(sum.unit.exp10, 3);
    EXPECT_DOUBLE_EQ(sum.number, 2.000001);
}

TEST(ValueAdd, ScalesTheOtherOperandByItsFactorRatio) {
    // x = 2.3 / 10^2 * (6 / 3.6) + 2.5; grouping the ratio otherwise rounds differently.
    const Value sum = *value_add(Value{2.3, minute}, Value{2.5, hour});
    expect_value(sum, 2.5383333333333331, hour);
    ASSERT_NE(2.5383333333333331, 2.3 / 100.0 * 6.0 / 3.6 + 2.5);
}

TEST(ValueAdd, ShiftsSumsOfTenOrMore) {
    expect_value(*value_add(Value{9, metre}, Value{9, metre}), 1.8,
                 make_unit({1, 0, 0, 0, 0, 0, 0}, 1));
}

TEST(ValueSub, ScalesEachOperandSeparately) {
    // x = 3.9 / 1 * 3.6 / 3.6 - 2.5 / 10^2 * 6 / 3.6, not the sum with a negated operand.
    const Value difference = *value_sub(Value{3.9, hour}, Value{2.5, minute});
    expect_value(difference, 3.8583333333333329, hour);
    expect_value(*value_sub(Value{1, kilometre}, Value{1, metre}), 9.99,
                 make_unit({1, 0, 0, 0, 0, 0, 0}, 2));
    expect_value(*value_sub(Value{2, metre}, Value{2, metre}), 0.0, metre);
}

TEST(ValueAddSub, DifferentDimensionsFail) {
    for (auto operation : {value_add, value_sub}) {
        const Result<Value> result = operation(Value{2, metre}, Value{3, second});
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind(), RunError::Kind::Other);
        EXPECT_EQ(result.error().display(), "Can't sub values with units m and s");
    }
    const Result<Value> result =
        value_add(Value{1, make_unit({2, 1, -2, 0, 0, 0, 0}, 3)}, Value{1, Unit{}});
    EXPECT_EQ(result.error().display(), "Can't sub values with units m^2 g s^-2 and ");
}

TEST(ValueAddSub, InfinitiesFlowThrough) {
    const Value infinite = normalize(Value{inf, metre});
    const Value sum = *value_add(infinite, Value{1, kilometre});
    EXPECT_EQ(sum.number, inf);
    EXPECT_EQ(sum.unit.exp10, max64);
    EXPECT_EQ(value_sub(Value{1, kilometre}, infinite)->number, -inf);
    EXPECT_TRUE(std::isnan(value_sub(infinite, infinite)->number));
}

// A zero that came out of an overflow (1 / inf) carries exp10 near -2^63, and 1 / 10^400 an
// exponent whose alignment leaves the double range: neither may decide the sum.
TEST(ValueAddSub, OperandsBeyondTheDoubleRangeCountByTheirMagnitude) {
    const Value infinite = normalize(Value{inf, metre});
    const Value underflowed = *value_div(Value{1, metre}, normalize(Value{inf, Unit{}}));
    const Value tiny = Value{1, make_unit({1, 0, 0, 0, 0, 0, 0}, -400)};
    const Value three{3, metre};
    for (const Value& small : {underflowed, tiny}) {
        expect_value(*value_add(three, small), 3, metre);
        expect_value(*value_add(small, three), 3, metre);
        expect_value(*value_sub(three, small), 3, metre);
        expect_value(*value_sub(small, three), -3, metre);
    }
    EXPECT_EQ(value_add(infinite, underflowed)->number, inf);
    EXPECT_EQ(value_sub(underflowed, infinite)->number, -inf);
    // Operands within range of each other but written far from normal form are realigned.
    const Value unnormalised{1e308, make_unit({1, 0, 0, 0, 0, 0, 0}, -616)};
    const Value sum = *value_add(unnormalised, Value{9, make_unit({1, 0, 0, 0, 0, 0, 0}, -308)});
    EXPECT_DOUBLE_EQ(sum.number, 1);
    EXPECT_EQ(sum.unit.exp10, -307);
}

// ---- multiplication and division ----

struct ProductCase {
    double a;
    double b;
    bool divide;
    double number;
    std::int64_t exp10;
};

class Product : public ::testing::TestWithParam<ProductCase> {};

TEST_P(Product, ShiftsAndNormalizes) {
    const ProductCase& c = GetParam();
    const Value a{c.a, Unit{}};
    const Value b{c.b, Unit{}};
    const Value result = *(c.divide ? value_div(a, b) : value_mul(a, b));
    EXPECT_EQ(result.number, c.number);
    EXPECT_EQ(result.unit.exp10, c.exp10);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Product,
    ::testing::Values(ProductCase{5, 4, false, 2, 1}, ProductCase{-3, 5, false, -1.5, 1},
                      ProductCase{-30, 2, true, -1.5, 1}, ProductCase{1, 8, true, 1.25, -1},
                      ProductCase{0, 7, false, 0, 0}, ProductCase{0, -7, true, -0.0, 0},
                      ProductCase{1, 0, true, inf, max64}, ProductCase{-1, 0, true, -inf, max64},
                      ProductCase{1e300, 1e300, false, inf, max64}));

TEST(Product, ZeroByZeroIsNaN) {
    const Value result = *value_div(Value{0, metre}, Value{0, second});
    EXPECT_TRUE(std::isnan(result.number));
    EXPECT_EQ(result.unit.exp10, 0);
}

TEST(Product, CombinesUnits) {
    // 2 km * 3 hour = 6 km hour: number 6, exp10 3 + 3, factor 3.6.
    expect_value(*value_mul(Value{2, kilometre}, Value{3, hour}), 6.0,
                 make_unit({1, 0, 1, 0, 0, 0, 0}, 6, 3.6));
    // 3 km / 2 hour: a factor of 1 / 3.6 truncates its logarithm to 0 and stays.
    expect_value(*value_div(Value{3, kilometre}, Value{2, hour}), 1.5,
                 make_unit({1, 0, -1, 0, 0, 0, 0}, 0, 1.0 / 3.6));
}

TEST(Product, ExponentOverflowIsAnError) {
    const Unit big = make_unit({100, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(value_mul(Value{1, big}, Value{1, big}).error().display(),
              "Unit exponent out of range -128..127");
    const Unit small = make_unit({-100, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(value_div(Value{1, big}, Value{1, small}).has_value());
}

// ---- powers ----

TEST(ValuePow, IntegerExponentRaisesNumberAndUnit) {
    // (2 km)^2 = 4 with m^2 and exp10 6, not normalised.
    expect_value(*value_pow(Value{2, kilometre}, Value{2, Unit{}}), 4.0,
                 make_unit({2, 0, 0, 0, 0, 0, 0}, 6));
    expect_value(*value_pow(Value{2, hour}, Value{-1, Unit{}}), 0.5,
                 make_unit({0, 0, -1, 0, 0, 0, 0}, -3, 1.0 / 3.6));
    // An exponent written as 2 with exp10 1 is the integer 20.
    expect_value(*value_pow(Value{1, metre}, Value{2, make_unit({0, 0, 0, 0, 0, 0, 0}, 1)}), 1.0,
                 make_unit({20, 0, 0, 0, 0, 0, 0}));
}

// Literals reach the power normalised, as evaluation makes them: the exponent 109 comes back
// from 1.09 x 10^2 as 109.00000000000001 and must still count as a whole number.
TEST(ValuePow, NormalisedLiteralExponentsStayWhole) {
    const Result<Value> odd =
        value_pow(normalize(Value{-1, Unit{}}), normalize(Value{109, Unit{}}));
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(to_plain_number(*odd), -1.0);
    const Result<Value> even =
        value_pow(normalize(Value{-2, Unit{}}), normalize(Value{110, Unit{}}));
    ASSERT_TRUE(even.has_value());
    EXPECT_DOUBLE_EQ(to_plain_number(*even), std::ldexp(1.0, 110));
}

// A power whose number leaves the double range carries the excess as a power of ten.
TEST(ValuePow, PowersBeyondTheDoubleRangeKeepTheirMagnitude) {
    const Result<Value> small =
        value_pow(normalize(Value{0.5, Unit{}}), normalize(Value{1000, Unit{}}));
    ASSERT_TRUE(small.has_value());
    EXPECT_NEAR(to_plain_number(*small) / std::pow(0.5, 1000), 1.0, 1e-12);
    const Result<Value> negative = value_pow(Value{-9, Unit{}}, Value{401, Unit{}});
    ASSERT_TRUE(negative.has_value());
    EXPECT_LT(negative->number, 0.0);
    EXPECT_EQ(negative->unit.exp10, 382);  // -9^401 = -4.4... x 10^382
    const Result<Value> vanishing =
        value_pow(normalize(Value{0.5, Unit{}}), normalize(Value{1e12, Unit{}}));
    ASSERT_TRUE(vanishing.has_value());
    EXPECT_EQ(to_plain_number(*vanishing), 0.0);
}

TEST(ValuePow, NonIntegerExponentOfPlainNumber) {
    // 100 in normal form is 1 with exp10 2; its plain number is raised.
    expect_value(*value_pow(normalize(Value{100, Unit{}}), Value{0.5, Unit{}}), 10.0, Unit{});
    expect_value(*value_pow(Value{2, Unit{}}, Value{0.5, Unit{}}), std::pow(2.0, 0.5), Unit{});
    // A dimensionless unit's factor goes into the number: 180 deg is pi.
    const Value half_turn{1.8, make_unit({0, 0, 0, 0, 0, 0, 0}, 0, 1.7453292519943295)};
    expect_value(*value_pow(half_turn, Value{0.5, Unit{}}), std::pow(1.8 * 1.7453292519943295, 0.5),
                 Unit{});
}

TEST(ValuePow, FractionalExponentKeepsTheUnit) {
    // (4 m^2)^0.5 = 2 m.
    expect_value(*value_pow(Value{4, make_unit({2, 0, 0, 0, 0, 0, 0})}, Value{0.5, Unit{}}), 2.0,
                 metre);
    // (8 km^3)^(1/3): the km's power of ten goes into the number.
    const Value root =
        *value_pow(Value{8, make_unit({3, 0, 0, 0, 0, 0, 0}, 9)}, Value{1.0 / 3.0, Unit{}});
    EXPECT_NEAR(root.number, 2000.0, 1e-9);
    expect_unit(root.unit, metre);
    // 0.3 = 3/10: m^(3/10).
    const Value tenth = *value_pow(Value{2, metre}, Value{0.3, Unit{}});
    EXPECT_EQ(tenth.unit.dimensions[0], *Rational8::make(3, 10));
    EXPECT_EQ(tenth.number, std::pow(2.0, 0.3));
    // -1.5 = -3/2 on s^2 gives s^-3.
    const Value inverse =
        *value_pow(Value{4, make_unit({0, 0, 2, 0, 0, 0, 0})}, Value{-1.5, Unit{}});
    expect_value(inverse, 0.125, make_unit({0, 0, -3, 0, 0, 0, 0}));
}

TEST(ValuePow, FractionalExponentTakesTheFirstFittingDenominator) {
    // 0.5 + 1e-12 is within 1e-9 of 1/2, so d = 2 is taken before anything larger.
    const Value root =
        *value_pow(Value{4, make_unit({2, 0, 0, 0, 0, 0, 0})}, Value{0.5 + 1e-12, Unit{}});
    expect_unit(root.unit, metre);
}

struct PowFailureCase {
    Value base;
    Value exponent;
    const char* message;
};

class PowFailure : public ::testing::TestWithParam<PowFailureCase> {};

TEST_P(PowFailure, IsAnOrdinaryError) {
    const Result<Value> result = value_pow(GetParam().base, GetParam().exponent);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind(), RunError::Kind::Other);
    EXPECT_EQ(result.error().display(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PowFailure,
    ::testing::Values(
        PowFailureCase{Value{2, metre}, Value{1.0 / 13.0, Unit{}},
                       "Can't raise a value with unit m to the power 0.07692307692307693"},
        PowFailureCase{Value{2, metre}, Value{3.141592653589793, Unit{}},
                       "Can't raise a value with unit m to the power 3.141592653589793"},
        PowFailureCase{Value{2, metre}, Value{std::nan(""), Unit{}},
                       "Can't raise a value with unit m to the power nan"},
        PowFailureCase{Value{2, metre}, Value{inf, Unit{}},
                       "Can't raise a value with unit m to the power inf"},
        PowFailureCase{Value{2, Unit{}}, Value{1.5, metre},
                       "Exponent 1.5 with unit m is not an integer"},
        PowFailureCase{Value{2, metre}, Value{1.5, make_unit({0, 0, -1, 0, 0, 0, 0})},
                       "Exponent 1.5 with unit s^-1 is not an integer"},
        PowFailureCase{Value{2, metre}, Value{200, Unit{}}, "Unit exponent out of range -128..127"},
        PowFailureCase{Value{2, metre}, Value{1, make_unit({0, 0, 0, 0, 0, 0, 0}, 12)},
                       "Unit exponent out of range -128..127"},
        PowFailureCase{Value{2, make_unit({100, 0, 0, 0, 0, 0, 0})}, Value{1.5, Unit{}},
                       "Unit exponent out of range -128..127"}));

TEST(ValuePow, IntegerExponentWithUnitIgnoresTheUnit) {
    expect_value(*value_pow(Value{2, Unit{}}, Value{3, metre}), 8.0, Unit{});
}

TEST(ValuePow, HugeExponentsFinishAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    const Value huge = *value_pow(Value{2, Unit{}}, Value{1, make_unit({0, 0, 0, 0, 0, 0, 0}, 12)});
    EXPECT_EQ(huge.number, inf);
    expect_unit(huge.unit, Unit{});
    const Value degrees =
        *value_pow(Value{1, degree}, Value{1, make_unit({0, 0, 0, 0, 0, 0, 0}, 12)});
    EXPECT_EQ(degrees.unit.exp10, -1'758'122'632'410);
    EXPECT_LT(degrees.unit.factor, 10.0);
    const Value beyond = *value_pow(Value{1, degree}, Value{1e300, Unit{}});
    EXPECT_EQ(beyond.unit.exp10, min64);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(ValuePow, InfiniteExponentOfPlainNumbers) {
    EXPECT_EQ(value_pow(Value{2, Unit{}}, Value{inf, Unit{}})->number, inf);
    EXPECT_EQ(value_pow(Value{5, degree}, Value{inf, Unit{}})->number, 0.0);
    EXPECT_TRUE(std::isnan(value_pow(Value{2, Unit{}}, Value{std::nan(""), Unit{}})->number));
}

}  // namespace
}  // namespace mensurator

#include "quantity/unit.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

#include "quantity/unit_helpers.hpp"

namespace mensurator {
namespace {

using test_support::degree;
using test_support::expect_unit;
using test_support::Exponents;
using test_support::hour;
using test_support::kilometre;
using test_support::make_unit;
using test_support::metre;
using test_support::second;

using test_support::inf;
using test_support::max64;
using test_support::min64;

// ---- Rational8 ----

struct MakeCase {
    std::int64_t num;
    std::int64_t den;
    std::optional<std::pair<int, int>> expected;
};

class RationalMake : public ::testing::TestWithParam<MakeCase> {};

TEST_P(RationalMake, ReducesWithPositiveDenominatorOrRejects) {
    const MakeCase& c = GetParam();
    const auto r = Rational8::make(c.num, c.den);
    ASSERT_EQ(r.has_value(), c.expected.has_value());
    if (r) {
        EXPECT_EQ(r->numerator, c.expected->first);
        EXPECT_EQ(r->denominator, c.expected->second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RationalMake,
    ::testing::Values(MakeCase{2, 4, {{1, 2}}}, MakeCase{-3, 6, {{-1, 2}}},
                      MakeCase{3, -6, {{-1, 2}}}, MakeCase{-4, -8, {{1, 2}}},
                      MakeCase{0, -5, {{0, 1}}}, MakeCase{5, 0, std::nullopt},
                      MakeCase{127, 1, {{127, 1}}}, MakeCase{-128, 1, {{-128, 1}}},
                      MakeCase{128, 1, std::nullopt}, MakeCase{-129, 1, std::nullopt},
                      MakeCase{1, 128, std::nullopt}, MakeCase{-1, -128, std::nullopt},
                      MakeCase{256, 2, std::nullopt}, MakeCase{254, 2, {{127, 1}}},
                      MakeCase{1000, 1000, {{1, 1}}}, MakeCase{min64, min64, {{1, 1}}},
                      MakeCase{min64, 1, std::nullopt}, MakeCase{1, min64, std::nullopt},
                      MakeCase{max64, max64, {{1, 1}}}));

TEST(Rational8, ComparesExactValues) {
    const Rational8 half = *Rational8::make(1, 2);
    const Rational8 two_thirds = *Rational8::make(2, 3);
    const Rational8 minus_half = *Rational8::make(-1, 2);
    EXPECT_EQ(half, *Rational8::make(3, 6));
    EXPECT_LT(half, two_thirds);
    EXPECT_GT(*Rational8::make(-1, 3), minus_half);
    EXPECT_LT(*Rational8::make(-128, 1), *Rational8::make(-127, 1));
}

TEST(Rational8, TextShowsNumeratorAloneForIntegers) {
    EXPECT_EQ(Rational8{}.text(), "0");
    EXPECT_EQ(Rational8::make(2, 1)->text(), "2");
    EXPECT_EQ(Rational8::make(-1, 1)->text(), "-1");
    EXPECT_EQ(Rational8::make(1, 2)->text(), "1/2");
    EXPECT_EQ(Rational8::make(3, -2)->text(), "-3/2");
    EXPECT_EQ(Rational8::make(-128, 1)->text(), "-128");
}

// ---- multiplication, division, powers ----

TEST(UnitArithmetic, MultiplyAddsExponentsAndPowersOfTen) {
    expect_unit(*unit_mul(kilometre, metre), make_unit({2, 0, 0, 0, 0, 0, 0}, 3));
    expect_unit(*unit_mul(hour, hour), make_unit({0, 0, 2, 0, 0, 0, 0}, 6, 3.6 * 3.6));
}

TEST(UnitArithmetic, DivideSubtractsExponentsAndPowersOfTen) {
    expect_unit(*unit_div(metre, metre), Unit{});
    expect_unit(*unit_div(kilometre, hour), make_unit({1, 0, -1, 0, 0, 0, 0}, 0, 1.0 / 3.6));
}

TEST(UnitArithmetic, PowerOfTenSaturatesInsteadOfOverflowing) {
    const Unit huge = make_unit({0, 0, 0, 0, 0, 0, 0}, max64);
    const Unit tiny = make_unit({0, 0, 0, 0, 0, 0, 0}, min64);
    EXPECT_EQ(unit_mul(huge, kilometre)->exp10, max64);
    EXPECT_EQ(unit_div(tiny, kilometre)->exp10, min64);
    EXPECT_EQ(unit_div(kilometre, tiny)->exp10, max64);
    EXPECT_EQ(unit_powi(huge, 2)->exp10, max64);
    EXPECT_EQ(unit_powi(tiny, -1)->exp10, max64);
}

struct OverflowCase {
    const char* what;
    Result<Unit> (*operation)();
};

class ExponentOverflow : public ::testing::TestWithParam<OverflowCase> {};

TEST_P(ExponentOverflow, IsAnErrorNotAWrap) {
    const Result<Unit> result = GetParam().operation();
    ASSERT_FALSE(result.has_value()) << GetParam().what;
    EXPECT_EQ(result.error().kind(), RunError::Kind::Other);
    EXPECT_EQ(result.error().display(), "Unit exponent out of range -128..127");
}

const Unit metre_100 = make_unit({100, 0, 0, 0, 0, 0, 0});
const Unit metre_minus_100 = make_unit({-100, 0, 0, 0, 0, 0, 0});

INSTANTIATE_TEST_SUITE_P(
    Cases, ExponentOverflow,
    ::testing::Values(
        OverflowCase{"m^100 * m^100", [] { return unit_mul(metre_100, metre_100); }},
        OverflowCase{"m^-100 / m^100", [] { return unit_div(metre_minus_100, metre_100); }},
        OverflowCase{"m^128", [] { return unit_powi(metre, 128); }},
        OverflowCase{"m^-129", [] { return unit_powi(metre, -129); }},
        OverflowCase{"(m^100)^2", [] { return unit_powi(metre_100, 2); }},
        OverflowCase{"m^(2^63-1)", [] { return unit_powi(metre, max64); }},
        OverflowCase{"m^(-2^63)", [] { return unit_powi(metre, min64); }},
        OverflowCase{"m^(1/128)", [] { return unit_dimensions_pow(metre, 1, 128); }},
        OverflowCase{"m^(2^62)", [] { return unit_dimensions_pow(metre, max64 / 2, 1); }}));

TEST(UnitPower, ExponentsAtTheEdgesOfTheRangeAreFine) {
    EXPECT_EQ(unit_powi(metre, 127)->dimensions[0], *Rational8::make(127, 1));
    EXPECT_EQ(unit_powi(metre, -128)->dimensions[0], *Rational8::make(-128, 1));
    EXPECT_EQ(unit_powi(metre_minus_100, -1)->dimensions[0], *Rational8::make(100, 1));
}

TEST(UnitPower, ZeroGivesTheIdentityWhateverTheUnit) {
    expect_unit(*unit_powi(hour, 0), Unit{});
    expect_unit(*unit_powi(make_unit({0, 0, 0, 0, 0, 0, 0}, 5, std::nan("")), 0), Unit{});
}

TEST(UnitPower, OneKeepsTheUnit) {
    expect_unit(*unit_powi(hour, 1), hour);
}

TEST(UnitPower, FactorFollowsTheChainOfMultiplications) {
    // The chain 3.6 * 3.6 * 3.6 * 3.6 rounds differently from a direct power.
    const double chain = 3.6 * 3.6 * 3.6 * 3.6;
    ASSERT_NE(chain, std::pow(3.6, 4));
    expect_unit(*unit_powi(hour, 4), make_unit({0, 0, 4, 0, 0, 0, 0}, 12, chain));
    expect_unit(*unit_powi(hour, 2), make_unit({0, 0, 2, 0, 0, 0, 0}, 6, 3.6 * 3.6));
}

TEST(UnitPower, NegativePowersFollowTheChainOfDivisions) {
    expect_unit(*unit_powi(hour, -1), make_unit({0, 0, -1, 0, 0, 0, 0}, -3, 1.0 / 3.6));
    const double chain = 3.6 / 3.6 / 3.6 / 3.6 / 3.6 / 3.6;
    ASSERT_NE(chain, std::pow(3.6, -4));
    expect_unit(*unit_powi(hour, -4), make_unit({0, 0, -4, 0, 0, 0, 0}, -12, chain));
}

TEST(UnitPower, FractionalExponentsMultiplyExactly) {
    const Unit root = *unit_dimensions_pow(metre, 1, 2);
    EXPECT_EQ(root.dimensions[0], *Rational8::make(1, 2));
    expect_unit(*unit_powi(root, 4), make_unit({2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(unit_powi(root, -3)->dimensions[0], *Rational8::make(-3, 2));
    expect_unit(*unit_mul(root, root), metre);
}

TEST(UnitPower, DimensionsPowDropsPowerOfTenAndFactor) {
    const Unit km_per_hour_squared = make_unit({2, 0, -2, 0, 0, 0, 0}, 4, 12.5);
    expect_unit(*unit_dimensions_pow(km_per_hour_squared, 1, 2), make_unit({1, 0, -1, 0, 0, 0, 0}));
    expect_unit(*unit_dimensions_pow(km_per_hour_squared, -3, 2),
                make_unit({-3, 0, 3, 0, 0, 0, 0}));
    EXPECT_THROW((void)unit_dimensions_pow(metre, 1, 0), InternalError);
}

TEST(UnitPower, HugeExponentsFinishAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    // The factor's own powers of ten move into exp10 when the factor alone leaves the double
    // range: (1.745329 x 10^-2)^(10^12) is 10^(-1758122632409.2...).
    const Unit powered = *unit_powi(degree, 1'000'000'000'000);
    EXPECT_TRUE(is_dimensionless(powered));
    EXPECT_EQ(powered.exp10, -1'758'122'632'410);
    EXPECT_GE(powered.factor, 1.0);
    EXPECT_LT(powered.factor, 10.0);

    const Unit saturated = *unit_powi(degree, max64);
    EXPECT_EQ(saturated.exp10, min64);
    EXPECT_EQ(saturated.factor, 1.0);
    EXPECT_EQ(unit_powi(degree, min64)->exp10, max64);
    EXPECT_EQ(unit_powi(degree, min64)->factor, 1.0);
    EXPECT_EQ(unit_powi(Unit{}, min64)->factor, 1.0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// ---- comparisons and text ----

TEST(UnitDimensions, ComparisonsIgnorePowerOfTenAndFactor) {
    EXPECT_TRUE(is_dimensionless(degree));
    EXPECT_FALSE(is_dimensionless(make_unit({0, 0, 0, 0, 0, 0, -1})));
    EXPECT_TRUE(same_dimensions(second, hour));
    EXPECT_FALSE(same_dimensions(metre, make_unit({2, 0, 0, 0, 0, 0, 0})));
}

struct TextCase {
    Exponents exponents;
    const char* text;
    int max_exponent;
};

class DimensionText : public ::testing::TestWithParam<TextCase> {};

TEST_P(DimensionText, ListsBaseUnitsInBaseOrder) {
    const Unit unit = make_unit(GetParam().exponents, 7, 2.5);
    EXPECT_EQ(dimension_text(unit), GetParam().text);
    EXPECT_EQ(max_exponent(unit), *Rational8::make(GetParam().max_exponent, 1));
}

INSTANTIATE_TEST_SUITE_P(Cases, DimensionText,
                         ::testing::Values(TextCase{{0, 0, 0, 0, 0, 0, 0}, "", 0},
                                           TextCase{{1, 0, 0, 0, 0, 0, 0}, "m", 1},
                                           TextCase{{2, 0, 0, 0, 0, 0, 0}, "m^2", 2},
                                           TextCase{{0, 0, -1, 0, 0, 0, 0}, "s^-1", 0},
                                           TextCase{{1, 0, -2, 0, 0, 0, 0}, "m s^-2", 1},
                                           TextCase{{2, 1, -2, 0, 0, 0, 0}, "m^2 g s^-2", 2},
                                           TextCase{{2, 0, -1, 0, 0, 0, 0}, "m^2 s^-1", 2},
                                           TextCase{{-3, -1, 0, 0, 0, 0, 0}, "m^-3 g^-1", 0},
                                           TextCase{{0, 0, 0, 1, 1, 1, 1}, "A K mol cd", 1},
                                           TextCase{{0, -2, 4, 2, 0, 0, 0}, "g^-2 s^4 A^2", 4}));

TEST(DimensionText, WritesFractionalExponents) {
    Unit unit;
    unit.dimensions[0] = *Rational8::make(1, 2);
    unit.dimensions[2] = *Rational8::make(-3, 2);
    EXPECT_EQ(dimension_text(unit), "m^1/2 s^-3/2");
    EXPECT_EQ(max_exponent(unit), *Rational8::make(1, 2));
}

// ---- saturating arithmetic ----

struct SaturationCase {
    std::int64_t (*operation)(std::int64_t, std::int64_t);
    std::int64_t a;
    std::int64_t b;
    std::int64_t expected;
};

class Saturation : public ::testing::TestWithParam<SaturationCase> {};

TEST_P(Saturation, StopsAtTheLimits) {
    const SaturationCase& c = GetParam();
    EXPECT_EQ(c.operation(c.a, c.b), c.expected) << c.a << ", " << c.b;
}

INSTANTIATE_TEST_SUITE_P(Cases, Saturation,
                         ::testing::Values(SaturationCase{saturating_add, 3, -5, -2},
                                           SaturationCase{saturating_add, max64, 1, max64},
                                           SaturationCase{saturating_add, max64, min64, -1},
                                           SaturationCase{saturating_sub, 3, 5, -2},
                                           SaturationCase{saturating_sub, min64, 1, min64},
                                           SaturationCase{saturating_sub, 0, min64, max64},
                                           SaturationCase{saturating_sub, max64, -1, max64},
                                           SaturationCase{saturating_mul, 3, -4, -12},
                                           SaturationCase{saturating_mul, max64, 2, max64},
                                           SaturationCase{saturating_mul, min64, -1, max64},
                                           SaturationCase{saturating_mul, -3, max64, min64},
                                           SaturationCase{saturating_mul, min64, 0, 0}));

}  // namespace
}  // namespace mensurator

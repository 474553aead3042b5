#include "quantity/magnitude_order.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <compare>
#include <limits>

namespace mensurator {
namespace {

Value scaled(double number, std::int64_t exp10, double factor = 1.0) {
    Value v;
    v.number = number;
    v.unit.exp10 = exp10;
    v.unit.factor = factor;
    return v;
}

TEST(MagnitudeOrder, ComparesAcrossPowersOfTen) {
    // 450 kN against 0.5 MN and 0.45 MN: the engine keeps the prefixes in exp10.
    EXPECT_EQ(compare_magnitudes(scaled(450, 6), scaled(0.5, 9)), std::partial_ordering::less);
    EXPECT_EQ(compare_magnitudes(scaled(450, 6), scaled(0.45, 9)),
              std::partial_ordering::equivalent);
    EXPECT_EQ(compare_magnitudes(scaled(9.99, 0), scaled(1, 1)), std::partial_ordering::less);
    EXPECT_EQ(compare_magnitudes(scaled(1, 1), scaled(9.99, 0)), std::partial_ordering::greater);
    // The factor counts: an hour is 3600 s.
    EXPECT_EQ(compare_magnitudes(scaled(1, 0, 3600), scaled(3599, 0)),
              std::partial_ordering::greater);
}

TEST(MagnitudeOrder, EqualOnlyWithinTwelveDigits) {
    EXPECT_EQ(compare_magnitudes(scaled(0.1 + 0.2, 0), scaled(0.3, 0)),
              std::partial_ordering::equivalent);
    EXPECT_EQ(compare_magnitudes(scaled(1.000000001, 0), scaled(1, 0)),
              std::partial_ordering::greater);
}

TEST(MagnitudeOrder, SignsZerosAndExtremes) {
    EXPECT_EQ(compare_magnitudes(scaled(-2, 3), scaled(-1, 3)), std::partial_ordering::less);
    EXPECT_EQ(compare_magnitudes(scaled(-1, 400), scaled(1, -400)), std::partial_ordering::less);
    EXPECT_EQ(compare_magnitudes(scaled(0, 50), scaled(-0.0, -50)),
              std::partial_ordering::equivalent);
    EXPECT_EQ(compare_magnitudes(scaled(1, 5000000000), scaled(9, 4999999999)),
              std::partial_ordering::greater);
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(compare_magnitudes(scaled(inf, -20), scaled(1, 300)), std::partial_ordering::greater);
    EXPECT_EQ(compare_magnitudes(scaled(-inf, 0), scaled(-inf, 9)),
              std::partial_ordering::equivalent);
    EXPECT_EQ(compare_magnitudes(scaled(std::nan(""), 0), scaled(1, 0)),
              std::partial_ordering::unordered);
    // The smallest double still outweighs 1e308 x 10^-700 = 1e-392.
    EXPECT_EQ(compare_magnitudes(scaled(5e-324, 0), scaled(1e308, -700)),
              std::partial_ordering::greater);
}

}  // namespace
}  // namespace mensurator

// The shortcuts of the decimal arithmetic against the computations they stand for: powers of ten
// by repeated squaring, and the truncated logarithm std::log10 gives, over random magnitudes and
// the doubles closest to every power of ten.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "quantity/value.hpp"

namespace mensurator {
namespace {

// 10^n by squaring on the exponent truncated to 32 bits, as every power of ten is defined.
double squared_pow10(std::int64_t exponent) {
    auto n = static_cast<std::int32_t>(exponent);
    const bool reciprocal = n < 0;
    double base = 10.0;
    double result = 1.0;
    while (true) {
        if (n % 2 != 0) result *= base;
        n /= 2;
        if (n == 0) break;
        base *= base;
    }
    return reciprocal ? 1.0 / result : result;
}

std::int64_t library_truncated_log10(double x) {
    const double log = std::log10(x);
    if (std::isnan(log)) return 0;
    if (log >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    if (log < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(log);
}

void expect_as_library(double x) {
    ASSERT_EQ(truncated_log10(x), library_truncated_log10(x))
        << "x = " << x << " (bits " << std::bit_cast<std::uint64_t>(x) << ")";
}

TEST(DecimalExponent, PowersOfTenAsSquaring) {
    for (std::int64_t e = -400; e <= 400; ++e) EXPECT_EQ(pow10(e), squared_pow10(e)) << e;
    for (const std::int64_t e :
         {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
          std::int64_t{1} << 32, (std::int64_t{1} << 32) + 5, -(std::int64_t{1} << 32) - 22}) {
        EXPECT_EQ(pow10(e), squared_pow10(e)) << e;
    }
}

TEST(DecimalExponent, TruncatedLogarithmAsTheLibrary) {
    // Some doubles either side of every power of ten within the shortcut's range and past it.
    for (int k = -25; k <= 25; ++k) {
        const double power = std::pow(10.0, k);
        double below = power;
        double above = power;
        for (int step = 0; step < 5000; ++step) {
            expect_as_library(below);
            expect_as_library(above);
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, std::numeric_limits<double>::infinity());
        }
    }
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> exponent(-24.0, 24.0);
    for (int i = 0; i < 300000; ++i) expect_as_library(std::pow(10.0, exponent(random)));
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double x : {0.0, -0.0, 1.0, -1.0, -5.0, inf, -inf, std::nan(""), 5e-324, 1.7e308})
        expect_as_library(x);
}

}  // namespace
}  // namespace mensurator

#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "quantity/unit.hpp"

namespace mensurator::test_support {

inline constexpr std::int64_t max64 = std::numeric_limits<std::int64_t>::max();
inline constexpr std::int64_t min64 = std::numeric_limits<std::int64_t>::min();
inline constexpr double inf = std::numeric_limits<double>::infinity();

// Exponents in base order: m, g, s, A, K, mol, cd.
using Exponents = std::array<int, base_unit_count>;

inline Unit make_unit(Exponents exponents, std::int64_t exp10 = 0, double factor = 1.0) {
    Unit unit;
    for (std::size_t i = 0; i < base_unit_count; ++i) {
        unit.dimensions[i] = *Rational8::make(exponents[i], 1);
    }
    unit.exp10 = exp10;
    unit.factor = factor;
    return unit;
}

inline const Unit metre = make_unit({1, 0, 0, 0, 0, 0, 0});
inline const Unit kilometre = make_unit({1, 0, 0, 0, 0, 0, 0}, 3);
inline const Unit second = make_unit({0, 0, 1, 0, 0, 0, 0});
inline const Unit hour = make_unit({0, 0, 1, 0, 0, 0, 0}, 3, 3.6);
inline const Unit minute = make_unit({0, 0, 1, 0, 0, 0, 0}, 1, 6.0);
inline const Unit degree = make_unit({0, 0, 0, 0, 0, 0, 0}, -2, 1.7453292519943295);

// Dimensions, exp10 and factor all equal (the factor compared exactly).
inline void expect_unit(const Unit& actual, const Unit& expected, const std::string& context = "") {
    SCOPED_TRACE(context);
    for (std::size_t i = 0; i < base_unit_count; ++i) {
        EXPECT_EQ(actual.dimensions[i].numerator, expected.dimensions[i].numerator)
            << "base unit " << base_unit_symbols[i];
        EXPECT_EQ(actual.dimensions[i].denominator, expected.dimensions[i].denominator)
            << "base unit " << base_unit_symbols[i];
    }
    EXPECT_EQ(actual.exp10, expected.exp10);
    EXPECT_EQ(actual.factor, expected.factor);
}

}  // namespace mensurator::test_support

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "latex/number_format.hpp"

namespace mensurator {
namespace {

std::string significant(double x, unsigned figures) {
    std::string out;
    append_significant(x, figures, out);
    return out;
}

TEST(Significant, RoundsIntoTheNextPowerOfTen) {
    EXPECT_EQ(significant(9.9996, 3), "10.0");
    EXPECT_EQ(significant(0.99996, 2), "1.0");
    EXPECT_EQ(significant(999.6, 3), "1000");
}

TEST(Significant, RoundsLargeNumbersWithoutAPoint) {
    EXPECT_EQ(significant(157069.6, 3), "157000");
    EXPECT_EQ(significant(157069.6, 6), "157070");
    EXPECT_EQ(significant(157070, 3), "157000");
    EXPECT_EQ(significant(-1e20, 2), "-100000000000000000000");
}

TEST(Significant, WritesShortWholeNumbersAsTheyAre) {
    EXPECT_EQ(significant(2, 3), "2");
    EXPECT_EQ(significant(-15, 2), "-15");
    EXPECT_EQ(significant(0, 3), "0");
    EXPECT_EQ(significant(-0.0, 3), "0");
}

TEST(Significant, WritesNonFiniteNumbersAsDecimalsDo) {
    EXPECT_EQ(significant(std::numeric_limits<double>::quiet_NaN(), 3), "NaN");
    EXPECT_EQ(significant(std::numeric_limits<double>::infinity(), 3), "inf");
    EXPECT_EQ(significant(-std::numeric_limits<double>::infinity(), 3), "-inf");
}

TEST(Significant, ReachesTheExtremesOfTheDouble) {
    EXPECT_EQ(significant(std::numeric_limits<double>::denorm_min(), 2).size(), 2 + 323 + 2U);
    EXPECT_EQ(significant(std::numeric_limits<double>::max(), 1).size(), 309U);
    // A literal may be written with up to 255 figures.
    EXPECT_EQ(significant(0.1, 255).size(), 2 + 255U);
}

}  // namespace
}  // namespace mensurator

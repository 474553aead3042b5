#include "latex/number_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace mensurator {
namespace {

struct FormatCase {
    double x;
    std::uint64_t precision;
    std::string expected;
};

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, WritesCorrectlyRoundedPositionalDecimal) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(format_number(c.x, c.precision), c.expected);
}

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatNumberTest,
    ::testing::Values(
        // The double nearest 0.0025 lies above the half-way point.
        FormatCase{0.0025, 3, "0.003"}, FormatCase{2, 0, "2"}, FormatCase{2, 5, "2.00000"},
        FormatCase{-15, 0, "-15"}, FormatCase{12345, 0, "12345"}, FormatCase{2.5, 3, "2.500"},
        FormatCase{1.0004, 3, "1.000"}, FormatCase{0.5235987, 3, "0.524"},
        FormatCase{-0.0005, 3, "-0.001"},
        // Exact ties go to the even digit.
        FormatCase{0.125, 2, "0.12"}, FormatCase{0.375, 2, "0.38"}, FormatCase{2.5, 0, "2"},
        FormatCase{3.5, 0, "4"}, FormatCase{-2.5, 0, "-2"},
        // Never exponent form.
        FormatCase{1e20, 0, "100000000000000000000"}, FormatCase{1e-7, 3, "0.000"},
        FormatCase{1e-300, 2, "0.00"},
        FormatCase{1e300, 0,
                   "1000000000000000052504760255204420248704468581108159154915854115511802457988"
                   "9081957863713750804478640437044438328838781769425232353604305756447921847867"
                   "0698284838720092657580373783023379478809005936895323497079994508111903896764"
                   "0880074652742780142494579258788820056842838115669472196386865459400540160"},
        // NaN and infinities ignore the precision.
        FormatCase{nan, 3, "NaN"}, FormatCase{nan, 0, "NaN"}, FormatCase{inf, 3, "inf"},
        FormatCase{-inf, 0, "-inf"},
        // Nothing that prints as zero carries a minus sign.
        FormatCase{-0.0, 0, "0"}, FormatCase{-0.0, 3, "0.000"}, FormatCase{-0.0001, 3, "0.000"},
        FormatCase{-1e-300, 0, "0"}, FormatCase{-0.4, 0, "0"}));

TEST(FormatNumber, LargestDoubleHasAllItsIntegerDigits) {
    const std::string text = format_number(std::numeric_limits<double>::max(), 2);
    ASSERT_EQ(text.size(), 309u + 3u);
    EXPECT_EQ(text.substr(0, 20), "17976931348623157081");
    EXPECT_EQ(text.substr(309), ".00");
}

TEST(FormatNumber, ThousandDigitsShowTheExactBinaryValue) {
    const std::string tenth = format_number(0.1, 1000);
    ASSERT_EQ(tenth.size(), 1002u);
    EXPECT_EQ(tenth.substr(0, 57), "0.1000000000000000055511151231257827021181583404541015625");
    EXPECT_EQ(tenth.find_first_not_of('0', 57), std::string::npos);

    // The smallest subnormal: 323 zeros, then its digits, rounded at the 1000th place.
    const std::string tiny = format_number(5e-324, 1000);
    ASSERT_EQ(tiny.size(), 1002u);
    EXPECT_EQ(tiny.substr(0, 325), "0." + std::string(323, '0'));
    EXPECT_EQ(tiny.substr(325, 20), "49406564584124654417");
    EXPECT_EQ(tiny.substr(982), "09558373897335989937");
    EXPECT_EQ(format_number(-5e-324, 1000), "-" + tiny);
}

TEST(FormatNumber, PrecisionPastTheExactDigitsPadsWithZeros) {
    EXPECT_EQ(format_number(5e-324, 1074).substr(1056), "19718265533447265625");
    const std::string text = format_number(0.5, 1100);
    ASSERT_EQ(text.size(), 1102u);
    EXPECT_EQ(text.substr(0, 3), "0.5");
    EXPECT_EQ(text.find_first_not_of('0', 3), std::string::npos);
}

struct PrecisionCase {
    double x;
    std::uint64_t expected;
};

class PrecisionForTest : public ::testing::TestWithParam<PrecisionCase> {};

TEST_P(PrecisionForTest, UsesDigitsOnlyForFractionsAndNaN) {
    EXPECT_EQ(precision_for(GetParam().x, 4), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PrecisionForTest,
                         ::testing::Values(PrecisionCase{2.5, 4}, PrecisionCase{-0.5, 4},
                                           PrecisionCase{2.0, 0}, PrecisionCase{-15.0, 0},
                                           PrecisionCase{1e20, 0}, PrecisionCase{0.0, 0},
                                           PrecisionCase{nan, 4}, PrecisionCase{1e-300, 4}));

}  // namespace
}  // namespace mensurator

#include "latex/value_latex.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "support/test_entry_points.hpp"
#include "syntax/tree_builders.hpp"

namespace mensurator {
namespace {

using namespace mensurator::test_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

Unit half_power_of_metre(std::int64_t exp10) {
    Unit u;
    u.dimensions[0] = Rational8{1, 2};
    u.exp10 = exp10;
    return u;
}

struct UnitLatexCase {
    Unit unit;
    std::string expected;
};

class UnitToLatexTest : public ::testing::TestWithParam<UnitLatexCase> {};

TEST_P(UnitToLatexTest, WritesPiecesInReverseBaseOrder) {
    EXPECT_EQ(unit_to_latex(GetParam().unit), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnitToLatexTest,
    ::testing::Values(
        UnitLatexCase{Unit{}, ""}, UnitLatexCase{unit_of({}, 3, 2.0), ""},
        UnitLatexCase{metre, "\\mathrm{ m\\,}"}, UnitLatexCase{kilometre, "\\mathrm{k m\\,}"},
        UnitLatexCase{unit_of({.m = 1}, -6), "\\mathrm{\xC2\xB5 m\\,}"},
        UnitLatexCase{unit_of({.m = 1, .s = -2}), "\\mathrm{\\frac{ m\\,}{ s^{2}\\,}}"},
        UnitLatexCase{unit_of({.s = -1}), "\\mathrm{\\frac{1}{ s\\,}}"},
        UnitLatexCase{unit_of({.s = -1}, 3), "\\mathrm{\\frac{1}{k s\\,}}"},
        UnitLatexCase{unit_of({.m = 2, .g = 1, .s = -2}),
                      "\\mathrm{\\frac{ g\\, m^{2}\\,}{ s^{2}\\,}}"},
        UnitLatexCase{unit_of({.m = 2, .g = 1, .s = -2}, 3),
                      "\\mathrm{\\frac{k g\\, m^{2}\\,}{ s^{2}\\,}}"},
        UnitLatexCase{unit_of({.m = 1, .g = 1, .s = 1, .A = 1, .K = 1, .mol = 1, .cd = 1}),
                      "\\mathrm{ cd\\, mol\\, K\\, A\\, s\\, g\\, m\\,}"},
        UnitLatexCase{half_power_of_metre(0), "\\mathrm{ m^{1/2}\\,}"},
        // Exponents of one to three digits, fractions below the line, the ends of the range.
        UnitLatexCase{Unit{{Rational8{127, 1},
                            {},
                            Rational8{-128, 1},
                            Rational8{100, 1},
                            Rational8{-3, 2},
                            Rational8{10, 1},
                            {}}},
                      "\\mathrm{\\frac{ mol^{10}\\, A^{100}\\, m^{127}\\,}{ K^{3/2}\\, "
                      "s^{128}\\,}}"},
        // Powers of ten without a prefix symbol are written out.
        UnitLatexCase{unit_of({.m = 1}, 4), "\\mathrm{ m\\,\\times 10^{4}}"},
        UnitLatexCase{unit_of({.s = -1}, -4), "\\mathrm{\\frac{1}{ s\\,\\times 10^{-4}}}"},
        UnitLatexCase{unit_of({.m = 1, .s = -1}, 5),
                      "\\mathrm{\\frac{ m\\,}{ s\\,}\\times 10^{5}}"}));

struct RenderCase {
    const char* label;
    Value value;
    FormatSettings settings;
    std::string expected;
};

class RenderValueTest : public ::testing::TestWithParam<RenderCase> {};

TEST_P(RenderValueTest, WritesNumberAndUnit) {
    const RenderCase& c = GetParam();
    const Result<std::string> text = render_value(c.value, c.settings);
    ASSERT_TRUE(text.has_value()) << text.error().display();
    EXPECT_EQ(*text, c.expected);
}

constexpr FormatSettings plain{nullptr, 3, false};
constexpr FormatSettings two_digits{nullptr, 2, false};
constexpr FormatSettings scientific{nullptr, 3, true};

INSTANTIATE_TEST_SUITE_P(
    OwnUnits, RenderValueTest,
    ::testing::Values(
        RenderCase{"kilometre", Value{5, kilometre}, plain, "5 \\ \\mathrm{k m\\,}"},
        RenderCase{"decimetre", Value{2.5, unit_of({.m = 1}, -1)}, plain,
                   "2.500 \\ \\mathrm{d m\\,}"},
        RenderCase{"no_prefix_below_kilo", Value{5, unit_of({.m = 1}, 2)}, plain,
                   "500 \\ \\mathrm{ m\\,}"},
        RenderCase{"acceleration", Value{9.81, unit_of({.m = 1, .s = -2})}, two_digits,
                   "9.81 \\ \\mathrm{\\frac{ m\\,}{ s^{2}\\,}}"},
        RenderCase{"kilogram", Value{3, unit_of({.g = 1}, 3)}, plain, "3 \\ \\mathrm{k g\\,}"},
        // The newton's first piece is g, whose exponent is the largest.
        RenderCase{"newton", Value{2, unit_of({.m = 1, .g = 1, .s = -2}, 3)}, plain,
                   "2 \\ \\mathrm{\\frac{k g\\, m\\,}{ s^{2}\\,}}"},
        // The prefix of a squared unit takes 10^(2 * step) out of the number.
        RenderCase{"square_millimetre", Value{5, unit_of({.m = 2}, -6)}, plain,
                   "5 \\ \\mathrm{m m^{2}\\,}"},
        RenderCase{"kilojoule", Value{5, unit_of({.m = 2, .g = 1, .s = -2}, 6)}, plain,
                   "5 \\ \\mathrm{\\frac{ g\\, km^{2}\\,}{ s^{2}\\,}}"},
        RenderCase{"joule", Value{1, unit_of({.m = 2, .g = 1, .s = -2}, 3)}, plain,
                   "1000 \\ \\mathrm{\\frac{ g\\, m^{2}\\,}{ s^{2}\\,}}"},
        RenderCase{"hertz", Value{5, unit_of({.s = -1}, 3)}, plain,
                   "5000 \\ \\mathrm{\\frac{1}{ s\\,}}"},
        RenderCase{"half_power", Value{4, half_power_of_metre(3)}, plain,
                   "4000 \\ \\mathrm{ m^{1/2}\\,}"},
        RenderCase{"prefix_clamped_to_kilo", Value{7, unit_of({.m = 1}, 12)}, plain,
                   "7000000000 \\ \\mathrm{k m\\,}"},
        RenderCase{"prefix_clamped_to_milli", Value{4, unit_of({.m = 1}, -7)}, plain,
                   "0.000 \\ \\mathrm{m m\\,}"},
        RenderCase{"factor", Value{2, hour}, plain, "7.200 \\ \\mathrm{k s\\,}"},
        RenderCase{"degrees_are_radians", Value{3, unit_of({}, -1, 1.745329)}, plain, "0.524"},
        RenderCase{"dimensionless", Value{2.5, unit_of({}, -3)}, plain, "0.003"},
        RenderCase{"nan", Value{nan, metre}, plain, "NaN \\ \\mathrm{ m\\,}"},
        RenderCase{"negative_infinity", Value{-inf, Unit{}}, plain, "-inf"},
        RenderCase{"negative_zero", Value{-0.0, metre}, plain, "0 \\ \\mathrm{ m\\,}"},
        // Exponents beyond 32 bits overflow or underflow instead of wrapping.
        RenderCase{"huge_power", Value{1, unit_of({}, 3'000'000'000)}, plain, "inf"},
        RenderCase{"tiny_power", Value{1, unit_of({}, -3'000'000'000)}, plain, "0"},
        RenderCase{"power_past_32_bits", Value{1, unit_of({.m = 1}, (std::int64_t{1} << 32) + 6)},
                   plain, "inf \\ \\mathrm{k m\\,}"},
        // pow10(-600) is 0, so the formula gives 0 for the true 1e-300: tiny, not garbage.
        RenderCase{"large_number_small_power", Value{1e300, unit_of({}, -600)}, plain, "0"}),
    [](const ::testing::TestParamInfo<RenderCase>& info) { return info.param.label; });

INSTANTIATE_TEST_SUITE_P(
    Scientific, RenderValueTest,
    ::testing::Values(
        RenderCase{"dimensionless", Value{2.5, unit_of({}, -3)}, scientific,
                   "2.500\\times 10^{-3}"},
        RenderCase{"dimensionless_without_power", Value{2.5, Unit{}}, scientific, "2.500"},
        RenderCase{"infinity_without_power",
                   Value{inf, unit_of({}, std::numeric_limits<std::int64_t>::max())}, scientific,
                   "inf"},
        RenderCase{"nan_without_power",
                   Value{std::numeric_limits<double>::quiet_NaN(), unit_of({.m = 1}, 5)},
                   scientific, "NaN \\ \\mathrm{k m\\,}"},
        RenderCase{"with_prefix", Value{5, unit_of({.m = 1}, 6)}, scientific,
                   "5\\times 10^{3} \\ \\mathrm{k m\\,}"},
        RenderCase{"zero_power_left", Value{5, kilometre}, scientific,
                   "5\\times 10^{0} \\ \\mathrm{k m\\,}"},
        RenderCase{"no_power", Value{5, metre}, scientific, "5 \\ \\mathrm{ m\\,}"},
        RenderCase{"hertz", Value{5, unit_of({.s = -1}, 3)}, scientific,
                   "5\\times 10^{3} \\ \\mathrm{\\frac{1}{ s\\,}}"},
        RenderCase{"kilojoule", Value{5, unit_of({.m = 2, .g = 1, .s = -2}, 7)}, scientific,
                   "5\\times 10^{1} \\ \\mathrm{\\frac{ g\\, km^{2}\\,}{ s^{2}\\,}}"}),
    [](const ::testing::TestParamInfo<RenderCase>& info) { return info.param.label; });

struct HintCase {
    const char* label;
    Value value;
    Unit hint_unit;
    NaiveUnit written;
    bool scientific;
    std::string expected;
};

class RenderWithHintTest : public ::testing::TestWithParam<HintCase> {};

TEST_P(RenderWithHintTest, ConvertsIntoTheHint) {
    const HintCase& c = GetParam();
    const UnitHint hint{c.hint_unit, c.written};
    const Result<std::string> text = render_value(c.value, FormatSettings{&hint, 3, c.scientific});
    ASSERT_TRUE(text.has_value()) << text.error().display();
    EXPECT_EQ(*text, c.expected);
}

NaiveUnit over(const char* top, const char* bottom) {
    return NaiveUnit(UnitOp{UnitOpKind::UnitDiv, 0},
                     {NaiveUnit(std::string(top)), NaiveUnit(std::string(bottom))});
}

const NaiveUnit km_text{std::string("km")};
const NaiveUnit min_text{std::string("min")};

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderWithHintTest,
    ::testing::Values(HintCase{"metres_in_km", Value{5, metre}, kilometre, km_text, false,
                               "0.005 \\ \\mathrm{km}"},
                      HintCase{"hours_in_minutes", Value{2, hour}, minute, min_text, true,
                               "1.200 \\times 10^{2} \\ \\mathrm{min}"},
                      HintCase{"hours_in_minutes_plain", Value{2.5, hour}, minute, min_text, false,
                               "150 \\ \\mathrm{min}"},
                      HintCase{"same_power_scientific", Value{5, kilometre}, kilometre, km_text,
                               true, "5 \\ \\mathrm{km}"},
                      HintCase{"speed", Value{1.5, unit_of({.m = 1, .s = -1})},
                               unit_of({.m = 1, .s = -1}, 0, 1.0 / 3.6), over("km", "hour"), false,
                               "5.400 \\ \\mathrm{\\frac{\\mathrm{km}}{\\mathrm{hour}}}"},
                      HintCase{"infinite", Value{inf, metre}, kilometre, km_text, false,
                               "inf \\ \\mathrm{km}"},
                      HintCase{"beyond_32_bits", Value{1, unit_of({.m = 1}, -5'000'000'000)},
                               kilometre, km_text, false, "0 \\ \\mathrm{km}"}),
    [](const ::testing::TestParamInfo<HintCase>& info) { return info.param.label; });

// Powers of ten are applied as the arithmetic defines it: the hint conversion divides by
// pow10(Eh - E), the own-unit form multiplies by pow10(E). 5.85 / pow10(-3) is 5849.999999999999,
// which prints with its fraction as 5850.000; 1.055 * pow10(-2) rounds above the halfway point.
TEST(RenderValue, PowersOfTenRoundAsTheArithmeticDefines) {
    const NaiveUnit mg_text{std::string("mg")};
    const UnitHint milligram{unit_of({.g = 1}, -3), mg_text};
    const Result<std::string> in_mg =
        render_value(Value{5.85, unit_of({.g = 1}, 0)}, FormatSettings{&milligram, 3, false});
    ASSERT_TRUE(in_mg.has_value());
    EXPECT_EQ(*in_mg, "5850.000 \\ \\mathrm{mg}");
    const Result<std::string> plain =
        render_value(Value{1.055, unit_of({}, -2)}, FormatSettings{nullptr, 4, false});
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(*plain, "0.0106");
}

TEST(RenderValue, HintOfOtherDimensionsFails) {
    const UnitHint hint{second, NaiveUnit(std::string("s"))};
    Result<std::string> text = render_value(Value{3, metre}, FormatSettings{&hint, 3, false});
    ASSERT_FALSE(text.has_value());
    EXPECT_EQ(text.error().kind(), RunError::Kind::UnitError);
    EXPECT_EQ(text.error().display(), "Unit hint s does not match value with unit m");

    const UnitHint speed{unit_of({.m = 1, .s = -1}), over("m", "s")};
    text = render_value(Value{3, Unit{}}, FormatSettings{&speed, 3, false});
    ASSERT_FALSE(text.has_value());
    EXPECT_EQ(text.error().display(), "Unit hint m s^-1 does not match value with unit ");
}

// Printed units are remembered per thread; a unit must print as it does in a fresh thread,
// whatever was printed before it: units that differ only in the prefix the value takes, only in
// the denominator of an exponent, or that fall in the same place of the table.
TEST(RenderValue, UnitsPrintAsInAFreshThreadWhateverWasPrintedBefore) {
    std::vector<Unit> units;
    for (std::int8_t m = -3; m <= 3; ++m) {
        for (std::int8_t s = -3; s <= 3; ++s) {
            for (std::int8_t g = -1; g <= 1; ++g) {
                for (const std::int64_t exp10 : {-9, 0, 9}) {
                    Unit unit = unit_of({.m = m, .g = g, .s = s}, exp10);
                    units.push_back(unit);
                    unit.dimensions[0] = Rational8{m, 2};
                    if (m % 2 != 0) units.push_back(unit);
                }
            }
        }
    }
    auto render = [](const Unit& unit) { return *render_value(Value{1.5, unit}, plain); };
    std::vector<std::string> fresh(units.size());
    std::thread([&] {
        for (std::size_t i = 0; i < units.size(); ++i) {
            std::thread([&, i] { fresh[i] = render(units[i]); }).join();
        }
    }).join();
    for (std::size_t i = 0; i < units.size(); ++i) EXPECT_EQ(render(units[i]), fresh[i]) << i;
    for (std::size_t i = units.size(); i-- > 0;) EXPECT_EQ(render(units[i]), fresh[i]) << i;
}

}  // namespace
}  // namespace mensurator

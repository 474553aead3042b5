// Check statements and substitution steps through whole runs: the math lines they write, the
// errors they share with the rest of the language, and the verdicts a structured run records.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "run/run_document.hpp"
#include "run/shown_units.hpp"
#include "run/structured_run.hpp"
#include "support/named_case.hpp"

namespace mensurator {
namespace {

// The body of the document, or "ERROR " and the error's display text.
std::string body(std::string_view input, RunOptions options = {}) {
    options.implied_line_end = true;
    const Result<std::string> output = run_document(input, options);
    if (!output) return "ERROR " + output.error().display();
    const std::string_view begin = "\\begin{document}\n";
    const std::size_t start = output->find(begin) + begin.size();
    return output->substr(start, output->rfind("\\end{document}") - start);
}

using test_support::case_name;
using Case = test_support::NamedCase;

class Lines : public ::testing::TestWithParam<Case> {};

TEST_P(Lines, RenderExactly) {
    EXPECT_EQ(body(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, Lines,
    ::testing::Values(
        // A literal shows itself; a variable and an expression show their values.
        Case{"LiteralSides", "check 450 kN <= 0.5 MN",
             R"($450\ \mathrm{\mathrm{kN}} \leq 0.500\ \mathrm{\mathrm{MN}} \quad \mathrm{OK}$\\
)"},
        Case{"EqualMagnitudesInOtherPrefixes", "check 450 kN < 0.45 MN\ncheck 450 kN >= 0.45 MN",
             R"($450\ \mathrm{\mathrm{kN}} < 0.450\ \mathrm{\mathrm{MN}} \quad \mathrm{NOT\ OK}$\\
$450\ \mathrm{\mathrm{kN}} \geq 0.450\ \mathrm{\mathrm{MN}} \quad \mathrm{OK}$\\
)"},
        Case{"ExpressionSide", "a = 3\ncheck a / 4 > 1",
             R"($a = 3$\\
$\frac{a}{4} = 0.750 > 1 \quad \mathrm{NOT\ OK}$\\
)"},
        // Both sides in the unit the variable was last printed in.
        Case{"SidesInTheUnitLastShown", "s = 180000 kN/m^2\ns =? MPa\ncheck s <= 2 * 120 MPa",
             R"($s = 180000\ \mathrm{\mathrm{\frac{\mathrm{kN}}{\mathrm{\mathrm{m}^{2}}}}}$\\
$s = 180 \ \mathrm{MPa}$\\
$s = 180 \ \mathrm{MPa} \leq 2 \times 120\ \mathrm{\mathrm{MPa}} = 240 \ \mathrm{MPa} \quad \mathrm{OK}$\\
)"},
        Case{"AliasedName", "alias eta \\eta\neta = 0.322\ncheck eta <= 1",
             R"($\eta = 0.322$\\
$\eta = 0.322 \leq 1 \quad \mathrm{OK}$\\
)"},
        Case{"UnitMismatchFailsAsAnAddition", "check 1 m < 2 s",
             "ERROR Line 1: Can't sub values with units m and s"},
        Case{"UnknownName", "check x < 2", "ERROR Line 1: x is not a variable or a valid unit"},
        Case{"NaNPassesNothing", "z = 0 / 0\ncheck z <= z",
             R"($z = \frac{0}{0}$\\
$z = NaN \leq z = NaN \quad \mathrm{NOT\ OK}$\\
)"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Steps, Lines,
    ::testing::Values(
        Case{"DefinitionUnitsAndHints", "m = 2 kg\na = 9.81 m/s^2\n!steps\nF = m * a =? N",
             R"($m = 2\ \mathrm{\mathrm{kg}}$\\
$a = 9.810\ \mathrm{\mathrm{\frac{\mathrm{m}}{\mathrm{\mathrm{s}^{2}}}}}$\\
$F = m \times a = 2 \ \mathrm{kg} \times 9.810 \ \mathrm{\frac{\mathrm{m}}{\mathrm{\mathrm{s}^{2}}}} = 19.620 \ \mathrm{N}$\\
)"},
        // The hint of a variable's last print, then the automatic form after a redefinition.
        Case{"LastShownUnit", "!steps\nd = 2 m\nd =? mm\ny = d * 2 =?\nd = 3 * 1 m\ny = d * 2 =?",
             R"($d = 2\ \mathrm{\mathrm{m}}$\\
$d = 2000 \ \mathrm{mm}$\\
$y = d \times 2 = 2000 \ \mathrm{mm} \times 2 = 4 \ \mathrm{ m\,}$\\
$d = 3 \times 1\ \mathrm{\mathrm{m}}$\\
$y = d \times 2 = 3 \ \mathrm{ m\,} \times 2 = 6 \ \mathrm{ m\,}$\\
)"},
        Case{"ParenthesesWherePrecedenceNeedsThem",
             "!steps\nx = -2\nL = 3 m\ny = x^2 - x * x =?\nA = L^2 =?\nz = 1 - x / x =?\nw = x m "
             "=?\nv = L kg =?",
             R"($x = -2$\\
$L = 3\ \mathrm{\mathrm{m}}$\\
$y = x^{2} - x \times x = (-2)^{2} - (-2) \times (-2) = 0$\\
$A = L^{2} = (3 \ \mathrm{m})^{2} = 9 \ \mathrm{ m^{2}\,}$\\
$z = 1 - \frac{x}{x} = 1 - \frac{-2}{-2} = 0$\\
$w = x\ \mathrm{\mathrm{m }} = -2\ \mathrm{\mathrm{m }} = -2 \ \mathrm{ m\,}$\\
$v = L\ \mathrm{\mathrm{kg}} = (3 \ \mathrm{m})\ \mathrm{\mathrm{kg}} = 3 \ \mathrm{k g\, m\,}$\\
)"},
        Case{"PowersOfTenBesideAProduct", "!scientific\n!steps\nE = 210 GPa\nk = E * 2 =?",
             R"($E = 210\ \mathrm{\mathrm{GPa}}$\\
$k = E \times 2 = (2.100 \times 10^{2} \ \mathrm{GPa}) \times 2 = 4.200\times 10^{11} \ \mathrm{\frac{k g\,}{ s^{2}\, m\,}}$\\
)"},
        // Nothing to substitute: a lone variable, only literals, only the built-in constants.
        Case{"NoSubstitution", "!steps\nx = 2\nx =?\n2 * 3 =?\ny = pi * e =?",
             R"($x = 2$\\
$x = 2$\\
$2 \times 3 = 6$\\
$y = \pi \times e = 8.540$\\
)"},
        Case{"ToggledOff", "x = 2\n!steps\nx * 2 =?\n!steps\nx * 2 =?",
             R"($x = 2$\\
$x \times 2 = 2 \times 2 = 4$\\
$x \times 2 = 4$\\
)"},
        Case{"InAChecksExpressionSide", "!steps\nq = 2 kN/m\nL = 4 m\ncheck q * L <= 10 kN",
             R"($q = 2\ \mathrm{\mathrm{\frac{\mathrm{kN}}{\mathrm{m}}}}$\\
$L = 4\ \mathrm{\mathrm{m}}$\\
$q \times L = 2 \ \mathrm{\frac{\mathrm{kN}}{\mathrm{m}}} \times 4 \ \mathrm{m} = 8 \ \mathrm{kN} \leq 10\ \mathrm{\mathrm{kN}} \quad \mathrm{OK}$\\
)"}),
    case_name);

// Whether variables' shown units are kept is decided from the text; a check or a steps directive
// however written must find them kept.
INSTANTIATE_TEST_SUITE_P(
    ShownUnitsKept, Lines,
    ::testing::Values(Case{"CheckAfterProseThatSaysChecked",
                           "'''checked, checks'''\ns = 180 MPa\ns =? kPa\ncheck\ts <= 200 MPa",
                           R"(checked, checks\leavevmode\\$s = 180\ \mathrm{\mathrm{MPa}}$\\
$s = 180000 \ \mathrm{kPa}$\\
$s = 180000 \ \mathrm{kPa} \leq 200\ \mathrm{\mathrm{MPa}} \quad \mathrm{OK}$\\
)"},
                      Case{"StepsDirectiveWithBlanks", "d = 2 m\nd =? mm\n!  steps\ny = d * 2 =?",
                           R"($d = 2\ \mathrm{\mathrm{m}}$\\
$d = 2000 \ \mathrm{mm}$\\
$y = d \times 2 = 2000 \ \mathrm{mm} \times 2 = 4 \ \mathrm{ m\,}$\\
)"}),
    case_name);

TEST(ShownUnits, KeptOnlyWhereAStatementCanReadThem) {
    for (const std::string_view text :
         {"check", "a = 1\ncheck a < 2", "check\ta < 2", "check(a) < 2", "!steps", "! steps",
          "checked\ncheck 1 < 2", "x = 1\ncheck"}) {
        EXPECT_TRUE(may_show_steps_or_checks(text)) << text;
    }
    for (const std::string_view text :
         {"", "checked against the loads", "check_1 = 2", "checks < 1", "check5 < 6",
          "check{a} < 2", "x = 1 % check_{2}", "Steps"}) {
        EXPECT_FALSE(may_show_steps_or_checks(text)) << text;
    }
}

TEST(Steps, TheOptionActsAsALeadingDirective) {
    EXPECT_EQ(body("x = 2\nx * 3 =?", {.steps = true}), body("!steps\nx = 2\nx * 3 =?"));
    EXPECT_EQ(body("x = 2\n!steps\nx * 3 =?", {.steps = true}), body("x = 2\nx * 3 =?"));
}

TEST(Checks, StructuredRunRecordsTheVerdict) {
    Result<StructuredRun> run =
        run_structured("x = 2 m\ncheck x > 150 cm\ncheck 1 >= x / 1 m\n", {});
    ASSERT_TRUE(run);
    ASSERT_EQ(run->statements.size(), 3U);
    const StatementRecord& passed = run->statements[1];
    EXPECT_EQ(passed.kind, StatementKind::check);
    ASSERT_TRUE(passed.check);
    EXPECT_TRUE(passed.check->passed);
    EXPECT_EQ(passed.check->relation, Relation::greater);
    EXPECT_DOUBLE_EQ(to_plain_number(passed.check->right), 1.5);
    const StatementRecord& failed = run->statements[2];
    ASSERT_TRUE(failed.check);
    EXPECT_FALSE(failed.check->passed);
    EXPECT_EQ(failed.check->relation, Relation::greater_equal);
    EXPECT_DOUBLE_EQ(to_plain_number(failed.check->right), 2.0);
    EXPECT_FALSE(run->statements[0].check);
}

}  // namespace
}  // namespace mensurator

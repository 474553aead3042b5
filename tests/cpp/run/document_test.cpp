// Whole documents through run_document: the exact LaTeX document, or the one error of the run.

#include <gtest/gtest.h>

#include <string>

#include "run/run_document.hpp"
#include "support/named_case.hpp"

namespace mensurator {
namespace {

// The caller's text with the line feed the host function appends; the output, or "ERROR " and
// the error's display text.
std::string run(std::string_view input) {
    const std::string text = std::string(input) + "\n";
    const Result<std::string> output = run_document(text);
    return output ? *output : "ERROR " + output.error().display();
}

std::string document(std::string_view body) {
    return "\\documentclass{article}\n\\begin{document}\n" + std::string(body) + "\\end{document}";
}

using test_support::case_name;

// The input, and what is expected of its run: the document's body between preamble and closing
// command, or the error's display text.
using Case = test_support::NamedCase;

class Documents : public ::testing::TestWithParam<Case> {};

TEST_P(Documents, RenderExactly) {
    EXPECT_EQ(run(GetParam().input), document(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Documents,
    ::testing::Values(
        // A single-letter unit keeps the blank written after it in its LaTeX.
        Case{"Velocity", "v = 3 m / 2 s\nv =? km/hour",
             R"($v = \frac{3\ \mathrm{\mathrm{m }}}{2\ \mathrm{\mathrm{s}}}$\\
$v = 5.400 \ \mathrm{\frac{\mathrm{km}}{\mathrm{hour}}}$\\
)"},
        // The block starts in vertical mode, so the gap after it starts a paragraph first.
        Case{"AliasAndSection", "alias r r_1\nr = e * e\nr = ?\n'''\\section{Results}'''",
             R"($r_1 = e \times e$\\
$r_1 = 7.389$\\
\section{Results}\leavevmode\\)"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Names, Documents,
    ::testing::Values(Case{"AliasedDefinitionIsShownAndStoredUnderTheAlias",
                           "alias v v_0\nv = 3 m/s\nw = 2 * v\nw =?",
                           R"($v_0 = 3\ \mathrm{\mathrm{\frac{\mathrm{m}}{\mathrm{s}}}}$\\
$w = 2 \times v_0$\\
$w = 6 \ \mathrm{\frac{ m\,}{ s\,}}$\\
)"},
                      Case{"AliasedDecPrint", "alias v v_0\nv = 2 m =?\nv =?",
                           R"($v_0 = 2\ \mathrm{\mathrm{m }} = 2 \ \mathrm{ m\,}$\\
$v_0 = 2 \ \mathrm{ m\,}$\\
)"},
                      Case{"PiInADefinition", "r = 2\nA = pi * r^2\nA =?", R"($r = 2$\\
$A = \pi \times r^{2}$\\
$A = 12.566$\\
)"},
                      Case{"PiAndItsStoredName", "pi =?\ny = 2 * pi =?\nz = \\pi\nz =?",
                           R"($\pi = 3.142$\\
$y = 2 \times \pi = 6.283$\\
$z = \pi$\\
$z = 3.142$\\
)"},
                      Case{"Redefinition", "x = 1\nx = 2\nx =?", R"($x = 1$\\
$x = 2$\\
$x = 2$\\
)"},
                      Case{"RedefinedE", "e = 3\ne * 1 =?", R"($e = 3$\\
$e \times 1 = 3$\\
)"},
                      Case{"RemappedPi", "alias pi p\np = 4\npi =?", R"($p = 4$\\
$p = 4$\\
)"},
                      Case{"AliasesApplyOnce", "x = 5\nalias a x\nalias x q\na =?", R"($x = 5$\\
$x = 5$\\
)"},
                      Case{"AliasesReachCallArgumentsButNotFunctionNames",
                           "alias sqrt root\nsqrt(pi) =?",
                           R"($\mathrm{sqrt}(\pi) = 1.772$\\
)"},
                      Case{"AliasesLeaveUnitAnnotationsAlone", "alias m q\n2 m =?",
                           R"($2\ \mathrm{\mathrm{m }} = 2 \ \mathrm{ m\,}$\\
)"},
                      Case{"CrLfLines", "x = 1\r\ny = 2\r\n", R"($x = 1$\\
$y = 2$\\
\\)"},
                      Case{"LoneCrLines", "x = 1\ry = x\ry =?", R"($x = 1$\\
$y = x$\\
$y = 1$\\
)"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Format, Documents,
    ::testing::Values(
        Case{"ScientificTwiceIsOffAgain", "!scientific\n2500 =?\n!scientific\n2500 =?",
             R"($2500 = 2.500\times 10^{3}$\\
$2500 = 2500$\\
)"},
        Case{"ScientificLeavesLiterals", "!scientific\n2500 * 1 =?",
             R"($2500 \times 1 = 2.500\times 10^{3}$\\
)"},
        Case{"DigitsApplyToLiteralsAndValues",
             "0.25 * 3 =?\n!digits 5\n0.25 * 3 =?\n!digits 0\n0.25 * 3 =?",
             R"($0.250 \times 3 = 0.750$\\
$0.25000 \times 3 = 0.75000$\\
$0 \times 3 = 1$\\
)"},
        Case{"HintWithScientific", "!scientific\n2 hours =? min",
             R"($2\ \mathrm{\mathrm{hours}} = 1.200 \times 10^{2} \ \mathrm{min}$\\
)"},
        Case{"LargestDigitCount", "!digits 1000\n0.5 =?",
             "$0.5" + std::string(999, '0') + " = 0.5" + std::string(999, '0') + "$\\\\\n"}),
    case_name);

// "\leavevmode\\" where the output so far ends with the preamble or a block's text (statements
// that print nothing do not count), "\\" everywhere else.
INSTANTIATE_TEST_SUITE_P(
    LineGaps, Documents,
    ::testing::Values(Case{"GapThenPrint", "x = 1\n\n2 =?", R"($x = 1$\\
\\$2 = 2$\\
)"},
                      Case{"FinalLineFeedIsAGap", "x = 1\n", R"($x = 1$\\
\\)"},
                      Case{"FirstLineOfBlanks", "   ", R"(\leavevmode\\)"},
                      Case{"GapAfterAliasAtTheStart", "alias a b\n", R"(\leavevmode\\)"},
                      Case{"GapAfterBlockAndDirective", "'''A''' !digits 2\n", R"(A\leavevmode\\)"},
                      Case{"GapAfterBlockAndDefinition", "'''A''' x = 1\n", R"(A$x = 1$\\
\\)"},
                      Case{"SecondGapAfterBlock", "'''A'''\n", R"(A\leavevmode\\\\)"},
                      Case{"EmptyBlock", "''''''", R"(\leavevmode\\)"},
                      Case{"BlockTextKeptByteForByte", "'''\xCF\x80 \\(x\\)'''",
                           "\xCF\x80 \\(x\\)\\leavevmode\\\\"},
                      Case{"BlockOverLines", "'''\n\\begin{center}\nX\n\\end{center}\n'''\ny = 1",
                           R"(
\begin{center}
X
\end{center}
\leavevmode\\$y = 1$\\
)"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Rendering, Documents,
    ::testing::Values(
        Case{"KilojoulePrefixOnTheSquaredMetre", "5 kJ =?",
             R"($5\ \mathrm{\mathrm{kJ}} = 5 \ \mathrm{\frac{ g\, km^{2}\,}{ s^{2}\,}}$\\
)"},
        Case{"HertzWithoutPrefix", "5000 hz =?",
             R"($5000\ \mathrm{\mathrm{hz}} = 5000 \ \mathrm{\frac{1}{ s\,}}$\\
)"},
        Case{"FunctionNames", "y = sqrt(4) =?\nmax(1, 2, 3) =?", R"($y = \mathrm{sqrt}(4) = 2$\\
$\mathrm{max}(1,2,3) = 3$\\
)"},
        Case{"PowerBases", "2^3^2 =?\n(2^3)^2 =?\n2^(3^2) =?\n-2^2 =?\n-0.5^2 =?\nx = -2\nx^2 =?",
             R"($(2^{3})^{2} = 64$\\
$(2^{3})^{2} = 64$\\
$2^{3^{2}} = 512$\\
$(-2)^{2} = 4$\\
$(-0.500)^{2} = 0.250$\\
$x = -2$\\
$x^{2} = 4$\\
)"},
        Case{
            "PowersOfAnnotatedQuantities", "5 (m/s)^2 =?\nc = 0.25 (kW*hour)^-1\n2 m^2 =?",
            R"($(5\ \mathrm{\mathrm{\mathrm{\frac{\mathrm{m}}{\mathrm{s}}}}})^{2} = 25 \ \mathrm{\frac{ m^{2}\,}{ s^{2}\,}}$\\
$c = (0.250\ \mathrm{\mathrm{\mathrm{\mathrm{kW} \ \mathrm{hour}}}})^{-1}$\\
$2\ \mathrm{\mathrm{\mathrm{m}^{2}}} = 2 \ \mathrm{ m^{2}\,}$\\
)"},
        Case{"UnitPowerWithBlank", "5 m^ 2 =?",
             R"($5\ \mathrm{\mathrm{\mathrm{m}^{2}}} = 5 \ \mathrm{ m^{2}\,}$\\
)"},
        Case{"DegreeIsPiOver180", "sin(90 deg) =?\n!digits 12\n180 deg =? rad",
             R"($\mathrm{sin}(90\ \mathrm{\mathrm{deg}}) = 1$\\
$180\ \mathrm{\mathrm{deg}} = 3.141592653590 \ \mathrm{rad}$\\
)"},
        Case{
            "Lux", "1 lux =? candela/m^2\n1 lx =?",
            R"($1\ \mathrm{\mathrm{lux}} = 1 \ \mathrm{\frac{\mathrm{candela}}{\mathrm{\mathrm{m}^{2}}}}$\\
$1\ \mathrm{\mathrm{lx}} = 1 \ \mathrm{\frac{ cd\,}{ m^{2}\,}}$\\
)"},
        Case{"Decametre", "1 dam =? m", R"($1\ \mathrm{\mathrm{dam}} = 10 \ \mathrm{m}$\\
)"}),
    case_name);

// Printed numbers come from one multiplication or division by pow10, rounding and all: a
// conversion that lands just off a whole number prints its fraction, one that lands on it does not.
INSTANTIATE_TEST_SUITE_P(
    PowersOfTen, Documents,
    ::testing::Values(
        Case{"KilowattInKilowatt", "!digits 11\nx = 96 kW\nx =? kW",
             R"($x = 96\ \mathrm{\mathrm{kW}}$\\
$x = 96.00000000000 \ \mathrm{kW}$\\
)"},
        Case{"GramInMilligram", "x = 5.85 g =? mg",
             R"($x = 5.850\ \mathrm{\mathrm{g }} = 5850.000 \ \mathrm{mg}$\\
)"},
        Case{"KelvinInMillikelvin", "x = 56 K\nx =? mK", R"($x = 56\ \mathrm{\mathrm{K}}$\\
$x = 56000.000 \ \mathrm{mK}$\\
)"},
        Case{"ChargeInCoulomb", "220 mA * hour =? C",
             R"($220\ \mathrm{\mathrm{\mathrm{mA} \ \mathrm{hour}}} = 792 \ \mathrm{C}$\\
)"},
        Case{"DifferenceBeyondTheDoubleRange", "10^400 - 10^400 =?", R"($10^{400} - 10^{400} = 0$\\
)"},
        // deg^2000 is about 10^-3516 and its reciprocal 10^3516: beyond the doubles on either side.
        Case{"UnitPowerBelowTheDoubleRange", "1 deg^2000 =?",
             R"($1\ \mathrm{\mathrm{\mathrm{deg}^{2000}}} = 0$\\
)"},
        Case{"UnitPowerAboveTheDoubleRange", "(1 deg)^-2000 =?",
             R"($(1\ \mathrm{\mathrm{deg}})^{-2000} = inf$\\
)"}),
    case_name);

class Failures : public ::testing::TestWithParam<Case> {};

// Only the error comes back, never any of the text produced before it.
TEST_P(Failures, ReturnOnlyTheError) {
    EXPECT_EQ(run(GetParam().input), "ERROR " + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parse, Failures,
    ::testing::Values(Case{"EmptyInput", "", "Parsing Error near line 2 column 1\n"},
                      Case{"OnlyALineFeed", "\n", "Parsing Error near line 3 column 1\n"},
                      Case{"PartlyMatchedFirstLine", "x = 5 6",
                           "Parsing Error near line 1 column 7\n"},
                      Case{"PartlyMatchedLaterLine", "x = 2\nx = 5 6\ny = 1",
                           "Parsing Error near line 2 column 7\n"},
                      Case{"ParseFailureBeatsEarlierEvaluationError", "x = q\ny = 5 6",
                           "Parsing Error near line 2 column 7\n"},
                      Case{"ParseFailureBeatsEarlierBuildError", "x = 5 foo\ny = 5 6",
                           "Parsing Error near line 2 column 7\n"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Statements, Failures,
    ::testing::Values(
        Case{"FailureAfterSuccessfulStatements", "x = 1\ny = 2\nz = q",
             "Line 3: q is not a variable or a valid unit"},
        Case{"BuildErrorBeatsEarlierEvaluationError", "x = q\ny = 2 foo",
             "Line 2: foo is not a variable or a valid unit"},
        Case{"InvalidStatement", "a = 1\nb = 2\n5 6  ", "Line 3: Invalid statement 5 6"},
        Case{"UnknownFunction", "foo(1) =?", "Line 1: Unknown function foo"},
        Case{"DifferentDimensions", "2 m + 3 s =?", "Line 1: Can't sub values with units m and s"},
        Case{"HintDoesNotFit", "3 m =? s", "Line 1: Unit hint s does not match value with unit m"},
        Case{"HintReportedBeforeExpression", "5 foo =? bar",
             "Line 1: bar is not a variable or a valid unit"},
        Case{"AliasDoesNotRenameExistingVariables", "x = 1\nalias x y\nx =?",
             "Line 3: y is not a variable or a valid unit"},
        Case{"NegativeDigitCount", "x = 1\n!digits -2",
             "Line 2: Digit count -2 is out of range 0..1000"},
        Case{"DigitCountAboveLimit", "!digits 1001",
             "Line 1: Digit count 1001 is out of range 0..1000"},
        Case{"UnitExponentTooLarge", "5 m^99999999999999999999 =?",
             "Line 1: Unit exponent 99999999999999999999 is too large"},
        Case{"InvalidStatementWithoutItsCrLf", "x = 1\r\nhello world\r\n",
             "Line 2: Invalid statement hello world"},
        Case{"InvalidStatementEndsAtALoneCr", "hello\rworld", "Line 1: Invalid statement hello"},
        Case{"LineOfAStatementAfterAMultiLineBlock", "'''a\nb''' x = q",
             "Line 2: q is not a variable or a valid unit"},
        Case{"LoneCrKeepsLineOne", "x = 1\ry = q", "Line 1: q is not a variable or a valid unit"},
        Case{"CrLfCountsLines", "x = 1\r\ny = q", "Line 2: q is not a variable or a valid unit"},
        Case{"BracketsTooDeep", "a = 1\n\nx = " + std::string(65, '(') + "1" + std::string(65, ')'),
             "Line 3: Brackets are nested more than 64 levels deep"},
        Case{"UnitGroupsTooDeep", "x = 5 " + std::string(65, '(') + "m" + std::string(65, ')'),
             "Line 1: Brackets are nested more than 64 levels deep"}),
    case_name);

TEST(Documents, UnitExpressionStartingWithAnOperatorIsAStatementError) {
    for (const char* input : {"5 1/s =?", "x = 2\ny = 5 m*1/s", "x =? 1/"}) {
        const std::string result = run(input);
        EXPECT_TRUE(result.starts_with("ERROR Line ") &&
                    result.find(": Invalid unit expression ") != std::string::npos)
            << input << " -> " << result;
    }
}

TEST(Documents, NestingUpToTheLimit) {
    const std::string open(64, '(');
    const std::string close(64, ')');
    EXPECT_EQ(run("x = " + open + "1" + close + "\nx =?"),
              document("$x = " + open + "1" + close + "$\\\\\n$x = 1$\\\\\n"));

    // Each of the 64 groups wraps the LaTeX of the one inside it, and the annotation wraps them.
    std::string nested = "m";
    for (int i = 0; i < 65; ++i) nested = "\\mathrm{" + nested + "}";
    EXPECT_EQ(run("5 " + open + "m" + close + " =?"),
              document("$5\\ \\mathrm{" + nested + "} = 5 \\ \\mathrm{ m\\,}$\\\\\n"));
}

TEST(Documents, RunsShareNoState) {
    const std::string input = "alias pi p\n!digits 1\n!scientific\np = 2500.3\npi =?";
    const std::string first = run(input);
    EXPECT_EQ(first, document(R"($p = 2500.3$\\
$p = 2.5\times 10^{3}$\\
)"));
    EXPECT_EQ(run(input), first);
    EXPECT_EQ(run("pi =?\n0.25 =?"), document(R"($\pi = 3.142$\\
$0.250 = 0.250$\\
)"));
}

}  // namespace
}  // namespace mensurator

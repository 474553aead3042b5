// The expression builder on expressions written in a document: grouping by binding power,
// unit annotations, literals, names and calls, and the errors a faulty annotation gives.

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>

#include "grammar/parse.hpp"
#include "syntax/expr_builder.hpp"
#include "tree_print.hpp"

namespace mensurator {
namespace {

using test_support::build_expression;
using Case = test_support::ExpressionCase;

class Grouping : public ::testing::TestWithParam<Case> {};

TEST_P(Grouping, BuildsTheTree) {
    EXPECT_EQ(build_expression(GetParam().expression), GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(Precedence, Grouping,
                         ::testing::Values(Case{"1 + 2 * 3", "Add(1, Mul(2, 3))"},
                                           Case{"1 * 2 + 3", "Add(Mul(1, 2), 3)"},
                                           Case{"1 - 2 * 3 + 4", "Add(Sub(1, Mul(2, 3)), 4)"},
                                           Case{"2 * 3 ^ 2", "Mul(2, Pow(3, 2))"},
                                           Case{"2 ^ 3 * 2", "Mul(Pow(2, 3), 2)"},
                                           Case{"1 + 2 ^ 3 ^ 2 * 4 - 5",
                                                "Sub(Add(1, Mul(Pow(Pow(2, 3), 2), 4)), 5)"},
                                           Case{"1 / 2 + 3 / 4", "Add(Div(1, 2), Div(3, 4))"},
                                           Case{"1 + 2 - 3 + 4", "Add(Sub(Add(1, 2), 3), 4)"}));

INSTANTIATE_TEST_SUITE_P(LeftAssociative, Grouping,
                         ::testing::Values(Case{"2^3^2", "Pow(Pow(2, 3), 2)"},
                                           Case{"x^y^z", "Pow(Pow(x, y), z)"},
                                           Case{"8/2/2", "Div(Div(8, 2), 2)"},
                                           Case{"1-2-3", "Sub(Sub(1, 2), 3)"},
                                           Case{"2 * 3 / 4 * 5", "Mul(Div(Mul(2, 3), 4), 5)"}));

// A sign written directly before digits belongs to the number; elsewhere a minus is an operator.
INSTANTIATE_TEST_SUITE_P(Signs, Grouping,
                         ::testing::Values(Case{"2-3", "Sub(2, 3)"}, Case{"2 -3", "Sub(2, 3)"},
                                           Case{"3 * -5", "Mul(3, -5)"}, Case{"-2^2", "Pow(-2, 2)"},
                                           Case{"2 - -3", "Sub(2, -3)"}));

INSTANTIATE_TEST_SUITE_P(
    UnitAnnotations, Grouping,
    ::testing::Values(
        Case{"3 m", "WithUnit[m](3)"}, Case{"x km", "WithUnit[m e3](x)"},
        Case{"2 * 3 m", "Mul(2, WithUnit[m](3))"}, Case{"3 m * 2", "Mul(WithUnit[m](3), 2)"},
        Case{"5 m + 3 m", "Add(WithUnit[m](5), WithUnit[m](3))"},
        Case{"2^3 m", "WithUnit[m](Pow(2, 3))"}, Case{"x ^ 2 m", "WithUnit[m](Pow(x, 2))"},
        Case{"6 / 2 s", "Div(6, WithUnit[s](2))"},
        Case{"3 m / 2 s", "Div(WithUnit[m](3), WithUnit[s](2))"},
        Case{"5 m / s", "WithUnit[m s^-1](5)"}, Case{"5 (m/s)^2", "Pow(WithUnit[m s^-1](5), 2)"},
        Case{"5 m (s)", "WithUnit[s](WithUnit[m](5))"},
        Case{"5 km/hour", "WithUnit[m s^-1 f0.2777777777777778](5)"},
        Case{"9.81 m/s^2", "WithUnit[m s^-2](9.81)"},
        Case{"2 m / 4 s^2 * 3", "Mul(Div(WithUnit[m](2), WithUnit[s^2](4)), 3)"},
        Case{"2 ^ 3 m ^ 2", "WithUnit[m^2](Pow(2, 3))"}, Case{"5 m^ 2", "WithUnit[m^2](5)"},
        Case{"5 m ^ -2", "WithUnit[m^-2](5)"}, Case{"1 kJ", "WithUnit[m^2 g s^-2 e6](1)"}));

INSTANTIATE_TEST_SUITE_P(
    OperandsAndCalls, Grouping,
    ::testing::Values(Case{"(1 + 2) * 3", "Mul(Paren(Add(1, 2)), 3)"},
                      Case{"3 * (1 + 2)", "Mul(3, Paren(Add(1, 2)))"},
                      Case{"((1))", "Paren(Paren(1))"},
                      Case{"2 ^ (1 + 1)", "Pow(2, Paren(Add(1, 1)))"},
                      Case{"sqrt(x + 1, 2)", "Call[\"sqrt\"](Add(x, 1), 2)"},
                      Case{"x (2)", "Call[\"x\"](2)"},
                      Case{"max(1, 2) + 3", "Add(Call[\"max\"](1, 2), 3)"},
                      Case{"f(g(1 m))", "Call[\"f\"](Call[\"g\"](WithUnit[m](1)))"},
                      Case{"\\pi * r_1", "Mul(\\pi, r_1)"}, Case{"v_{max} ", "v_{max}"}));

INSTANTIATE_TEST_SUITE_P(
    Literals, Grouping,
    ::testing::Values(Case{"1.5", "1.5"}, Case{"-2.25", "-2.25"}, Case{"007", "7"},
                      Case{"0.1", "0.1"},
                      Case{"123456789012345678901234567890", "1.2345678901234568e+29"},
                      Case{std::string(1, '1').append(400, '0'), "inf"},
                      Case{std::string("-1").append(400, '0').append(".5"), "-inf"},
                      Case{std::string("0.").append(320, '0').append("1"), "1e-321"},
                      Case{std::string("0.").append(400, '0').append("1"), "0"}));

// Errors inside annotations surface as the statement's error, with the unit name as written.
INSTANTIATE_TEST_SUITE_P(
    Failures, Grouping,
    ::testing::Values(
        Case{"5 foo", "error: Line 1: foo is not a variable or a valid unit"},
        Case{"2 x", "error: Line 1: x is not a variable or a valid unit"},
        Case{"5 kg m", "error: Line 1: kg m is not a variable or a valid unit"},
        Case{"5 km/h", "error: Line 1: h is not a variable or a valid unit"},
        Case{"sqrt(1, 5 foo)", "error: Line 1: foo is not a variable or a valid unit"},
        Case{"(1 + 2 qq) * 3", "error: Line 1: qq is not a variable or a valid unit"},
        Case{"1 + 2 * 3 ^ 4 qq", "error: Line 1: qq is not a variable or a valid unit"},
        Case{"5 m^99999999999999999999",
             "error: Line 1: Unit exponent 99999999999999999999 is too large"},
        Case{"5 m^-99999999999999999999",
             "error: Line 1: Unit exponent -99999999999999999999 is too large"}));

// The annotation keeps the unit as written, in LaTeX, beside the evaluated unit.
TEST(Annotation, KeepsTheUnitAsWrittenInLatex) {
    const struct {
        const char* expression;
        const char* latex;
    } cases[] = {
        {"5 km", "\\mathrm{km}"},
        {"5 km/hour", "\\mathrm{\\frac{\\mathrm{km}}{\\mathrm{hour}}}"},
        {"5 (m/s)", "\\mathrm{\\mathrm{\\frac{\\mathrm{m}}{\\mathrm{s}}}}"},
        {"5 m^ 2", "\\mathrm{\\mathrm{m}^{2}}"},
        {"5 mmol", "\\mathrm{mmol}"},
    };
    for (const auto& c : cases) {
        const test_support::ParsedDocument document("x = " + std::string(c.expression) + "\n");
        ASSERT_TRUE(document.nodes.has_value()) << c.expression;
        const ParseNode* expression = document.find(GrammarRule::expression);
        ASSERT_NE(expression, nullptr);
        ExprStore store;
        ExprAssembler assembler(store);
        const Result<Expr> expr = build_expression(*expression, document.text, assembler);
        ASSERT_TRUE(expr.has_value()) << expr.error().display();
        const ExprNode& root = store[expr->root];
        ASSERT_EQ(root.kind, ExprKind::WithUnit) << c.expression;
        EXPECT_EQ(store.annotation_latex(store.annotations[root.link.index]), c.latex)
            << c.expression;
    }
}

// A unit expression that begins with an operator (the "1/" form) is refused with an ordinary
// error wherever it stands, never an internal one.
TEST(Annotation, UnitExpressionStartingWithAnOperatorIsAnError) {
    for (const char* expression : {"5 1/s", "5 1*s", "5 m*1/s", "5 (1/*s)"}) {
        const std::string result = build_expression(expression);
        EXPECT_TRUE(result.starts_with("error: Line 1: Invalid unit expression "))
            << expression << " -> " << result;
    }
}

// Literals are read exactly as the general conversion reads them, to the bit and the sign of
// zero: short ones (up to 15 digits, what most documents write) by a quicker route, the rest by
// that conversion. Random literals around that length, with the point anywhere and leading zeros.
TEST(NumberLiteral, ReadsAsTheGeneralConversionReads) {
    std::mt19937_64 random(20261208);
    const auto below = [&](std::uint64_t n) {
        return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(random);
    };
    for (int i = 0; i < 200000; ++i) {
        std::string text = below(3) == 0 ? "-" : "";
        const std::size_t digits = 1 + below(18);
        const std::size_t point = below(digits + 1);  // digits before it; all of them: none
        for (std::size_t d = 0; d < digits; ++d) {
            if (d == point && d > 0) text += '.';
            text += static_cast<char>('0' + (below(4) == 0 ? 0 : below(10)));
        }
        double expected = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(parse_number(text)),
                  std::bit_cast<std::uint64_t>(expected))
            << text;
    }
}

}  // namespace
}  // namespace mensurator

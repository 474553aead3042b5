#include "latex/render_expression.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/test_entry_points.hpp"
#include "syntax/tree_builders.hpp"

namespace mensurator {
namespace {

using namespace mensurator::test_support;

struct ExprCase {
    const char* label;
    std::function<Expr()> build;
    std::string expected;
};

class RenderExpressionTest : public ::testing::TestWithParam<ExprCase> {};

TEST_P(RenderExpressionTest, FollowsTheNodeTemplates) {
    const Result<std::string> text = render_expression(GetParam().build(), FormatSettings{});
    ASSERT_TRUE(text.has_value()) << text.error().display();
    EXPECT_EQ(*text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderExpressionTest,
    ::testing::Values(
        ExprCase{"variable_verbatim", [] { return var("\\pi"); }, "\\pi"},
        ExprCase{"literal", [] { return lit(2); }, "2"},
        ExprCase{"fraction_literal", [] { return lit(2.5); }, "2.500"},
        ExprCase{"infix", [] { return add(sub(var("a"), var("b")), mul(var("c"), lit(2))); },
                 "a - b + c \\times 2"},
        ExprCase{"written_parentheses_stay",
                 [] { return mul(lit(2), paren(sub(var("x"), var("y")))); }, "2 \\times (x - y)"},
        ExprCase{"no_parentheses_added", [] { return sub(var("x"), add(var("y"), var("z"))); },
                 "x - y + z"},
        ExprCase{"right_parentheses_stay",
                 [] { return sub(var("x"), paren(add(var("y"), var("z")))); }, "x - (y + z)"},
        // (x + y) / z ^ (2)
        ExprCase{"fraction_drops_one_pair",
                 [] { return div(paren(add(var("x"), var("y"))), pow(var("z"), paren(lit(2)))); },
                 "\\frac{x + y}{z^{2}}"},
        ExprCase{"fraction_keeps_inner_pair",
                 [] { return div(paren(paren(var("x"))), paren(paren(var("y")))); },
                 "\\frac{(x)}{(y)}"},
        ExprCase{"nested_fractions",
                 [] { return div(div(var("a"), var("b")), div(var("c"), var("d"))); },
                 "\\frac{\\frac{a}{b}}{\\frac{c}{d}}"},
        ExprCase{"power_base_keeps_parentheses",
                 [] { return pow(paren(var("x")), paren(var("y"))); }, "(x)^{y}"},
        ExprCase{"power_of_power", [] { return pow(pow(lit(2), lit(3)), lit(2)); }, "(2^{3})^{2}"},
        ExprCase{"written_power_of_power", [] { return pow(paren(pow(lit(2), lit(3))), lit(2)); },
                 "(2^{3})^{2}"},
        ExprCase{"power_in_exponent", [] { return pow(lit(2), pow(lit(3), lit(2))); }, "2^{3^{2}}"},
        ExprCase{"negative_base", [] { return pow(lit(-2), lit(2)); }, "(-2)^{2}"},
        ExprCase{"written_negative_base", [] { return pow(paren(lit(-2)), lit(2)); }, "(-2)^{2}"},
        ExprCase{"negative_exponent", [] { return pow(var("x"), lit(-2)); }, "x^{-2}"},
        ExprCase{"negative_zero_base", [] { return pow(lit(-0.0), lit(2)); }, "0^{2}"},
        ExprCase{"product_base", [] { return pow(mul(var("a"), var("b")), lit(2)); },
                 "a \\times b^{2}"},
        ExprCase{"unit_annotation",
                 [] { return mul(lit(2), with_unit(lit(3), kilometre, "\\mathrm{km}")); },
                 "2 \\times 3\\ \\mathrm{\\mathrm{km}}"},
        ExprCase{"annotated_fraction",
                 [] { return div(with_unit(lit(3), metre, "\\mathrm{m}"), lit(2)); },
                 "\\frac{3\\ \\mathrm{\\mathrm{m}}}{2}"},
        // The power applies to the annotated quantity, which the parentheses show.
        ExprCase{"annotated_power_base",
                 [] { return pow(with_unit(lit(5), metre, "\\mathrm{m}"), lit(2)); },
                 "(5\\ \\mathrm{\\mathrm{m}})^{2}"},
        ExprCase{"annotated_exponent_unchanged",
                 [] { return pow(lit(2), with_unit(lit(3), metre, "\\mathrm{m}")); },
                 "2^{3\\ \\mathrm{\\mathrm{m}}}"},
        ExprCase{"call", [] { return call("max", {var("x"), var("y")}); }, "\\mathrm{max}(x,y)"},
        ExprCase{"call_without_arguments", [] { return call("f"); }, "\\mathrm{f}()"},
        ExprCase{"call_name_verbatim", [] { return call(" sin", {lit(1)}); }, "\\mathrm{ sin}(1)"},
        ExprCase{"call_arguments_are_expressions",
                 [] { return add(call("min", {div(lit(1), lit(2)), paren(lit(0.5))}), lit(1)); },
                 "\\mathrm{min}(\\frac{1}{2},(0.500)) + 1"}),
    [](const ::testing::TestParamInfo<ExprCase>& info) { return info.param.label; });

TEST(RenderExpression, LiteralsFollowTheDigitsButNotScientific) {
    const Expr expr = mul(lit(1.5), lit(12345));
    EXPECT_EQ(*render_expression(expr, FormatSettings{nullptr, 1, false}), "1.5 \\times 12345");
    EXPECT_EQ(*render_expression(expr, FormatSettings{nullptr, 3, true}), "1.500 \\times 12345");
}

TEST(RenderExpression, ValueFailureEndsTheRendering) {
    const UnitHint hint{metre, NaiveUnit(std::string("m"))};
    const FormatSettings settings{&hint, 3, false};
    for (const Expr& expr : {add(var("x"), lit(1)), call("max", {var("x"), lit(1), lit(2)})}) {
        const Result<std::string> text = render_expression(expr, settings);
        ASSERT_FALSE(text.has_value());
        EXPECT_EQ(text.error().kind(), RunError::Kind::UnitError);
        EXPECT_EQ(text.error().display(), "Unit hint m does not match value with unit ");
    }
}

}  // namespace
}  // namespace mensurator

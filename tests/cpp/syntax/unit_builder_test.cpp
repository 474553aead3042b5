// Building unit expressions from parse nodes, with both builders on the same written unit: the
// evaluated tree, the tree kept as written and its LaTeX must agree in shape, and both refuse the
// same faulty forms.

#include "syntax/unit_builder.hpp"

#include <gtest/gtest.h>

#include <string>

#include "grammar/parse.hpp"
#include "syntax/naive_string.hpp"
#include "tree_print.hpp"

namespace mensurator {
namespace {

using test_support::naive_text;
using test_support::ParsedDocument;
using test_support::unit_expr_text;
using test_support::unit_hint_document;

struct Case {
    const char* unit;
    std::string evaluated;  // the UnitExpr
    std::string written;    // the NaiveUnit
    std::string latex;      // naive_to_latex of the NaiveUnit
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.unit;
}

class UnitShapes : public ::testing::TestWithParam<Case> {};

TEST_P(UnitShapes, BothBuildersAgree) {
    const ParsedDocument doc = unit_hint_document(GetParam().unit);
    ASSERT_NE(doc.hint(), nullptr) << doc.text;

    const Result<UnitExpr> evaluated = build_unit_expr(*doc.hint(), doc.text);
    ASSERT_TRUE(evaluated.has_value()) << evaluated.error().display();
    EXPECT_EQ(unit_expr_text(*evaluated), GetParam().evaluated);

    const Result<NaiveUnit> written = parse_naive_unit(*doc.hint(), doc.text);
    ASSERT_TRUE(written.has_value()) << written.error().display();
    EXPECT_EQ(naive_text(*written), GetParam().written);

    const Result<std::string> latex = naive_to_latex(*written);
    ASSERT_TRUE(latex.has_value());
    EXPECT_EQ(*latex, GetParam().latex);
}

INSTANTIATE_TEST_SUITE_P(
    Grouping, UnitShapes,
    ::testing::Values(
        Case{"km", "[m e3]", "\"km\"", "\\mathrm{km}"},
        Case{"m/s", "UDiv([m], [s])", "UDiv(\"m\", \"s\")",
             "\\mathrm{\\frac{\\mathrm{m}}{\\mathrm{s}}}"},
        Case{"m*s^2", "UMul([m], UPow{2}([s]))", "UMul(\"m\", UPow{2}(\"s\"))",
             "\\mathrm{\\mathrm{m} \\ \\mathrm{\\mathrm{s}^{2}}}"},
        Case{"m^2*s", "UMul(UPow{2}([m]), [s])", "UMul(UPow{2}(\"m\"), \"s\")",
             "\\mathrm{\\mathrm{\\mathrm{m}^{2}} \\ \\mathrm{s}}"},
        Case{"m/s/kg", "UDiv(UDiv([m], [s]), [g e3])", "UDiv(UDiv(\"m\", \"s\"), \"kg\")",
             "\\mathrm{\\frac{\\mathrm{\\frac{\\mathrm{m}}{\\mathrm{s}}}}{\\mathrm{kg}}}"},
        Case{"m/s*kg", "UMul(UDiv([m], [s]), [g e3])", "UMul(UDiv(\"m\", \"s\"), \"kg\")",
             "\\mathrm{\\mathrm{\\frac{\\mathrm{m}}{\\mathrm{s}}} \\ \\mathrm{kg}}"},
        Case{"kg*m/s^2", "UDiv(UMul([g e3], [m]), UPow{2}([s]))",
             "UDiv(UMul(\"kg\", \"m\"), UPow{2}(\"s\"))",
             "\\mathrm{\\frac{\\mathrm{\\mathrm{kg} \\ \\mathrm{m}}}{\\mathrm{\\mathrm{s}^{2}}}}"},
        Case{"km/hour", "UDiv([m e3], [s e3 f3.6])", "UDiv(\"km\", \"hour\")",
             "\\mathrm{\\frac{\\mathrm{km}}{\\mathrm{hour}}}"},
        Case{"mmol/L", "UDiv([mol e-3], [m^3 e-3])", "UDiv(\"mmol\", \"L\")",
             "\\mathrm{\\frac{\\mathrm{mmol}}{\\mathrm{L}}}"}));

INSTANTIATE_TEST_SUITE_P(
    Powers, UnitShapes,
    ::testing::Values(
        Case{"s^-1", "UPow{-1}([s])", "UPow{-1}(\"s\")", "\\mathrm{\\mathrm{s}^{-1}}"},
        Case{"s^-2", "UPow{-2}([s])", "UPow{-2}(\"s\")", "\\mathrm{\\mathrm{s}^{-2}}"},
        Case{"s^0", "UPow{0}([s])", "UPow{0}(\"s\")", "\\mathrm{\\mathrm{s}^{0}}"},
        Case{"m^ 2", "UPow{2}([m])", "UPow{2}(\"m\")", "\\mathrm{\\mathrm{m}^{2}}"},
        Case{"m^\t-3/s", "UDiv(UPow{-3}([m]), [s])", "UDiv(UPow{-3}(\"m\"), \"s\")",
             "\\mathrm{\\frac{\\mathrm{\\mathrm{m}^{-3}}}{\\mathrm{s}}}"},
        Case{"m^-9223372036854775808", "UPow{-9223372036854775808}([m])",
             "UPow{-9223372036854775808}(\"m\")", "\\mathrm{\\mathrm{m}^{-9223372036854775808}}"}));

// A parenthesised group becomes one leaf: its evaluated unit, or its LaTeX already rendered.
INSTANTIATE_TEST_SUITE_P(
    Groups, UnitShapes,
    ::testing::Values(
        Case{"kg/(m*s)", "UDiv([g e3], [m s])",
             "UDiv(\"kg\", \"\\mathrm{\\mathrm{m} \\ \\mathrm{s}}\")",
             "\\mathrm{\\frac{\\mathrm{kg}}{\\mathrm{\\mathrm{\\mathrm{m} \\ \\mathrm{s}}}}}"},
        Case{"(m/s)", "[m s^-1]", "\"\\mathrm{\\frac{\\mathrm{m}}{\\mathrm{s}}}\"",
             "\\mathrm{\\mathrm{\\frac{\\mathrm{m}}{\\mathrm{s}}}}"},
        Case{"((m))", "[m]", "\"\\mathrm{\\mathrm{m}}\"", "\\mathrm{\\mathrm{\\mathrm{m}}}"},
        Case{"(km)/(hour)", "UDiv([m e3], [s e3 f3.6])",
             "UDiv(\"\\mathrm{km}\", \"\\mathrm{hour}\")",
             "\\mathrm{\\frac{\\mathrm{\\mathrm{km}}}{\\mathrm{\\mathrm{hour}}}}"}));

// Unit names with blanks: the name as written is one leaf, blanks included.
TEST(WrittenUnit, KeepsBlanksOfTheName) {
    for (const auto& [unit, latex] :
         {std::pair{"kg m", "\\mathrm{kg m}"}, std::pair{"m  ", "\\mathrm{m  }"},
          std::pair{"k g/s", "\\mathrm{\\frac{\\mathrm{k g}}{\\mathrm{s}}}"}}) {
        const ParsedDocument doc = unit_hint_document(unit);
        ASSERT_NE(doc.hint(), nullptr) << unit;
        const Result<NaiveUnit> written = parse_naive_unit(*doc.hint(), doc.text);
        ASSERT_TRUE(written.has_value()) << unit;
        EXPECT_EQ(naive_to_latex(*written).value_or("failed"), latex) << unit;
    }
}

// The name with its blanks reaches the unit lookup as one name.
TEST(EvaluatedUnit, LooksUpTheWholeName) {
    const ParsedDocument joined = unit_hint_document("kg m");
    ASSERT_NE(joined.hint(), nullptr);
    const Result<UnitExpr> evaluated = build_unit_expr(*joined.hint(), joined.text);
    ASSERT_FALSE(evaluated.has_value());
    EXPECT_EQ(evaluated.error().display(), "kg m is not a variable or a valid unit");

    const ParsedDocument spaced = unit_hint_document("k g/s");
    ASSERT_NE(spaced.hint(), nullptr);
    const Result<UnitExpr> kilo = build_unit_expr(*spaced.hint(), spaced.text);
    ASSERT_FALSE(kilo.has_value());
    EXPECT_EQ(kilo.error().display(), "k g is not a variable or a valid unit");
}

// Both builders refuse the same forms with ordinary errors.
TEST(BothBuilders, RefuseAUnitExpressionStartingWithAnOperator) {
    for (const char* unit : {"1/", "1*", "(1/*s)", "m*(1/*s)"}) {
        const ParsedDocument doc = unit_hint_document(unit);
        ASSERT_NE(doc.hint(), nullptr) << unit;
        const Result<UnitExpr> evaluated = build_unit_expr(*doc.hint(), doc.text);
        ASSERT_FALSE(evaluated.has_value()) << unit;
        EXPECT_TRUE(evaluated.error().display().starts_with("Invalid unit expression "))
            << evaluated.error().display();
        const Result<NaiveUnit> written = parse_naive_unit(*doc.hint(), doc.text);
        ASSERT_FALSE(written.has_value()) << unit;
        EXPECT_EQ(written.error().display(), evaluated.error().display());
    }
}

TEST(BothBuilders, RefuseAnExponentBeyondSixtyFourBits) {
    for (const char* digits :
         {"9223372036854775808", "-9223372036854775809", "99999999999999999999999"}) {
        const ParsedDocument doc = unit_hint_document("m^" + std::string(digits));
        ASSERT_NE(doc.hint(), nullptr) << digits;
        const std::string expected = "Unit exponent " + std::string(digits) + " is too large";
        const Result<UnitExpr> evaluated = build_unit_expr(*doc.hint(), doc.text);
        ASSERT_FALSE(evaluated.has_value()) << digits;
        EXPECT_EQ(evaluated.error().display(), expected);
        const Result<NaiveUnit> written = parse_naive_unit(*doc.hint(), doc.text);
        ASSERT_FALSE(written.has_value()) << digits;
        EXPECT_EQ(written.error().display(), expected);
    }
}

TEST(BothBuilders, ReportAnUnknownUnitOnlyWhenEvaluating) {
    const ParsedDocument doc = unit_hint_document("furlong/fortnight");
    ASSERT_NE(doc.hint(), nullptr);
    const Result<UnitExpr> evaluated = build_unit_expr(*doc.hint(), doc.text);
    ASSERT_FALSE(evaluated.has_value());
    EXPECT_EQ(evaluated.error().display(), "furlong is not a variable or a valid unit");
    const Result<NaiveUnit> written = parse_naive_unit(*doc.hint(), doc.text);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(naive_text(*written), "UDiv(\"furlong\", \"fortnight\")");
}

// Malformed trees, which the builders never make, stop the rendering as an internal fault.
TEST(WrittenUnit, MalformedTreeIsAnInternalFault) {
    std::vector<NaiveUnit> one;
    one.emplace_back(std::string("m"));
    const NaiveUnit lonely_division(UnitOp{UnitOpKind::UnitDiv, 0}, std::move(one));
    EXPECT_THROW((void)naive_to_latex(lonely_division), InternalError);
    const NaiveUnit empty_power(UnitOp{UnitOpKind::UnitPow, 2}, {});
    EXPECT_THROW((void)naive_to_latex(empty_power), InternalError);
}

}  // namespace
}  // namespace mensurator

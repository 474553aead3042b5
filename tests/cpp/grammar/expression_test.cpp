#include <gtest/gtest.h>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"
#include "support/rule_parse.hpp"

namespace mensurator {
namespace {

using test_support::outcome;
using test_support::RejectCase;
using test_support::RuleCase;
using test_support::well_formed;

class RuleShape : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleShape, ProducesNodesAndStopsWhereExpected) {
    const RuleCase& c = GetParam();
    EXPECT_EQ(outcome(c.start, c.text), c.tree);
    const auto result = parse(c.start, c.text);
    ASSERT_TRUE(result);
    ASSERT_FALSE(result->empty());
    EXPECT_TRUE(well_formed(c.text, *result));
    EXPECT_EQ(c.text.substr(0, result->back().end), c.matched);
}

constexpr auto expression = GrammarRule::expression;

// Operators and operands: the chain stays flat, a minus is an operator only between operands.
INSTANTIATE_TEST_SUITE_P(
    Operators, RuleShape,
    ::testing::Values(
        RuleCase{expression, "2 + 3 * 4",
                 R"t(expression(number"2" operation"+" number"3" operation"*" number"4"))t",
                 "2 + 3 * 4"},
        RuleCase{expression, "2-3", R"t(expression(number"2" operation"-" number"3"))t", "2-3"},
        RuleCase{expression, "2 -3", R"t(expression(number"2" operation"-" number"3"))t", "2 -3"},
        RuleCase{expression, "3 * -5", R"t(expression(number"3" operation"*" number"-5"))t",
                 "3 * -5"},
        RuleCase{expression, "2^-1", R"t(expression(number"2" operation"^" number"-1"))t", "2^-1"},
        RuleCase{expression, "a/b", R"t(expression(ident"a" operation"/" ident"b"))t", "a/b"},
        RuleCase{expression, "-7.25", R"t(expression(number"-7.25"))t", "-7.25"},
        RuleCase{
            expression, "(a + b) * y",
            R"t(expression(expression(ident"a" operation"+" ident"b") operation"*" ident"y"))t",
            "(a + b) * y"},
        RuleCase{expression, "((1))", R"t(expression(expression(expression(number"1"))))t",
                 "((1))"},
        RuleCase{expression, "2**3", R"t(expression(number"2"))t", "2"},
        RuleCase{expression, "5.", R"t(expression(number"5"))t", "5"},
        RuleCase{expression, "2 + ", R"t(expression(number"2"))t", "2 "},
        RuleCase{expression, "1 + f(2) * ",
                 R"t(expression(number"1" operation"+" fn_call(ident"f" expression(number"2"))))t",
                 "1 + f(2)"},
        RuleCase{expression, "1.5e3", R"t(expression(number"1.5" unit_expr(unit"e")))t", "1.5e"}));

// Function calls and identifiers followed by parentheses.
INSTANTIATE_TEST_SUITE_P(
    Calls, RuleShape,
    ::testing::Values(
        RuleCase{expression, "x (2)", R"t(expression(fn_call(ident"x" expression(number"2"))))t",
                 "x (2)"},
        RuleCase{expression, "x(2)", R"t(expression(fn_call(ident"x" expression(number"2"))))t",
                 "x(2)"},
        RuleCase{
            expression, "sqrt(x + 1, 2)",
            R"t(expression(fn_call(ident"sqrt" expression(ident"x" operation"+" number"1") expression(number"2"))))t",
            "sqrt(x + 1, 2)"},
        RuleCase{
            expression, "f( 1 , g(2) )",
            R"t(expression(fn_call(ident"f" expression(number"1") expression(fn_call(ident"g" expression(number"2"))))))t",
            "f( 1 , g(2) )"},
        RuleCase{expression, "f()", R"t(expression(ident"f"))t", "f"},
        RuleCase{expression, "f(1,)", R"t(expression(ident"f"))t", "f"},
        RuleCase{
            expression, "max(a, b)^2",
            R"t(expression(fn_call(ident"max" expression(ident"a") expression(ident"b")) operation"^" number"2"))t",
            "max(a, b)^2"}));

// Unit annotations after numbers and identifiers.
INSTANTIATE_TEST_SUITE_P(
    Annotations, RuleShape,
    ::testing::Values(
        RuleCase{expression, "5 kg", R"t(expression(number"5" unit_expr(unit"kg")))t", "5 kg"},
        RuleCase{
            expression, "9.81 m/s^2",
            R"t(expression(number"9.81" unit_expr(unit"m" unit_operation"/" unit"s" unit_postfix_operation(integer"2"))))t",
            "9.81 m/s^2"},
        RuleCase{
            expression, "5 kg*m/s^2",
            R"t(expression(number"5" unit_expr(unit"kg" unit_operation"*" unit"m" unit_operation"/" unit"s" unit_postfix_operation(integer"2"))))t",
            "5 kg*m/s^2"},
        RuleCase{expression, "5 kg m", R"t(expression(number"5" unit_expr(unit"kg m")))t",
                 "5 kg m"},
        RuleCase{expression, "5 m (s)",
                 R"t(expression(number"5" unit_expr(unit"m ") unit_expr(unit_expr(unit"s"))))t",
                 "5 m (s)"},
        RuleCase{expression, "5 1/s",
                 R"t(expression(number"5" unit_expr(unit_operation"/") unit_expr(unit"s")))t",
                 "5 1/s"},
        RuleCase{expression, "5 (1/s)", R"t(expression(number"5"))t", "5 "},
        RuleCase{expression, "x km", R"t(expression(ident"x" unit_expr(unit"km")))t", "x km"},
        RuleCase{expression, "2 x", R"t(expression(number"2" unit_expr(unit"x")))t", "2 x"},
        RuleCase{
            expression, "5 (m/s)^2",
            R"t(expression(number"5" unit_expr(unit_expr(unit"m" unit_operation"/" unit"s")) operation"^" number"2"))t",
            "5 (m/s)^2"},
        RuleCase{
            expression, "3 m / 2 s",
            R"t(expression(number"3" unit_expr(unit"m ") operation"/" number"2" unit_expr(unit"s")))t",
            "3 m / 2 s"},
        RuleCase{
            expression, "5 m^ -2",
            R"t(expression(number"5" unit_expr(unit"m" unit_postfix_operation(integer"-2"))))t",
            "5 m^ -2"},
        RuleCase{
            expression, "5 m ^ 2",
            R"t(expression(number"5" unit_expr(unit"m " unit_postfix_operation(integer"2"))))t",
            "5 m ^ 2"},
        RuleCase{
            expression, "5 km ^2",
            R"t(expression(number"5" unit_expr(unit"km" unit_postfix_operation(integer"2"))))t",
            "5 km ^2"},
        RuleCase{expression, "5 m^2.5",
                 R"t(expression(number"5" unit_expr(unit"m" unit_postfix_operation(integer"2"))))t",
                 "5 m^2"}));

// Other start rules: unit expressions, single units and the silent operand rule.
INSTANTIATE_TEST_SUITE_P(
    OtherStartRules, RuleShape,
    ::testing::Values(
        RuleCase{GrammarRule::unit_expr, "m^ -2",
                 R"t(unit_expr(unit"m" unit_postfix_operation(integer"-2")))t", "m^ -2"},
        RuleCase{GrammarRule::unit_expr, "1/s", R"t(unit_expr(unit_operation"/"))t", "1/"},
        RuleCase{GrammarRule::unit_expr, "1 / s", R"t(unit_expr(unit_operation"/"))t", "1 / "},
        RuleCase{GrammarRule::unit_expr, "(m/s)^2",
                 R"t(unit_expr(unit_expr(unit"m" unit_operation"/" unit"s")))t", "(m/s)"},
        RuleCase{GrammarRule::unit_expr, "km  /  h",
                 R"t(unit_expr(unit"km" unit_operation"/" unit"h"))t", "km  /  h"},
        RuleCase{GrammarRule::unit, "m  /", R"t(unit"m  ")t", "m  "},
        RuleCase{GrammarRule::unit, "km  /", R"t(unit"km")t", "km"},
        RuleCase{GrammarRule::unit, "k\tm", R"t(unit"k\tm")t", "k\tm"},
        RuleCase{GrammarRule::unit, "kg   m2", R"t(unit"kg   m")t", "kg   m"},
        RuleCase{GrammarRule::number, "12.50.3", R"t(number"12.50")t", "12.50"},
        RuleCase{GrammarRule::integer, "-12.5", R"t(integer"-12")t", "-12"},
        RuleCase{GrammarRule::ident, "a1_{b}c d", R"t(ident"a1_{b}c")t", "a1_{b}c"},
        RuleCase{GrammarRule::ident, "\\Delta\\x", R"t(ident"\\Delta")t", "\\Delta"},
        RuleCase{GrammarRule::term, "5 kg m", R"t(number"5" unit_expr(unit"kg m"))t", "5 kg m"},
        RuleCase{GrammarRule::operation, "+", R"t(operation"+")t", "+"}));

// Inputs that are not expressions at all.
class RuleRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RuleRejects, AtTheLastFailedRule) {
    const RejectCase& c = GetParam();
    EXPECT_EQ(outcome(c.start, c.text), c.failure);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleRejects,
    ::testing::Values(RejectCase{expression, "- 5"}, RejectCase{expression, "-x"},
                      RejectCase{expression, ".5"}, RejectCase{expression, ""},
                      RejectCase{expression, "*2"}, RejectCase{expression, " 5"},
                      RejectCase{expression, "()", "failure 1:2"},
                      RejectCase{GrammarRule::ident, "1a"}, RejectCase{GrammarRule::ident, "_a"},
                      RejectCase{GrammarRule::number, "-"}, RejectCase{GrammarRule::unit, "1"}));

}  // namespace
}  // namespace mensurator

#include <gtest/gtest.h>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"
#include "support/rule_parse.hpp"

namespace mensurator {
namespace {

using test_support::spans;

// Node texts, including the blanks that a node's own body skipped before it ended.
using SpanCase = test_support::TextCase;

class NodeSpans : public ::testing::TestWithParam<SpanCase> {};

TEST_P(NodeSpans, CoverTheMatchedText) {
    const SpanCase& c = GetParam();
    const auto result = parse(GrammarRule::program, c.text);
    ASSERT_TRUE(result);
    EXPECT_EQ(spans(c.text, *result), c.tree);
}

// Blanks after the first operand of an expression (or the last number or identifier) stay
// inside the expression and the statement that ends with it; blanks skipped after a later
// call or group do not.
INSTANTIATE_TEST_SUITE_P(
    Expressions, NodeSpans,
    ::testing::Values(
        SpanCase{
            "x = 5  \n",
            R"t(statement"x = 5  \n"(var_dec"x = 5  "(ident"x" expression"5  "(number"5"))))t"},
        SpanCase{
            "x = 5\t\n",
            R"t(statement"x = 5\t\n"(var_dec"x = 5\t"(ident"x" expression"5\t"(number"5"))))t"},
        SpanCase{
            "x = 1 + 2  \n",
            R"t(statement"x = 1 + 2  \n"(var_dec"x = 1 + 2  "(ident"x" expression"1 + 2  "(number"1" operation"+" number"2"))))t"},
        SpanCase{
            "x = f(2)  \n",
            R"t(statement"x = f(2)  \n"(var_dec"x = f(2)  "(ident"x" expression"f(2)  "(fn_call"f(2)"(ident"f" expression"2"(number"2"))))))t"},
        SpanCase{
            "x = 1 + f(2)  \n",
            R"t(statement"x = 1 + f(2)  \n"(var_dec"x = 1 + f(2)"(ident"x" expression"1 + f(2)"(number"1" operation"+" fn_call"f(2)"(ident"f" expression"2"(number"2"))))))t"},
        SpanCase{
            "x = 1 + (2)  \n",
            R"t(statement"x = 1 + (2)  \n"(var_dec"x = 1 + (2)"(ident"x" expression"1 + (2)"(number"1" operation"+" expression"2"(number"2")))))t"},
        SpanCase{
            "x = 5 m  \n",
            R"t(statement"x = 5 m  \n"(var_dec"x = 5 m  "(ident"x" expression"5 m  "(number"5" unit_expr"m  "(unit"m  ")))))t"},
        SpanCase{
            "x = 5 km  \n",
            R"t(statement"x = 5 km  \n"(var_dec"x = 5 km  "(ident"x" expression"5 km  "(number"5" unit_expr"km  "(unit"km")))))t"}));

// Where each statement kind's node ends.
INSTANTIATE_TEST_SUITE_P(
    Statements, NodeSpans,
    ::testing::Values(
        SpanCase{"v =?  \n",
                 R"t(statement"v =?  \n"(print_expr"v =?  "(expression"v "(ident"v"))))t"},
        SpanCase{
            "v =? km  \n",
            R"t(statement"v =? km  \n"(print_expr"v =? km  "(expression"v "(ident"v") unit_expr"km  "(unit"km"))))t"},
        SpanCase{
            "v = 3 m =? km/h\n",
            R"t(statement"v = 3 m =? km/h\n"(dec_print_expr"v = 3 m =? km/h"(ident"v" expression"3 m "(number"3" unit_expr"m "(unit"m ")) unit_expr"km/h"(unit"km" unit_operation"/" unit"h"))))t"},
        SpanCase{"hello world  \n", R"t(statement"hello world  \n"(error"hello world"))t"},
        SpanCase{"!digits  4  \n",
                 R"t(statement"!digits  4  \n"(digit_set"digits  4"(integer"4")))t"},
        SpanCase{"!scientific \t\n",
                 R"t(statement"!scientific \t\n"(set_scientific"scientific"))t"},
        SpanCase{"alias  v   w  \n",
                 R"t(statement"alias  v   w  \n"(alias_stmt"alias  v   w"(ident"v" ident"w")))t"},
        SpanCase{
            "x = 1\r\n\r\n",
            R"t(statement"x = 1\r\n"(var_dec"x = 1"(ident"x" expression"1"(number"1"))) statement"\r\n"(line_gap_stmt"\r\n"))t"},
        SpanCase{"  \t\n", R"t(statement"\n"(line_gap_stmt"\n"))t"},
        SpanCase{
            "''' a\nb '''  \n",
            R"t(statement"''' a\nb '''"(latex_block"''' a\nb '''") statement"\n"(line_gap_stmt"\n"))t"}));

}  // namespace
}  // namespace mensurator

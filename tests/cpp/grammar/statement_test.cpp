#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"
#include "support/rule_parse.hpp"

namespace mensurator {
namespace {

using test_support::covers_document;
using test_support::outcome;
using test_support::PrintTo;
using test_support::well_formed;

// A whole document and the statements it parses into (compact tree form).
using DocumentCase = test_support::TextCase;

class DocumentShape : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(DocumentShape, ParsesIntoStatements) {
    const DocumentCase& c = GetParam();
    EXPECT_EQ(outcome(GrammarRule::program, c.text), c.tree);
    const auto result = parse(GrammarRule::program, c.text);
    ASSERT_TRUE(result);
    EXPECT_TRUE(well_formed(c.text, *result));
    EXPECT_TRUE(covers_document(c.text, *result));
}

// Which statement alternative wins on a line.
INSTANTIATE_TEST_SUITE_P(
    Alternatives, DocumentShape,
    ::testing::Values(
        DocumentCase{"x = 5\n", R"t(statement(var_dec(ident"x" expression(number"5"))))t"},
        DocumentCase{
            "v = 3 m =? km\n",
            R"t(statement(dec_print_expr(ident"v" expression(number"3" unit_expr(unit"m ")) unit_expr(unit"km"))))t"},
        DocumentCase{"v = 3 m\n",
                     R"t(statement(var_dec(ident"v" expression(number"3" unit_expr(unit"m")))))t"},
        DocumentCase{
            "2 m + 3 m =?\n",
            R"t(statement(print_expr(expression(number"2" unit_expr(unit"m ") operation"+" number"3" unit_expr(unit"m ")))))t"},
        DocumentCase{
            "v =? km/h\n",
            R"t(statement(print_expr(expression(ident"v") unit_expr(unit"km" unit_operation"/" unit"h"))))t"},
        DocumentCase{"v = ? km\n",
                     R"t(statement(print_expr(expression(ident"v") unit_expr(unit"km"))))t"},
        DocumentCase{
            "a = 2 * v =?\n",
            R"t(statement(dec_print_expr(ident"a" expression(number"2" operation"*" ident"v"))))t"},
        DocumentCase{"alias = 3\n", R"t(statement(var_dec(ident"alias" expression(number"3"))))t"},
        DocumentCase{"digits = 3\n",
                     R"t(statement(var_dec(ident"digits" expression(number"3"))))t"},
        DocumentCase{"alias v velocity\n", R"t(statement(alias_stmt(ident"v" ident"velocity")))t"},
        DocumentCase{"aliasv w\n", R"t(statement(alias_stmt(ident"v" ident"w")))t"},
        DocumentCase{"alias r r_1\n", R"t(statement(alias_stmt(ident"r" ident"r_1")))t"},
        DocumentCase{"\\alpha_{1} = 2\n",
                     R"t(statement(var_dec(ident"\\alpha_{1}" expression(number"2"))))t"},
        DocumentCase{"x = -5\n", R"t(statement(var_dec(ident"x" expression(number"-5"))))t"},
        DocumentCase{
            "y = x (2)\n",
            R"t(statement(var_dec(ident"y" expression(fn_call(ident"x" expression(number"2"))))))t"},
        DocumentCase{"!digits 4\n", R"t(statement(digit_set(integer"4")))t"},
        DocumentCase{"! digits 4\n", R"t(statement(digit_set(integer"4")))t"},
        DocumentCase{"!digits4\n", R"t(statement(digit_set(integer"4")))t"},
        DocumentCase{"!digits -2\n", R"t(statement(digit_set(integer"-2")))t"},
        DocumentCase{"!scientific\n", R"t(statement(set_scientific"scientific"))t"}));

// Lines that no alternative matches completely become error statements.
INSTANTIATE_TEST_SUITE_P(
    ErrorLines, DocumentShape,
    ::testing::Values(
        DocumentCase{"hello world\n", R"t(statement(error"hello world"))t"},
        DocumentCase{"5 6\n", R"t(statement(error"5 6"))t"},
        DocumentCase{"x==?\n", R"t(statement(error"x==?"))t"},
        DocumentCase{"v\xC3\xB6 = 3\n", R"t(statement(error"v\xC3\xB6 = 3"))t"},
        DocumentCase{"\xC3\xA9 = 3\n", R"t(statement(error"\xC3\xA9 = 3"))t"},
        DocumentCase{"_a = 1\n", R"t(statement(error"_a = 1"))t"},
        DocumentCase{"x = - 5\n", R"t(statement(error"x = - 5"))t"},
        DocumentCase{"2**3 =?\n", R"t(statement(error"2**3 =?"))t"},
        DocumentCase{"!digits - 2\n", R"t(statement(error"!digits - 2"))t"},
        DocumentCase{"!digits\n", R"t(statement(error"!digits"))t"},
        DocumentCase{"!Scientific\n", R"t(statement(error"!Scientific"))t"},
        DocumentCase{"Alias v w\n", R"t(statement(error"Alias v w"))t"},
        DocumentCase{"alias v\n", R"t(statement(error"alias v"))t"},
        DocumentCase{
            "x = 1\nx = (1\n",
            R"t(statement(var_dec(ident"x" expression(number"1"))) statement(error"x = (1"))t"},
        DocumentCase{
            "x = 2\nhello world\ny = 1\n",
            R"t(statement(var_dec(ident"x" expression(number"2"))) statement(error"hello world") statement(var_dec(ident"y" expression(number"1"))))t"},
        DocumentCase{
            "'''\nx = 1\n",
            R"t(statement(error"'''") statement(var_dec(ident"x" expression(number"1"))))t"}));

// Blank lines, leading line ends, latex blocks and the three kinds of line end.
INSTANTIATE_TEST_SUITE_P(
    LinesAndBlocks, DocumentShape,
    ::testing::Values(
        DocumentCase{"   \n", R"t(statement(line_gap_stmt"\n"))t"},
        DocumentCase{
            " \t \nx = 1\n",
            R"t(statement(line_gap_stmt"\n") statement(var_dec(ident"x" expression(number"1"))))t"},
        DocumentCase{
            " \n\t\nx = 1\n",
            R"t(statement(line_gap_stmt"\n") statement(line_gap_stmt"\n") statement(var_dec(ident"x" expression(number"1"))))t"},
        DocumentCase{"\n\nx = 1\n", R"t(statement(var_dec(ident"x" expression(number"1"))))t"},
        DocumentCase{"\n \t\n\r\n\rx = 1\n",
                     R"t(statement(var_dec(ident"x" expression(number"1"))))t"},
        DocumentCase{" x = 1\n", R"t(statement(var_dec(ident"x" expression(number"1"))))t"},
        DocumentCase{
            "x = 1\n\n",
            R"t(statement(var_dec(ident"x" expression(number"1"))) statement(line_gap_stmt"\n"))t"},
        DocumentCase{
            "x = 1\n   y = 2\n",
            R"t(statement(var_dec(ident"x" expression(number"1"))) statement(var_dec(ident"y" expression(number"2"))))t"},
        DocumentCase{"x = 1\n  \t", R"t(statement(var_dec(ident"x" expression(number"1"))))t"},
        DocumentCase{
            "'''\\textbf{hi}'''\n",
            R"t(statement(latex_block"'''\\textbf{hi}'''") statement(line_gap_stmt"\n"))t"},
        DocumentCase{
            "'''\nline one\nline two\n'''\n",
            R"t(statement(latex_block"'''\nline one\nline two\n'''") statement(line_gap_stmt"\n"))t"},
        DocumentCase{"'''a'''", R"t(statement(latex_block"'''a'''"))t"},
        DocumentCase{"''''''\n",
                     R"t(statement(latex_block"''''''") statement(line_gap_stmt"\n"))t"},
        DocumentCase{"'''' x '''\n",
                     R"t(statement(latex_block"'''' x '''") statement(line_gap_stmt"\n"))t"},
        DocumentCase{
            "'''a'''x = 1\n",
            R"t(statement(latex_block"'''a'''") statement(var_dec(ident"x" expression(number"1"))))t"},
        DocumentCase{
            "'''a''' '''b'''  \n",
            R"t(statement(latex_block"'''a'''") statement(latex_block"'''b'''") statement(line_gap_stmt"\n"))t"},
        DocumentCase{
            "x = 1\r\ny = 2\r\n",
            R"t(statement(var_dec(ident"x" expression(number"1"))) statement(var_dec(ident"y" expression(number"2"))))t"},
        DocumentCase{
            "x = 1\ry = 2\r",
            R"t(statement(var_dec(ident"x" expression(number"1"))) statement(var_dec(ident"y" expression(number"2"))))t"},
        DocumentCase{
            "x = 1\r\n\r\n\r",
            R"t(statement(var_dec(ident"x" expression(number"1"))) statement(line_gap_stmt"\r\n") statement(line_gap_stmt"\r"))t"}));

// Statement lines are numbered by the start of the statement's child: lone CRs end statements
// but do not start new lines, CR LF does.
struct LineNumberCase {
    std::string_view text;
    std::vector<std::size_t> lines;
};

class StatementLines : public ::testing::TestWithParam<LineNumberCase> {};

TEST_P(StatementLines, FollowLineBreaks) {
    const LineNumberCase& c = GetParam();
    const auto result = parse(GrammarRule::program, c.text);
    ASSERT_TRUE(result);
    std::vector<std::size_t> lines;
    for (const ParseNode& statement : *result) {
        ASSERT_EQ(statement.children.size(), 1u);
        lines.push_back(line_column(c.text, statement.children[0].start).line);
    }
    EXPECT_EQ(lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatementLines,
                         ::testing::Values(LineNumberCase{"x = 1\ry = 2\rz = 3\r", {1, 1, 1}},
                                           LineNumberCase{"x = 1\r\ny = 2\r\nz = 3\r\n", {1, 2, 3}},
                                           LineNumberCase{"\n\nx = 1\n\ny = 2\n", {3, 4, 5}},
                                           LineNumberCase{"'''a\nb\nc'''\nx = 1\n", {1, 3, 4}},
                                           LineNumberCase{"x = 1\r\r\ny = 2\n", {1, 1, 2}}));

}  // namespace
}  // namespace mensurator

// The statement builder on whole documents: which kind each line becomes, its line number, the
// fields it carries, and the errors that stop the building.

#include <gtest/gtest.h>

#include <string>

#include "support/named_case.hpp"
#include "tree_print.hpp"

namespace mensurator {
namespace {

using test_support::build_document;
using test_support::case_name;

// A document, and its statements as statement_text gives them, one per line.
using Case = test_support::NamedCase;

class Statements : public ::testing::TestWithParam<Case> {};

TEST_P(Statements, BuildFromDocument) {
    EXPECT_EQ(build_document(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Statements,
    ::testing::Values(
        Case{"VarDec", "x = 5\n", "L1 VarDec[\"x\"](5)"},
        Case{"VarDecWithTrailingBlanks", "x = 5   \n", "L1 VarDec[\"x\"](5)"},
        Case{"VarDecNamedAlias", "alias = 3\n", "L1 VarDec[\"alias\"](3)"},
        Case{"DecPrintWithHint", "v = 3 m =? km\n",
             "L1 DecPrintExpr[\"v\"](WithUnit[m](3)) hint[m e3 | \"km\"]"},
        Case{"DecPrintWithoutHint", "v = 2 * 3 = ?\n", "L1 DecPrintExpr[\"v\"](Mul(2, 3))"},
        Case{"PrintWithoutHint", "2 m + 3 m =?\n",
             "L1 PrintExpr(Add(WithUnit[m](2), WithUnit[m](3)))"},
        Case{"PrintWithHint", "v =? km/hour\n",
             "L1 PrintExpr(v) hint[m s^-1 f0.2777777777777778 | UDiv(\"km\", \"hour\")]"},
        Case{"PrintWithBlanksInsideTheMark", "v = \t ?\n", "L1 PrintExpr(v)"},
        Case{"Alias", "alias v velocity\n", "L1 Alias[\"v\" -> \"velocity\"]"},
        Case{"AliasWithoutBlank", "aliasv w\n", "L1 Alias[\"v\" -> \"w\"]"},
        Case{"AliasToLatexName", "alias pi \\varpi\n", "L1 Alias[\"pi\" -> \"\\varpi\"]"},
        Case{"Scientific", "!scientific\n", "L1 Scientific"},
        Case{"DigitSet", "!digits 4\n", "L1 Digits[4]"},
        Case{"DigitSetBlankAfterMark", "! digits 4\n", "L1 Digits[4]"},
        Case{"DigitSetWithoutBlank", "!digits4\n", "L1 Digits[4]"},
        Case{"DigitSetTwenty", "!digits 20\n", "L1 Digits[20]"},
        Case{"DigitSetZero", "!digits 0\n", "L1 Digits[0]"},
        Case{"DigitSetNegativeZero", "!digits -0\n", "L1 Digits[0]"},
        Case{"DigitSetLargest", "!digits 1000\n", "L1 Digits[1000]"},
        Case{"FirstLineOfBlanks", "   \nx = 1\n", "L1 LineGap\nL2 VarDec[\"x\"](1)"},
        Case{"GapAfterStatement", "x = 1\n\ny = 2\n",
             "L1 VarDec[\"x\"](1)\nL2 LineGap\nL3 VarDec[\"y\"](2)"},
        Case{"BlankLineOfSpacesIsAGap", "x = 1\n \t \ny = 2\n",
             "L1 VarDec[\"x\"](1)\nL2 LineGap\nL3 VarDec[\"y\"](2)"}),
    case_name);

// A statement's line is where its content starts, whatever precedes it.
INSTANTIATE_TEST_SUITE_P(
    Lines, Statements,
    ::testing::Values(
        Case{"LeadingBlankLinesProduceNothing", "\n\n  x = 1\n", "L3 VarDec[\"x\"](1)"},
        Case{"LeadingLineEndsWithBlanksBetween", "\n \n\t\nx = 1\n", "L4 VarDec[\"x\"](1)"},
        Case{"CrLf", "x = 1\r\ny = 2\r\n\r\nz = 3\r\n",
             "L1 VarDec[\"x\"](1)\nL2 VarDec[\"y\"](2)\nL3 LineGap\nL4 VarDec[\"z\"](3)"},
        Case{"LoneCrIsALineEndButNoLineBreak", "x = 1\ry = 2\r\rz = 3\r",
             "L1 VarDec[\"x\"](1)\nL1 VarDec[\"y\"](2)\nL1 LineGap\nL1 VarDec[\"z\"](3)"},
        Case{"TwoStatementsAfterABlockOnOneLine", "'''a''' x = 1\ny = 2\n",
             "L1 Latex[\"a\"]\nL1 VarDec[\"x\"](1)\nL2 VarDec[\"y\"](2)"}),
    case_name);

// The text between the fences is kept exactly; the line end after a block is a gap of its own.
INSTANTIATE_TEST_SUITE_P(
    LatexBlocks, Statements,
    ::testing::Values(
        Case{"OneLine", "'''\\section{A}'''\n", "L1 Latex[\"\\section{A}\"]\nL1 LineGap"},
        Case{"SixQuotesAreAnEmptyBlock", "''''''\n", "L1 Latex[\"\"]\nL1 LineGap"},
        Case{"QuotesAtTheStartOfTheContent", "'''''x'''\n", "L1 Latex[\"''x\"]\nL1 LineGap"},
        Case{"BlanksInsideKept", "'''  a  b '''\n", "L1 Latex[\"  a  b \"]\nL1 LineGap"},
        Case{"SpansLines", "'''\nline\r\n'''\nx = 1\n",
             "L1 Latex[\"<LF>line<CR><LF>\"]\nL3 LineGap\nL4 VarDec[\"x\"](1)"},
        Case{"TwoBlocksOnOneLine", "'''a''' '''b'''\n",
             "L1 Latex[\"a\"]\nL1 Latex[\"b\"]\nL1 LineGap"},
        Case{"UnclosedBlockIsAnInvalidLine", "''' no close\n",
             "error: Line 1: Invalid statement ''' no close"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Errors, Statements,
    ::testing::Values(
        Case{"InvalidStatementOnLineThree", "a = 1\nb = 2\nhello world  \n",
             "error: Line 3: Invalid statement hello world"},
        Case{"InvalidStatementAfterGaps", "a = 1\n\n\n5 6\n",
             "error: Line 4: Invalid statement 5 6"},
        Case{"DoubledEquals", "x==?\n", "error: Line 1: Invalid statement x==?"},
        Case{"NonAsciiName", "\xCF\x80 = 3\n", "error: Line 1: Invalid statement \xCF\x80 = 3"},
        Case{"PlusSignedDigitCountIsNoDirective", "!digits +7\n",
             "error: Line 1: Invalid statement !digits +7"},
        Case{"NegativeDigitCount", "x = 1\n!digits -2\n",
             "error: Line 2: Digit count -2 is out of range 0..1000"},
        Case{"DigitCountAboveLimit", "!digits 1001\n",
             "error: Line 1: Digit count 1001 is out of range 0..1000"},
        Case{"DigitCountBeyondSixtyFourBits", "!digits 99999999999999999999999\n",
             "error: Line 1: Digit count 99999999999999999999999 is out of range 0..1000"},
        Case{"UnknownUnitInHintBeforeFaultyExpression", "5 foo =? bar\n",
             "error: Line 1: bar is not a variable or a valid unit"},
        Case{"UnknownUnitInHintOfDecPrint", "y = 5 foo =? bar\n",
             "error: Line 1: bar is not a variable or a valid unit"},
        Case{"FaultyExpressionWithGoodHint", "5 foo =? m\n",
             "error: Line 1: foo is not a variable or a valid unit"},
        Case{"HintWithBlankInsideAName", "5 =? kg m\n",
             "error: Line 1: kg m is not a variable or a valid unit"},
        Case{"HintExponentTooLarge", "x =? s^9223372036854775808\n",
             "error: Line 1: Unit exponent 9223372036854775808 is too large"},
        Case{"FirstErrorWins", "a = 1 qq\nb = 2 rr\n",
             "error: Line 1: qq is not a variable or a valid unit"},
        Case{"ErrorLineAfterCrLf", "a = 1\r\nb = 2 rr\r\n",
             "error: Line 2: rr is not a variable or a valid unit"},
        Case{"ErrorLineAfterLoneCr", "a = 1\rb = 2 rr\r",
             "error: Line 1: rr is not a variable or a valid unit"}),
    case_name);

// A line that a statement matches only in part is a syntax error at the point where the match
// ends, on the first line and on later lines alike; nothing after it is silently dropped.
INSTANTIATE_TEST_SUITE_P(
    PartlyMatchedLines, Statements,
    ::testing::Values(Case{"FirstLine", "x = 5 6\n", "parse failure 1:7"},
                      Case{"LaterLine", "x = 2\nx = 5 6\ny = 1\n", "parse failure 2:7"},
                      Case{"LaterLineAfterGap", "x = 2\n\nx = 5 6\n", "parse failure 3:7"},
                      Case{"UnclosedBracketIsAnInvalidLine", "x = 2\nx = (1 + 2\n",
                           "error: Line 2: Invalid statement x = (1 + 2"},
                      Case{"PlusSignedUnitPowerInHint", "x =? s^+2\n", "parse failure 1:8"},
                      Case{"PlusSignedUnitPowerInAnnotation", "x = 5 m^+2\n", "parse failure 1:9"},
                      Case{"EmptyDocument", "\n", "parse failure 2:1"},
                      Case{"OnlyLineEnds", "\n\n\n", "parse failure 4:1"}),
    case_name);

TEST(Nesting, SixtyFourLevelsBuild) {
    const std::string deep = std::string(64, '(') + "1" + std::string(64, ')');
    const std::string built = build_document("x = " + deep + "\n");
    std::string expected = "L1 VarDec[\"x\"](";
    for (int i = 0; i < 64; ++i) expected += "Paren(";
    expected += "1" + std::string(65, ')');
    EXPECT_EQ(built, expected);
}

TEST(Nesting, DeeperNestingFailsTheParse) {
    const std::string brackets = std::string(65, '(') + "1" + std::string(65, ')');
    EXPECT_TRUE(build_document("x = " + brackets + "\n").starts_with("too deep 1:"));
    const std::string units = "x = 5 " + std::string(65, '(') + "m" + std::string(65, ')') + "\n";
    EXPECT_TRUE(build_document("y = 1\n\n" + units).starts_with("too deep 3:"));
    std::string calls;
    for (int i = 0; i < 257; ++i) calls += "abs(";
    calls += "1" + std::string(257, ')');
    EXPECT_TRUE(build_document("x = " + calls + "\n").starts_with("too deep 1:"));
}

}  // namespace
}  // namespace mensurator

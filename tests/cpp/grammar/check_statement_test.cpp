// Check statements and the steps directive: which lines they take, and that every other line
// keeps the statement or failure it had.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"

namespace mensurator {
namespace {

using test_support::outcome;

TEST(CheckStatement, TakesTwoExpressionsAndTheRelation) {
    EXPECT_EQ(
        outcome(GrammarRule::program, "check a <= 2 m\n"),
        R"t(statement(check_stmt(expression(ident"a") relation"<=" expression(number"2" unit_expr(unit"m")))))t");
    // Blanks around the relation are optional, and a bracket may follow the keyword.
    EXPECT_EQ(
        outcome(GrammarRule::program, "check(a)>=b\n"),
        R"t(statement(check_stmt(expression(expression(ident"a")) relation">=" expression(ident"b"))))t");
}

TEST(CheckStatement, EveryRelation) {
    for (const std::string_view relation : {"<", "<=", ">", ">="}) {
        const std::string line = "check 1 " + std::string(relation) + " 2\n";
        EXPECT_EQ(outcome(GrammarRule::program, line),
                  "statement(check_stmt(expression(number\"1\") relation\"" +
                      std::string(relation) + "\" expression(number\"2\")))");
    }
}

// Lines that start like a check but are not one as a whole stay what they were: the name
// `check`, unrecognised lines, and the failure positions of lines that end the document.
TEST(CheckStatement, OtherLinesKeepTheirMeaning) {
    EXPECT_EQ(outcome(GrammarRule::program, "check = 3\n"),
              R"t(statement(var_dec(ident"check" expression(number"3"))))t");
    EXPECT_EQ(outcome(GrammarRule::program, "check =?\n"),
              R"t(statement(print_expr(expression(ident"check"))))t");
    for (const std::string_view line : {"checks < 1\n", "check 1 < 2 3\n", "check 1 =< 2\n",
                                        "check 1 < \n", "check x\n", "check 1 << 2\n"}) {
        EXPECT_TRUE(outcome(GrammarRule::program, line).starts_with("statement(error")) << line;
    }
    // A first line that fails does so where it failed before: inside the check it would have
    // failed further on, at the 6.
    EXPECT_EQ(outcome(GrammarRule::program, "check 5 6\n"), "statement(error\"check 5 6\")");
    EXPECT_EQ(outcome(GrammarRule::program, "x = 1\ncheck = 5 6\n"), "failure 2:11");
}

// A check too deeply nested for the grammar is no nesting failure: the line was an
// unrecognised one, and stays one.
TEST(CheckStatement, NestingBeyondTheLimitLeavesTheLineUnrecognised) {
    const std::string line =
        "check 1 < " + std::string(2000, '(') + "1" + std::string(2000, ')') + "\n";
    EXPECT_TRUE(outcome(GrammarRule::program, line).starts_with("statement(error")) << line;
}

TEST(StepsDirective, IsADirectiveAloneOnItsLine) {
    EXPECT_EQ(outcome(GrammarRule::program, "!steps\n"), "statement(set_steps\"steps\")");
    EXPECT_EQ(outcome(GrammarRule::program, "! steps  \n"), "statement(set_steps\"steps\")");
    EXPECT_EQ(outcome(GrammarRule::program, "!stepsx\n"), "statement(error\"!stepsx\")");
    EXPECT_EQ(outcome(GrammarRule::program, "!steps 2\n"), "statement(error\"!steps 2\")");
}

}  // namespace
}  // namespace mensurator

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "grammar/parse.hpp"
#include "grammar/tree_text.hpp"
#include "support/rule_parse.hpp"

namespace mensurator {
namespace {

using test_support::covers_document;
using test_support::escape;
using test_support::nesting_of;
using test_support::outcome;
using test_support::well_formed;

std::string repeated(std::string_view piece, std::size_t count) {
    std::string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

// ---- bracket nesting ----

// "x = " followed by `depth` nested brackets of one kind around a minimal operand.
struct Nesting {
    std::string_view name;
    std::string_view open;    // one level's opening text, e.g. "(" or "f("
    std::string_view before;  // what stands before the first bracket on the line
    std::string_view inside;
    GrammarRule nested_rule;  // the node that every level adds
};

void PrintTo(const Nesting& n, std::ostream* os) {
    *os << n.name;
}

std::string nested_document(const Nesting& n, std::size_t depth) {
    return std::string("x = ") + std::string(n.before) + repeated(n.open, depth) +
           std::string(n.inside) + repeated(")", depth) + "\n";
}

class NestingLimit : public ::testing::TestWithParam<Nesting> {};

TEST_P(NestingLimit, AllowsTheLimit) {
    const Nesting& n = GetParam();
    const std::string text = nested_document(n, max_nesting_depth);
    const auto result = parse(GrammarRule::program, text);
    ASSERT_TRUE(result) << "failure at column " << result.error().column;
    ASSERT_EQ(result->size(), 1u);
    EXPECT_EQ((*result)[0].children[0].rule, GrammarRule::var_dec);
    EXPECT_EQ((*result)[0].end, text.size());
    // The statement's own expression (or unit expression) plus one per level.
    const std::size_t own = n.nested_rule == GrammarRule::fn_call ? 0 : 1;
    EXPECT_EQ(nesting_of(n.nested_rule, *result), max_nesting_depth + own);
}

TEST_P(NestingLimit, FailsOneLevelDeeper) {
    const Nesting& n = GetParam();
    const std::string text = nested_document(n, max_nesting_depth + 1);
    const auto result = parse(GrammarRule::program, text);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().nesting_too_deep);
    // Reported where the content of the group past the limit begins, as a syntax error is
    // reported where the rule that failed began.
    const std::size_t content = 4 + n.before.size() + n.open.size() * (max_nesting_depth + 1);
    EXPECT_EQ(result.error().position, content);
    EXPECT_EQ(result.error().line, 1u);
    EXPECT_EQ(result.error().column, content + 1);
}

TEST_P(NestingLimit, FailsCleanlyOnAMegabyteOfBrackets) {
    const Nesting& n = GetParam();
    const std::string text = std::string("x = ") + std::string(n.before) +
                             repeated(n.open, (1u << 20) / n.open.size()) + "\n";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().nesting_too_deep);
    EXPECT_EQ(result.error().line, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NestingLimit,
    ::testing::Values(Nesting{"ExpressionGroups", "(", "", "1", GrammarRule::expression},
                      Nesting{"UnitGroups", "(", "5 ", "m", GrammarRule::unit_expr},
                      Nesting{"CallArguments", "f(", "", "1", GrammarRule::fn_call},
                      Nesting{"SpacedGroups", "( ", "", "1", GrammarRule::expression}),
    [](const auto& info) { return std::string(info.param.name); });

// Expression groups, unit groups and call argument lists count against one limit together.
TEST(NestingLimit, CountsAllBracketKindsTogether) {
    const std::size_t third = max_nesting_depth / 4;
    const std::size_t rest = max_nesting_depth - 3 * third;
    const auto document = [&](std::size_t unit_levels) {
        return "x = " + repeated("(", third) + repeated("f(", third) + repeated("g (", third) +
               "5 " + repeated("(", unit_levels) + "m" + repeated(")", unit_levels) +
               repeated(")", 3 * third) + "\n";
    };
    EXPECT_TRUE(parse(GrammarRule::program, document(rest)));
    const auto deeper = parse(GrammarRule::program, document(rest + 1));
    ASSERT_FALSE(deeper);
    EXPECT_TRUE(deeper.error().nesting_too_deep);
}

// Alternatives that fail after nesting deeply must give their levels back.
TEST(NestingLimit, AppliesToEachLineAfterFailedAlternatives) {
    const std::size_t deep = max_nesting_depth * 3 / 4;
    const std::string line = "y = " + repeated("(", deep) + "1" + repeated(")", deep) + " =? m\n" +
                             "z = " + repeated("(", deep) + "2" + repeated(")", deep) + "\n" +
                             repeated("(", deep) + "3" + repeated(")", deep) + " =?\n" +
                             repeated("(", deep) + "4\n";
    const std::string text = repeated(line, 20);
    const auto result = parse(GrammarRule::program, text);
    ASSERT_TRUE(result) << "failure at line " << result.error().line;
    ASSERT_EQ(result->size(), 80u);
    EXPECT_EQ(result->back().children[0].rule, GrammarRule::error);
}

TEST(NestingLimit, ReportsTheLineOfALaterStatement) {
    const std::string text = "x = 1\ny = 2\n" + repeated("(", 300) + "\n";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().nesting_too_deep);
    EXPECT_EQ(result.error().line, 3u);
}

TEST(NestingLimit, AppliesToOtherStartRules) {
    const auto result = parse(GrammarRule::expression, repeated("(", 1u << 20));
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().nesting_too_deep);
}

// ---- malformed UTF-8 ----

// Copies the text into a heap block of exactly its size, so that a read past its end is caught
// by the address sanitizer.
class ExactBuffer {
  public:
    explicit ExactBuffer(std::string_view text)
        : bytes_(std::make_unique<char[]>(text.size())), size_(text.size()) {
        std::memcpy(bytes_.get(), text.data(), text.size());
    }
    std::string_view view() const { return {bytes_.get(), size_}; }

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_;
};

using BadBytesCase = test_support::TextCase;

class MalformedUtf8 : public ::testing::TestWithParam<BadBytesCase> {};

TEST_P(MalformedUtf8, CountsABadByteAsOneCharacter) {
    const ExactBuffer buffer(GetParam().text);
    EXPECT_EQ(outcome(GrammarRule::program, buffer.view()), GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedUtf8,
    ::testing::Values(
        BadBytesCase{
            "\xC3\nx = 1\n",
            R"t(statement(error"\xC3") statement(var_dec(ident"x" expression(number"1"))))t"},
        BadBytesCase{"ab\xE2\x82\n", R"t(statement(error"ab\xE2\x82"))t"},
        BadBytesCase{"\xF0\x9F\x98\r\n", R"t(statement(error"\xF0\x9F\x98"))t"},
        BadBytesCase{"\x80\x80  \n", R"t(statement(error"\x80\x80"))t"},
        BadBytesCase{"\xFF\xFE\n", R"t(statement(error"\xFF\xFE"))t"},
        BadBytesCase{"'''\xE2'''\n",
                     R"t(statement(latex_block"'''\xE2'''") statement(line_gap_stmt"\n"))t"},
        BadBytesCase{"'''\xF0\x9F'''\n",
                     R"t(statement(latex_block"'''\xF0\x9F'''") statement(line_gap_stmt"\n"))t"},
        BadBytesCase{"'''\xC3''''\n",
                     R"t(statement(latex_block"'''\xC3'''") statement(error"'"))t"},
        BadBytesCase{"'''\xC3\xA9\xE2\x82\xC3\xBC'''x = 5 6\n", "failure 1:17"},
        BadBytesCase{"'''\xE2\x82'''x = 5 6\n", "failure 1:15"},
        BadBytesCase{"x = 1\n\xC3", "failure 2:1"},
        BadBytesCase{"x = 1\n\xF0\x9F\x98", "failure 2:1"},
        BadBytesCase{"'''\xF0\x9F", "failure 1:1"}, BadBytesCase{"x\xE2\x82", "failure 1:2"}));

// Positions behind a sequence cut short by the end of the text.
TEST(MalformedUtf8, LineColumnStopsAtTheEndOfTheText) {
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"a\xF0\x9F", 4}, {"a\xE2", 3}, {"\xC3", 2}, {"ab\xF0\x9F\x98", 6}};
    for (const auto& [text, column] : cases) {
        const ExactBuffer buffer(text);
        EXPECT_EQ(line_column(buffer.view(), text.size()).column, column) << escape(text);
    }
}

// ---- large inputs ----

TEST(LargeInput, DocumentOfAHundredThousandLines) {
    const std::string block =
        "x = 5 m/s^2\nv =? km/h\n\n'''\\quad'''\nalias x y\n!digits 4\n"
        "hello world\n2 * f(x, 3) + (a - b) =?\ny = x (2) =? g\n"
        "!scientific\n";
    const std::string text = repeated(block, 10'000);
    const auto result = parse(GrammarRule::program, text);
    ASSERT_TRUE(result) << "failure at line " << result.error().line;
    EXPECT_EQ(result->size(), 110'000u);  // the latex line adds a line gap for its line end
    EXPECT_TRUE(covers_document(text, *result));
    EXPECT_EQ(line_column(text, result->back().children[0].start).line, 100'000u);
}

TEST(LargeInput, FailureOnTheLastOfAHundredThousandLines) {
    const std::string text = repeated("x = 1\n", 99'999) + "x = 5 6\n";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().line, 100'000u);
    EXPECT_EQ(result.error().column, 7u);
}

TEST(LargeInput, FailureAfterManyLoneCarriageReturns) {
    const std::string text = repeated("x = 1\r", 20'000) + "x = 5 6\r";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().line, 1u);
    EXPECT_EQ(result.error().column, 120'007u);
}

TEST(LargeInput, LongOperatorChainStaysFlat) {
    const std::string text = "x = 1" + repeated(" + 1", 50'000) + "\n";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_TRUE(result);
    const ParseNode& expression = (*result)[0].children[0].children[1];
    EXPECT_EQ(expression.rule, GrammarRule::expression);
    EXPECT_EQ(expression.children.size(), 100'001u);
}

TEST(LargeInput, LongUnitChainStaysFlat) {
    const std::string text = "x = 1 m" + repeated("*m", 50'000) + "\n";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_TRUE(result);
    const ParseNode& units = (*result)[0].children[0].children[1].children[1];
    EXPECT_EQ(units.rule, GrammarRule::unit_expr);
    EXPECT_EQ(units.children.size(), 100'001u);
}

TEST(LargeInput, MegabyteErrorLineAndLatexBlock) {
    const std::string text =
        repeated("? ", 1u << 19) + "\n'''" + repeated("a\n", 100'000) + "'''\n";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->size(), 3u);
    EXPECT_EQ((*result)[0].children[0].rule, GrammarRule::error);
    EXPECT_EQ((*result)[0].children[0].end, (1u << 20) - 1);
    EXPECT_EQ((*result)[1].children[0].rule, GrammarRule::latex_block);
    EXPECT_TRUE(well_formed(text, *result));
}

TEST(LargeInput, DeepStatementAfterManyLines) {
    // Many statements must not add to the depth available for brackets.
    const std::string text = repeated("x = 1\n", 10'000) +
                             "y = " + repeated("(", max_nesting_depth) + "1" +
                             repeated(")", max_nesting_depth) + "\n";
    const auto result = parse(GrammarRule::program, text);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->size(), 10'001u);
    EXPECT_EQ(result->back().children[0].rule, GrammarRule::var_dec);
    EXPECT_EQ(nesting_of(GrammarRule::expression, {result->back()}), max_nesting_depth + 1);
}

}  // namespace
}  // namespace mensurator
